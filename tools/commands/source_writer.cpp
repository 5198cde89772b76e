#include "tools/commands/source_writer.h"

#include "common/file_io.h"
#include "common/file_path.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"

std::string backup_name(const std::string& directory, const std::string& name) {
  for (int n = 1; n <= kMostBackups; ++n) {
    const std::string backup = name + ".orig" + (n == 1 ? "" : "." + std::to_string(n));
    if (!name_taken(path_in(directory, backup))) return backup;
  }
  return "";
}

std::vector<std::string> rewritten_files(const std::string& directory,
                                         const std::vector<std::string>& names) {
  std::vector<std::string> written = names;
  for (const std::string& name : names) {
    const std::string backup = backup_name(directory, name);
    if (!backup.empty()) written.push_back(backup);
  }
  return written;
}

std::string rewrite_refusal(const std::string& directory, const std::string& name,
                            const std::string& command) {
  const std::string path = path_in(directory, name);
  std::string target;
  bool may = false;
  if (is_symbolic_link(path, &target)) {
    // TRANSLATORS: {2} is the command that rewrites sources ("format", "check --fix").
    return tr(
        "it is a symbolic link to {1}, and {2} writes only files in the folder itself; mend "
        "the file it leads to there, or put a copy in place of the link",
        {target, command});
  }
  if (!may_write_file(path, &may).ok() || !may) return tr("it is read-only");
  if (backup_name(directory, name).empty()) {
    // TRANSLATORS: {1} is how many backups are kept, {2} the source's file name.
    return tr(
        "{1} backups of it are there already ({2}.orig to .orig.{1}); move them away to "
        "change it again",
        {std::to_string(kMostBackups), name});
  }
  return "";
}

Status rewrite_source(const std::string& directory, const std::string& name,
                      const std::string& backup, const std::string& original,
                      const std::string& text) {
  const std::string path = path_in(directory, name);
  const std::string backup_path = path_in(directory, backup);
  std::string kept_bytes, now;
  Status kept = replace_file(backup_path, original);
  if (kept.ok()) kept = read_file(backup_path, &kept_bytes);
  if (kept.ok() && kept_bytes != original) {
    kept = Status::Error(tr("cannot keep {1}: it does not read back as written", {backup_path}));
  }
  if (kept.ok()) kept = read_file(path, &now);
  if (kept.ok() && now != original) {
    kept =
        Status::Error(tr("{1} changed while it was being rewritten; it is left as it is ({2} "
                         "holds it as it was read)",
                         {path, backup}));
  }
  return kept.ok() ? replace_file(path, text) : kept;
}
