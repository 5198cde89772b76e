// 'scenario-tool package': an author's scenario made into an installer of its own. The texts go
// into the installer in their written form (Windows-1252, CR LF), appended to a copy of the
// shipped installer program, which finds and uses them when it runs.
#pragma once

#include <optional>
#include <string>

#include "common/scenario_payload.h"
#include "common/status.h"
#include "tools/analysis/diagnostics.h"

// An author's text, UTF-8 (with or without its byte-order mark) or Windows-1252, with any line
// ends, in the form the installer writes: Windows-1252 bytes, every line ended by CR LF.
// Nothing when it holds a character Windows-1252 cannot represent or a line the text writer
// refuses; `problem` then says where (line, column in characters) and why, an error of the file
// `path`, without a code.
std::optional<std::string> text_as_written(const std::string& bytes, const std::string& path,
                                           Diagnostic* problem);

// The installer for `payload`: the program of the installer at `base_path` (without whatever
// may already be appended to it) followed by the payload. `windows` names the kind of program
// expected there: PE for Windows, ELF for Linux.
Status make_installer(const std::string& base_path, bool windows, const ScenarioPayload& payload,
                      std::string* installer);
