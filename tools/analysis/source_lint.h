// Warnings for scenario authors: what the compiler accepts without a word but an author almost
// never means. A misspelt keyword is passed over silently by the readers, rows out of order or
// overlapping are compiled as they come, a station without its name swallows the next
// record, a value too large for its field wraps, a fraction is rounded away, a decimal comma
// splits a number in two, a tab stays part of its field, UTF-8 text shows as other characters.
// The warnings never change what is compiled. They are rules over the rows the compiler's own
// walk hands out (compiler/row_walker.h), so they read each row as the compiler reads it.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

struct Fix;  // tools/analysis/diagnostics.h

// One warning as the lint records it, kept small, for a source may hold millions: it becomes a
// Diagnostic (level warning, the kind as its code) only when it is written
// (each_warning_diagnostic).
struct SourceWarning {
  size_t offset;     // where the field in question begins
  std::string kind;  // what kind of warning, in a few words; warnings of a kind share it
  std::string message;
  // The warning's one sure repair, when it has one (a decimal comma, a tab, UTF-8 text that
  // Windows-1252 can hold, a comma in a station name); its repaired line is made with the
  // diagnostic. Shared, so that a warning without one costs a null pointer.
  std::shared_ptr<const Fix> fix = nullptr;
  // How many bytes from `offset` the warning is about; 0: the field there, up to its comma or
  // line end.
  size_t length = 0;
};

// `plan_built`: whether the compilation builds the line plan; without it the compiler passes a
// curve row's numbers over, and so does the lint.
std::vector<SourceWarning> lint_line_source(const std::string& text, bool plan_built);
std::vector<SourceWarning> lint_train_source(const std::string& text);

// A warning's message in the tool's language, with {1}, {2}, ... filled in from `values`: in
// Windows-1252, as the fields of the source quoted in it are, until the warning is written.
std::string warning_text(const char* english, std::initializer_list<std::string> values = {});

// Whether a field reads as a number: an optional sign, digits, an optional fraction.
bool looks_like_number(const std::string& field);

// Levenshtein distance between two texts, ignoring ASCII letter case.
size_t edit_distance(const std::string& a, const std::string& b);
