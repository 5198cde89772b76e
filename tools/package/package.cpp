#include "tools/package/package.h"

#include <utility>

#include "common/file_io.h"
#include "common/windows_1252.h"
#include "sources/text_writer.h"
#include "tools/language/translation.h"

std::optional<std::string> text_as_written(const std::string& bytes, const std::string& path,
                                           Diagnostic* problem) {
  // The refusal, at its line and column.
  const auto refuse = [problem, &path](int line, size_t column, std::string message) {
    *problem = Diagnostic();
    problem->level = Diagnostic::Level::kError;
    problem->file = path;
    problem->line = line;
    problem->column = static_cast<int>(column);
    problem->message = std::move(message);
    return std::nullopt;
  };
  std::string text = bytes;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  // Decoded a line at a time, so that a problem has its line and column.
  const bool utf8 = is_utf8(text);
  std::string out;
  int line = 1;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = at;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
    const std::string raw = text.substr(at, end - at);
    std::string written;
    if (utf8) {
      std::optional<std::string> converted = windows_1252_from_utf8(raw);
      if (!converted) {
        // The first character that has no Windows-1252 form.
        size_t column = 1, from = 0;
        for (size_t i = 1; i <= raw.size(); ++i) {
          if (i < raw.size() && (static_cast<unsigned char>(raw[i]) & 0xC0) == 0x80) continue;
          if (!windows_1252_from_utf8(raw.substr(from, i - from))) {
            return refuse(line, column,
                          // TRANSLATORS: {1} is a character of the text.
                          tr("'{1}' has no Windows-1252 form, the code page of the simulator's "
                             "texts",
                             {raw.substr(from, i - from)}));
          }
          from = i;
          ++column;
        }
        return refuse(line, 1, tr("the line has no Windows-1252 form"));
      }
      written = *converted;
    } else {
      // Not UTF-8: taken as Windows-1252, whose five unused bytes cannot stand in a text.
      for (size_t i = 0; i < raw.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(raw[i]);
        if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) {
          return refuse(
              line, i + 1,
              tr("byte {1} is neither UTF-8 nor a Windows-1252 character", {std::to_string(c)}));
        }
      }
      written = raw;
    }
    if (written == kEndMarker) {
      return refuse(line, 1,
                    tr("a line may not be the text writer's end marker '{1}'", {kEndMarker}));
    }
    out += written + "\r\n";
    // CR LF, a lone LF and a lone CR each end a line.
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      ++end;
    }
    at = end + 1;
    ++line;
  }
  return out;
}

Status make_installer(const std::string& base_path, bool windows, const ScenarioPayload& payload,
                      std::string* installer) {
  std::string base;
  const Status read = read_file(base_path, &base);
  if (!read.ok()) return read;
  const bool right_kind = windows ? base.compare(0, 2, "MZ") == 0
                                  : base.compare(0, 4,
                                                 "\x7f"
                                                 "ELF") == 0;
  if (!right_kind) {
    return Status::Error(windows ? tr("{1} is not the installer program for Windows", {base_path})
                                 : tr("{1} is not the installer program for Linux", {base_path}));
  }
  uint64_t end = 0;
  const Status program = program_end(executable_in_memory(base), base.size(), &end);
  if (!program.ok()) return Status::Error(base_path + ": " + program.message());
  // A scenario already appended (an installer made by this command) is left behind.
  *installer = base.substr(0, end) + encode_payload(payload);
  return Status::Ok();
}
