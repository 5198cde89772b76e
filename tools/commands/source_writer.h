// Rewriting an author's sources in place, as 'check --fix' and 'format' do: under the folder's
// lock, only a regular file of the folder itself that may be written, never through a symbolic
// link, and each time with the old bytes kept beside it first.
#pragma once

#include <string>
#include <vector>

#include "common/status.h"

// The most backups kept of one source: <name>.orig, then <name>.orig.2 to .orig.999.
constexpr int kMostBackups = 999;

// The name the next backup of the source `name` in `directory` takes: the first of <name>.orig,
// <name>.orig.2, <name>.orig.3, ... that nothing stands at (not even a link); empty when all
// are taken. None of them is ever replaced: the first keeps the author's text from before the
// first rewrite, each later one the text a later rewrite replaced.
std::string backup_name(const std::string& directory, const std::string& name);

// The files a run that rewrites the sources `names` of `directory` may write, for the folder's
// lock: each source and the name of its next backup as it is before the lock is held (the run
// that held it before may take that one; this run's backup then has the next name, whose
// temporary file a signal does not take away, and a later run clears it).
std::vector<std::string> rewritten_files(const std::string& directory,
                                         const std::vector<std::string>& names);

// Why the source `name` of `directory` is not rewritten, or empty when it may be: a symbolic
// link (`command` writes only files in the folder itself), a read-only file, or one whose
// backups have taken every name.
std::string rewrite_refusal(const std::string& directory, const std::string& name,
                            const std::string& command);

// Replaces the source `name` of `directory`, read as `original`, by `text`, under the folder's
// lock (held by the caller): its old bytes are first written whole under `backup` (from
// backup_name()) and read back, and the source is replaced, whole and atomically, only when it
// still holds `original` (an editor may have saved it since).
Status rewrite_source(const std::string& directory, const std::string& name,
                      const std::string& backup, const std::string& original,
                      const std::string& text);
