#include "tools/render/diagnostic_output.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "common/file_path.h"
#include "tools/analysis/diagnostic_rules.h"
#include "tools/analysis/words.h"
#include "tools/language/translation.h"
#include "tools/render/console.h"
#include "tools/render/json_stream.h"

std::string render_text(const Diagnostic& d, bool color) {
  const auto paint = [color](const char* code, const std::string& text) {
    return color ? std::string("\033[") + code + "m" + text + "\033[0m" : text;
  };
  std::string head;
  if (!d.file.empty()) {
    head = d.file;
    if (d.line > 0) head += ":" + std::to_string(d.line) + ":" + std::to_string(d.column);
    head += ": ";
  }
  if (!d.place.empty()) head += d.place + ": ";
  const std::string level =
      d.level == Diagnostic::Level::kError
          ? paint("1;31", d.code.empty() ? std::string(tr("error:"))
                                         // TRANSLATORS: {1} is the error's code: "6", "werror".
                                         : tr("error {1}:", {d.code}))
          : paint("1;35", std::string(tr("warning:")));
  std::string out = paint("1", head.empty() ? head : head.substr(0, head.size() - 1)) +
                    (head.empty() ? "" : " ") + level + " " + d.message + "\n";
  if (d.has_excerpt) {
    std::string caret;
    for (size_t i = 0; i < d.caret; ++i)
      caret.push_back(i < d.excerpt_bytes.size() && d.excerpt_bytes[i] == '\t' ? '\t' : ' ');
    out += "    " + d.excerpt + "\n    " + caret + paint("1;32", "^") + "\n";
  }
  for (const std::string& note : d.notes)
    out += "    " + paint("1;36", tr("note:")) + " " + note + "\n";
  // The repair, with the line as it leaves it, under the line as it stands.
  if (d.fix) {
    // A repair that is a guess says so: check --fix leaves it to the author.
    out += "    " + paint("1;32", tr("help:")) + " " + d.fix->description +
           (d.fix->sure ? "" : std::string(" ") + tr("(likely; --fix leaves it to you)")) + "\n";
    if (!d.fix->repaired_line.empty()) out += "    " + d.fix->repaired_line + "\n";
  }
  return out + d.after;
}

bool colour_wanted(const std::string& mode, bool (*colour_terminal)()) {
  if (mode == "always") return true;
  if (mode == "never") return false;
  if (std::getenv("NO_COLOR") != nullptr) return false;
  return colour_terminal();
}

namespace {

// A path as a URI for SARIF: file:// and the path with every byte outside the unreserved set
// written as %XX; Windows paths with forward slashes.

// What a diagnostic's rule is named by: its code, or under --werror the warning's kind.
const std::string& rule_kind(const Diagnostic& d) {
  return d.warning_kind.empty() ? d.code : d.warning_kind;
}

// The id of a diagnostic's rule.
std::string rule_of(const Diagnostic& d) {
  return rule_id(rule_kind(d));
}

// Where a fix's edit starts, when it lies on the diagnostic's own line within what its excerpt
// shows of it (a line's columns are known from the diagnostic's own); none otherwise.
std::optional<LineAndColumn> edit_start(const Diagnostic& d, const FixEdit& edit) {
  if (!d.has_excerpt || d.line <= 0 || d.offset == Problem::kNoOffset) return std::nullopt;
  const std::string& shown = d.excerpt_bytes;
  // The excerpt's own bytes, without the "..." where the line was cut.
  const size_t first = shown.compare(0, 3, "...") == 0 && d.caret >= 3 ? 3 : 0;
  size_t last = shown.size();
  if (last >= first + 3 && d.caret <= last - 3 && shown.compare(last - 3, 3, "...") == 0) last -= 3;
  if (d.caret < first || d.caret > last) return std::nullopt;
  if (edit.offset < d.offset ? d.offset - edit.offset > d.caret - first
                             : edit.offset - d.offset > last - d.caret) {
    return std::nullopt;
  }
  // Its index in `shown`.
  const size_t at = edit.offset < d.offset ? d.caret - (d.offset - edit.offset)
                                           : d.caret + (edit.offset - d.offset);
  if (edit.length > last - at) return std::nullopt;
  return LineAndColumn{d.line, int(int64_t(d.column) + int64_t(edit.offset) - int64_t(d.offset))};
}

// A diagnostic's fix for JSON: its edits in bytes of the source, their replacements as UTF-8,
// and where each starts when it is known.
nlohmann::ordered_json json_fix(const Diagnostic& d) {
  if (!d.fix) return nullptr;
  nlohmann::ordered_json edits = nlohmann::ordered_json::array();
  for (const FixEdit& edit : d.fix->edits) {
    const std::optional<LineAndColumn> at = edit_start(d, edit);
    edits.push_back({{"offset", edit.offset},
                     {"length", edit.length},
                     {"replacement", utf8_from_windows_1252(edit.replacement)},
                     {"line", at ? nlohmann::ordered_json(at->line) : nullptr},
                     {"column", at ? nlohmann::ordered_json(at->column) : nullptr}});
  }
  return {{"description", d.fix->description},
          {"edits", edits},
          {"repaired_line", d.fix->repaired_line},
          {"sure", d.fix->sure}};
}

// The documents are written with JsonStream, in the layout of nlohmann-json's dump(2). A source
// may hold any bytes, and so may what a message quotes of it: bytes that are not UTF-8 are
// written as U+FFFD.

class JsonDocument : public DiagnosticDocument {
 public:
  explicit JsonDocument(TextSink out)
      : out_(std::move(out)), document_(out_, JsonStream::Kind::kObject, 0) {
    document_.key("diagnostics");
    diagnostics_.emplace(out_, JsonStream::Kind::kArray, 1);
  }

  void add(const Diagnostic& d) override {
    const bool error = d.level == Diagnostic::Level::kError;
    if (error) ++errors_;
    ++count_;
    nlohmann::ordered_json note_places = nlohmann::ordered_json::array();
    for (const NotePlace& place : d.note_places) {
      note_places.push_back({{"note", place.note},
                             {"file", place.file},
                             {"line", place.line},
                             {"column", place.column}});
    }
    diagnostics_->element({{"level", error ? "error" : "warning"},
                           {"file", d.file},
                           {"line", d.line},
                           {"column", d.column},
                           {"code", d.code},
                           {"message", d.message},
                           {"notes", d.notes},
                           {"past_first_error", d.past_first_error},
                           {"rule", rule_of(d)},
                           {"end_column", d.end_column},
                           {"note_places", note_places},
                           {"fix", json_fix(d)}});
  }

  void finish(std::optional<int32_t> error_code, int32_t error_position) override {
    diagnostics_->close();
    document_.member("errors", errors_);
    document_.member("warnings", count_ - errors_);
    if (error_code) {
      document_.member("error_code", *error_code);
      document_.member("error_position", error_position);
    } else {
      document_.member("error_code", nullptr);
      document_.member("error_position", nullptr);
    }
    document_.close();
    out_("\n");
  }

 private:
  TextSink out_;
  JsonStream document_;
  std::optional<JsonStream> diagnostics_;
  size_t errors_ = 0;
  size_t count_ = 0;
};

// A diagnostic's fix as SARIF's: each edit's region in bytes of the file as it is stored
// (Windows-1252, one byte a character), and by line and columns too where its start is known.
nlohmann::ordered_json sarif_fixes(const Diagnostic& d) {
  nlohmann::ordered_json replacements = nlohmann::ordered_json::array();
  for (const FixEdit& edit : d.fix->edits) {
    nlohmann::ordered_json region;
    if (const std::optional<LineAndColumn> at = edit_start(d, edit)) {
      region["startLine"] = at->line;
      region["startColumn"] = at->column;
      region["endColumn"] = at->column + int(edit.length);
    }
    region["byteOffset"] = edit.offset;
    region["byteLength"] = edit.length;
    replacements.push_back(
        {{"deletedRegion", region},
         {"insertedContent", {{"text", utf8_from_windows_1252(edit.replacement)}}}});
  }
  return nlohmann::ordered_json::array(
      {{{"description", {{"text", d.fix->description}}},
        {"artifactChanges",
         nlohmann::ordered_json::array({{{"artifactLocation", {{"uri", file_uri(d.file)}}},
                                         {"replacements", replacements}}})}}});
}

class SarifDocument : public DiagnosticDocument {
 public:
  SarifDocument(TextSink out, const std::string& version)
      : out_(std::move(out)), log_(out_, JsonStream::Kind::kObject, 0) {
    log_.member("$schema", "https://json.schemastore.org/sarif-2.1.0.json");
    log_.member("version", "2.1.0");
    log_.key("runs");
    runs_.emplace(out_, JsonStream::Kind::kArray, 1);
    runs_->begin_element();
    run_.emplace(out_, JsonStream::Kind::kObject, 2);
    nlohmann::ordered_json rules = nlohmann::ordered_json::array();
    for (const DiagnosticRule& rule : diagnostic_rules()) {
      rules.push_back({{"id", rule.id},
                       {"shortDescription", {{"text", rule.short_description}}},
                       {"fullDescription", {{"text", rule.full_description}}},
                       {"help", {{"text", rule.help}}},
                       {"defaultConfiguration", {{"level", rule.error ? "error" : "warning"}}}});
    }
    run_->member("tool",
                 {{"driver", {{"name", "scenario-tool"}, {"version", version}, {"rules", rules}}}});
    // A column counts the characters of its line, each one byte of a Windows-1252 source (or
    // one character of a UTF-8 text package reads): each is one code point.
    run_->member("columnKind", "unicodeCodePoints");
    run_->key("results");
    results_.emplace(out_, JsonStream::Kind::kArray, 3);
  }

  void add(const Diagnostic& d) override {
    const bool error = d.level == Diagnostic::Level::kError;
    std::string text = d.message;
    for (const std::string& note : d.notes) text += "\n" + note;
    // A diagnostic without a code (a text that cannot be written) belongs to no rule; under
    // --werror, a warning's rule stays its own, the result's level saying it counts as an error.
    nlohmann::ordered_json result;
    const std::string rule = rule_of(d);
    if (!rule.empty()) {
      result["ruleId"] = rule;
      const size_t index = rule_index(rule_kind(d));
      if (index < diagnostic_rules().size()) result["ruleIndex"] = index;
    }
    result["level"] = error ? "error" : "warning";
    result["message"] = {{"text", text}};
    if (!d.file.empty()) {
      nlohmann::ordered_json physical = {{"artifactLocation", {{"uri", file_uri(d.file)}}}};
      if (d.line > 0) {
        physical["region"] = {{"startLine", d.line}, {"startColumn", d.column}};
        if (d.end_column > d.column) physical["region"]["endColumn"] = d.end_column;
      }
      nlohmann::ordered_json location = {{"physicalLocation", physical}};
      if (!d.place.empty()) {
        location["logicalLocations"] = nlohmann::ordered_json::array({{{"name", d.place}}});
      }
      result["locations"] = nlohmann::ordered_json::array({location});
    }
    // The places the notes point at, each with its note.
    nlohmann::ordered_json related = nlohmann::ordered_json::array();
    for (const NotePlace& place : d.note_places) {
      if (place.note >= d.notes.size() || place.file.empty() || place.line <= 0) continue;
      related.push_back(
          {{"id", related.size()},
           {"physicalLocation",
            {{"artifactLocation", {{"uri", file_uri(place.file)}}},
             {"region", {{"startLine", place.line}, {"startColumn", std::max(place.column, 1)}}}}},
           {"message", {{"text", d.notes[place.note]}}}});
    }
    if (!related.empty()) result["relatedLocations"] = related;
    if (d.fix && !d.file.empty() && !d.fix->edits.empty()) result["fixes"] = sarif_fixes(d);
    result["properties"] = {{"notes", d.notes}, {"pastFirstError", d.past_first_error}};
    results_->element(result);
  }

  void finish(std::optional<int32_t>, int32_t) override {
    results_->close();
    run_->close();
    runs_->close();
    log_.close();
    out_("\n");
  }

 private:
  TextSink out_;
  JsonStream log_;
  std::optional<JsonStream> runs_, run_, results_;
};

}  // namespace

std::unique_ptr<DiagnosticDocument> json_document(TextSink out) {
  return std::make_unique<JsonDocument>(std::move(out));
}

std::unique_ptr<DiagnosticDocument> sarif_document(TextSink out, const std::string& version) {
  return std::make_unique<SarifDocument>(std::move(out), version);
}

std::unique_ptr<DiagnosticDocument> standard_output_document(const std::string& format,
                                                             const std::string& version) {
  // Written as it is made, straight to standard output.
  const TextSink out = [](const std::string& text) { write_output(Stream::kOut, text); };
  if (format == "json") return json_document(out);
  if (format == "sarif") return sarif_document(out, version);
  return nullptr;
}
