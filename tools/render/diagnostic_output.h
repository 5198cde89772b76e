// A diagnostic in, bytes out: as people read it on a terminal, and as the JSON and SARIF
// documents scripts, CI systems and editors read, each written a diagnostic at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tools/analysis/diagnostics.h"
#include "tools/render/text_sink.h"

// A diagnostic as people read it, ended by a line end; with `color`, in the colours of the
// terminal (bold place, red errors, magenta warnings, green caret). An error without a code
// shows as "error:".
std::string render_text(const Diagnostic& diagnostic, bool color);

// Whether diagnostics on standard error are coloured: --color's `mode` (auto, always, never);
// on auto, unless NO_COLOR is set, when `colour_terminal` says standard error is a terminal
// that shows colours.
bool colour_wanted(const std::string& mode, bool (*colour_terminal)());

// The diagnostics of a run as one document, written to `out` a diagnostic at a time as they are
// made: memory holds one at a time however many there are.
class DiagnosticDocument {
 public:
  virtual ~DiagnosticDocument() = default;
  virtual void add(const Diagnostic& diagnostic) = 0;
  // Ends the document, with the compiler's final code and position where the document holds
  // them; none when the compiler never had the sources (one could not be read).
  virtual void finish(std::optional<int32_t> error_code, int32_t error_position) = 0;
};

// JSON: {"diagnostics": [...], "errors", "warnings", "error_code", "error_position"}; each
// diagnostic with its level, file, line, column, code, message, notes, past_first_error, then
// its rule's id (a warning's under --werror), end_column (0 when it has no end), note_places
// and fix (null when it has none; its edits in bytes of the source and, where the edit lies on
// the diagnostic's line, the line and column it starts at).
std::unique_ptr<DiagnosticDocument> json_document(TextSink out);
// A SARIF 2.1.0 log, the form editors and CI systems read: every rule of diagnostic_rules() in
// the tool's driver, each result with its rule's id and index, the field's end, the places its
// notes point at as related locations, and its fix.
std::unique_ptr<DiagnosticDocument> sarif_document(TextSink out, const std::string& version);
// The document --format asks for ("json", "sarif"), written to standard output; none for
// "text", whose diagnostics go to standard error as render_text gives them.
std::unique_ptr<DiagnosticDocument> standard_output_document(const std::string& format,
                                                             const std::string& version);
