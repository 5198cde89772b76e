// What scenario-tool says about a compilation: each problem the compiler recorded and each
// warning, in the shape compilers use,
//
//   <file>:<line>:<column>: error <code>: <meaning>, at <metres> m (km <chainage>)
//       <the source line>
//       <a caret under the field>
//
// Problems of the signal-cell rules, which have no source line, name the cell and the objects
// around it instead.
//
// Every report is bounded whatever the source: a long source line is shown as an excerpt around
// the column, texts quoted from the source are cut short, and warnings of one kind beyond a
// limit are counted in one line instead of shown. Lines are located through an index of line
// starts made once per source, so the time of a report grows with the size of the source, not
// with its square.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compiler/scenario_compiler.h"
#include "tools/analysis/source_lint.h"

struct LineAndColumn {
  int line;    // from 1
  int column;  // from 1, in characters (one byte each)
};

// At most this many characters of a source line are shown either side of the column.
constexpr size_t kExcerptReach = 60;

// What is shown of the source line holding an offset: `text` holds its bytes, with "..." where
// the line was cut; `caret` is the index in `text` of the byte at the offset (the line's length
// when the offset is at its end).
struct Excerpt {
  std::string text;
  size_t caret;
  size_t from = 0, to = 0;  // the offsets in the source of the bytes shown, from and up to
  bool cut_before = false, cut_after = false;  // whether "..." stands for the rest of the line
};

// A source as the tool read it: its path as shown, its bytes (empty when missing), and where each
// of its lines starts. CR LF, lone LF and lone CR each end a line.
class ShownSource {
 public:
  ShownSource(std::string path, std::string text);

  const std::string& path() const { return path_; }
  const std::string& text() const { return text_; }

  // Line and column of the byte at `offset` (offsets past the end count as the end).
  LineAndColumn locate(size_t offset) const;
  Excerpt excerpt(size_t offset) const;

 private:
  size_t line_index(size_t offset) const;  // from 0

  std::string path_;
  std::string text_;
  std::vector<size_t> line_starts_;
};

// One edit of a repair: `length` bytes at `offset` of the diagnostic's source become
// `replacement`, bytes as the source holds them (Windows-1252). A length of 0 inserts.
struct FixEdit {
  size_t offset = 0;
  size_t length = 0;
  std::string replacement;
};

// The repair of a diagnostic, which an editor may apply as it stands. A sure one is the only
// reading of the mistake, and `check --fix` applies it; one that is not (a likely thousands
// separator, a likely misspelt keyword) is offered as a quick fix only.
struct Fix {
  std::string description;     // UTF-8, what it does: "insert ',' after 'pendenza'"
  std::vector<FixEdit> edits;  // in the diagnostic's file, in rising offsets, not overlapping
  std::string repaired_line;   // UTF-8, the source line as the fix leaves it, for people
  bool sure = true;
};

// A note that points at a place of a source (the row a warning compares with, where the
// reading stopped): `note` is its index in the diagnostic's notes.
struct NotePlace {
  size_t note = 0;
  std::string file;  // the path as shown
  int line = 0;      // from 1
  int column = 0;    // from 1
};

// One diagnostic, whatever it came from (a problem the compiler recorded, a warning of the
// lint, a text that cannot be written, a file that cannot be read), in the form every output
// takes it from: text for people, JSON, SARIF, the route view's list of problems.
struct Diagnostic {
  enum class Level { kError, kWarning };
  Level level = Level::kError;
  std::string file;                    // the path as shown; empty when the diagnostic has no file
  int line = 0;                        // from 1; 0 when it has no place in the file
  int column = 0;                      // from 1, in characters
  size_t offset = Problem::kNoOffset;  // the byte of the source it points at, when it does
  std::string code;                    // an error's number ("6"), a warning's kind; may be empty
  std::string message;                 // UTF-8, one line
  std::vector<std::string> notes;      // further lines of explanation, UTF-8
  bool past_first_error = false;       // found after the compiler had stopped at its first error
  // For people: the source line (UTF-8, an excerpt) with its caret, or lines in its place.
  std::string excerpt;
  std::string excerpt_bytes;  // the same as the source holds it, for the caret's tabs
  size_t caret = 0;
  bool has_excerpt = false;
  std::string place;              // what stands before the level when there is no line: "cell 101"
  std::string after;              // lines shown after the excerpt ("    cells around ...")
  std::optional<int64_t> metres;  // where on the line, when it has a place there
  int end_column = 0;             // one past the field's last character; 0 when it has no end
  std::vector<NotePlace> note_places;
  std::optional<Fix> fix;
  // With --werror, the kind of the warning this error was (its code is then "werror").
  std::string warning_kind;
};

// Places `d` at the field that starts at `offset` of `source`: its line, column and end, and the
// excerpt shown under it.
void place_diagnostic(const ShownSource& source, size_t offset, Diagnostic* d);

Diagnostic problem_diagnostic(const Compilation& compiled, const Problem& problem,
                              const ShownSource& line_source, const ShownSource& train_source,
                              const std::string& cells_path);

// The line of `source` holding `offset` as `edits` (in rising offsets) leave it: the excerpt
// shown of it around `offset`, with the edits that fall within it made, in UTF-8.
std::string repaired_excerpt(const ShownSource& source, size_t offset,
                             const std::vector<FixEdit>& edits);

// A warning of the lint as a diagnostic, placed at its offset in `source`; its message is
// Windows-1252, as the source's own bytes. Its fix, when it has one, comes with its repaired
// line.
Diagnostic warning_diagnostic(const SourceWarning& warning, const ShownSource& source);

// The warnings of one source in order, at most `max_per_kind` of each kind (0: all), then for
// each kind that had more, one diagnostic saying how many were left out; each handed to `take`
// as it is made, none kept.
void each_warning_diagnostic(const std::vector<SourceWarning>& warnings, const ShownSource& source,
                             size_t max_per_kind, const std::function<void(Diagnostic&&)>& take);

// The same for warnings already made, their code as their kind; the count in `file`.
void each_warning_diagnostic(const std::vector<Diagnostic>& warnings, const std::string& file,
                             size_t max_per_kind, const std::function<void(Diagnostic&&)>& take);

// What --werror makes of a diagnostic: a warning becomes an error of code "werror", its message
// saying why, its kind kept as its warning_kind; an error stays as it is.
void apply_werror(Diagnostic* diagnostic);

// Warnings of one kind shown in full by default before the rest are only counted.
constexpr size_t kDefaultMaxWarnings = 20;
