// The file operations the program needs, by full path, built on the primitives of a
// FileSystem: the process's real one unless the caller hands another. Each reports a failure as
// a Status whose message names the file and the operating system's reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "common/file_system.h"
#include "common/placed_pieces.h"
#include "common/status.h"

// Replaces the file at `path` by one holding exactly `bytes`. The bytes go to a temporary file
// in the same directory first, which is then renamed over `path` in one step: whatever happens
// in between (a full disk, a crash, a kill), `path` holds either its earlier content whole or
// the new content whole, and a failure leaves no temporary file behind. The temporary file is
// always a new one, created by this call and never found already there (a file, a link, a FIFO
// or a directory at its name makes the next name be tried), so two processes never write into
// one temporary file and nothing planted at its name is followed or written through.
Status replace_file(const std::string& path, const std::string& bytes,
                    FileSystem& files = platform_file_system());

// The same, for a file of `size` bytes produced as placed pieces that cover it. The space is
// reserved first where the file system can (a full disk fails before anything is written), and
// for a file longer than kSecondWriterFrom (common/piece_writer.h) a second thread writes each
// piece while `produce` fills the next one, so producing and writing overlap. `produce` returns
// false when it stopped because the sink refused a piece.
Status replace_file_in_placed_pieces(const std::string& path, uint64_t size,
                                     const std::function<bool(PlacedPieceSink& sink)>& produce,
                                     FileSystem& files = platform_file_system());

// The temporary file replace_file() tries `attempt`-th (from 0) for `path`: beside it, named
// after it and after the process, <path>.scenario-tmp-<process id>-<attempt>.
std::string temporary_path_for(const std::string& path, unsigned attempt);

// The most characters temporary_path_for() adds to a file's name: ".scenario-tmp-" (14), a
// process id of at most 10 digits (a 32-bit number on Linux and on Windows), "-" (1) and an
// attempt of at most 2 digits (fewer than 100 are made). All ASCII: as many bytes, and as many
// UTF-16 units.
constexpr size_t kLongestTemporarySuffix = 14 + 10 + 1 + 2;

// The temporary files this process tries first for the files `names` in `directory`: what a
// run ended by a signal deletes on its way out (any other, the next run clears away).
std::vector<std::string> first_temporary_paths(const std::string& directory,
                                               const std::vector<std::string>& names);

// Deletes whatever temporary files of the files `names` in `directory` a killed process left
// behind (links and FIFOs included, never following them; never a directory). Only for a caller
// that holds the folder's lock, so that no other process is writing them; files that cannot be
// deleted are left.
void remove_leftover_temporaries(const std::string& directory,
                                 const std::vector<std::string>& names,
                                 FileSystem& files = platform_file_system());

// Deletes the file at `path`; a missing file is a failure.
Status delete_file(const std::string& path, FileSystem& files = platform_file_system());

// Whether a file or directory exists at `path`.
bool file_exists(const std::string& path, FileSystem& files = platform_file_system());

// Whether anything at all is at the name `path`: a file, a directory, or a link, even one whose
// target is missing (which file_exists() takes for nothing).
bool name_taken(const std::string& path, FileSystem& files = platform_file_system());

// Whether the name `path` is itself a symbolic link (on Windows also a junction); `*target` is
// then what it names, as written in the link.
bool is_symbolic_link(const std::string& path, std::string* target,
                      FileSystem& files = platform_file_system());

// Whether this user may write the file at `path` (fails when it cannot be told, or is missing).
Status may_write_file(const std::string& path, bool* may,
                      FileSystem& files = platform_file_system());

// Whether `path` is an existing file that is not a directory.
bool is_regular_file(const std::string& path, FileSystem& files = platform_file_system());

// The most read_file() reads: far above any real scenario source (well under 1 MiB) or compiled
// file (about 20 MB for the longest line plan), and low enough for memory to hold.
constexpr uint64_t kMaxReadBytes = uint64_t{256} << 20;

// The whole content of the file at `path`, which must be a regular file (checked on the opened
// file: a FIFO, a device or a directory is refused at once, never waited on or read) of at most
// kMaxReadBytes.
Status read_file(const std::string& path, std::string* bytes,
                 FileSystem& files = platform_file_system());

// Makes the folder `path`, its last part only: the folder that holds it must be there. Anything
// at that name already (a link included, never followed) makes it fail.
Status make_folder(const std::string& path, FileSystem& files = platform_file_system());

// Lets whoever may read the file at `path` run it as a program (POSIX); nothing on Windows.
Status make_executable(const std::string& path, FileSystem& files = platform_file_system());

// Up to `size` bytes of the file at `path` from `offset` (fewer where the file ends first), and
// the file's whole size.
Status read_file_part(const std::string& path, uint64_t offset, size_t size, std::string* bytes,
                      uint64_t* file_size, FileSystem& files = platform_file_system());
