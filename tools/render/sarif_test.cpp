// The SARIF and JSON documents as tools read them: checked against the SARIF 2.1.0 schema
// (testdata/sarif-schema-2.1.0.json) by a small validator of the schema's keywords, and for
// what the schema cannot say: each result's rule, the field's end, the places notes point at,
// the fixes.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "common/windows_1252.h"
#include "compiler/error_codes.h"
#include "documents/driver_documents.h"
#include "test_support/shipped_files.h"
#include "test_support/temp_dir.h"
#include "tools/analysis/diagnostic_rules.h"
#include "tools/analysis/diagnostics.h"
#include "tools/analysis/source_lint.h"
#include "tools/render/diagnostic_output.h"
#include "tools/testing/tool_fixture.h"

namespace {

using Json = nlohmann::json;

// A validator of the JSON Schema (draft 4) keywords the SARIF schema uses: $ref, type, enum,
// required, properties, additionalProperties, items, minItems, uniqueItems, minimum, maximum,
// pattern, anyOf, oneOf, and the uri formats (no blank, no backslash). Titles, descriptions
// and defaults say nothing of validity.
class SchemaValidator {
 public:
  explicit SchemaValidator(Json schema) : root_(std::move(schema)) {}

  // What in `value` the schema refuses, each with where it stands; none when it conforms.
  std::vector<std::string> faults(const Json& value) const {
    std::vector<std::string> out;
    check(root_, value, "$", &out);
    return out;
  }

 private:
  const Json& resolved(const Json& schema) const {
    const Json* s = &schema;
    while (s->contains("$ref")) {
      const std::string ref = (*s)["$ref"];
      if (ref.compare(0, 1, "#") != 0) throw std::runtime_error("remote $ref " + ref);
      s = &root_.at(Json::json_pointer(ref.substr(1)));
    }
    return *s;
  }

  static bool is_type(const Json& v, const std::string& type) {
    if (type == "object") return v.is_object();
    if (type == "array") return v.is_array();
    if (type == "string") return v.is_string();
    if (type == "integer") return v.is_number_integer();
    if (type == "number") return v.is_number();
    if (type == "boolean") return v.is_boolean();
    if (type == "null") return v.is_null();
    throw std::runtime_error("unknown type " + type);
  }

  void check(const Json& schema, const Json& v, const std::string& at,
             std::vector<std::string>* out) const {
    const Json& s = resolved(schema);
    const auto fault = [&](const std::string& what) { out->push_back(at + ": " + what); };
    if (s.contains("type")) {
      const Json types = s["type"].is_array() ? s["type"] : Json::array({s["type"]});
      bool any = false;
      for (const Json& t : types) any = any || is_type(v, t);
      if (!any) return fault("is not of type " + types.dump());
    }
    if (s.contains("enum") && std::find(s["enum"].begin(), s["enum"].end(), v) == s["enum"].end()) {
      fault(v.dump() + " is none of " + s["enum"].dump());
    }
    if (v.is_number()) {
      if (s.contains("minimum") && v.get<double>() < s["minimum"].get<double>()) {
        fault(v.dump() + " is below " + s["minimum"].dump());
      }
      if (s.contains("maximum") && v.get<double>() > s["maximum"].get<double>()) {
        fault(v.dump() + " is above " + s["maximum"].dump());
      }
    }
    if (v.is_string()) {
      const std::string text = v;
      if (s.contains("pattern") &&
          !std::regex_search(text, std::regex(s["pattern"].get<std::string>()))) {
        fault("'" + text + "' does not match " + s["pattern"].dump());
      }
      if (s.value("format", "") == "uri" || s.value("format", "") == "uri-reference") {
        if (text.find_first_of(" \t\r\n\\") != std::string::npos) fault("'" + text + "' is no URI");
      }
    }
    if (v.is_object()) {
      for (const Json& name : s.value("required", Json::array())) {
        if (!v.contains(name.get<std::string>())) fault("lacks " + name.dump());
      }
      for (auto member = v.begin(); member != v.end(); ++member) {
        const std::string here = at + "." + member.key();
        if (s.contains("properties") && s["properties"].contains(member.key())) {
          check(s["properties"][member.key()], member.value(), here, out);
        } else if (s.contains("additionalProperties")) {
          const Json& more = s["additionalProperties"];
          if (more.is_boolean() && !more.get<bool>()) {
            fault("has " + member.key() + ", which the schema does not allow");
          } else if (more.is_object()) {
            check(more, member.value(), here, out);
          }
        }
      }
    }
    if (v.is_array()) {
      if (s.contains("minItems") && v.size() < s["minItems"].get<size_t>()) {
        fault("has fewer than " + s["minItems"].dump() + " items");
      }
      if (s.value("uniqueItems", false)) {
        for (size_t i = 0; i < v.size(); ++i) {
          for (size_t j = i + 1; j < v.size(); ++j) {
            if (v[i] == v[j])
              fault("items " + std::to_string(i) + " and " + std::to_string(j) + " are the same");
          }
        }
      }
      if (s.contains("items")) {
        for (size_t i = 0; i < v.size(); ++i) {
          check(s["items"], v[i], at + "[" + std::to_string(i) + "]", out);
        }
      }
    }
    for (const char* combination : {"anyOf", "oneOf"}) {
      if (!s.contains(combination)) continue;
      size_t matching = 0;
      for (const Json& choice : s[combination]) {
        std::vector<std::string> none;
        check(choice, v, at, &none);
        matching += none.empty();
      }
      if (matching == 0 || (std::string(combination) == "oneOf" && matching > 1)) {
        fault("matches " + std::to_string(matching) + " of its " + combination);
      }
    }
  }

  Json root_;
};

const SchemaValidator& sarif_schema() {
  static const SchemaValidator validator = [] {
    std::ifstream in(SARIF_SCHEMA_PATH);
    return SchemaValidator(Json::parse(in));
  }();
  return validator;
}

// What the schema cannot say of a log: every rule once under an id without blanks, each
// result's ruleIndex naming its ruleId, a region's end past its start, related locations each
// under its own id, the columns' kind said.
void expect_consistent(const Json& log) {
  const Json& run = log["runs"][0];
  EXPECT_EQ(run["columnKind"], "unicodeCodePoints");
  const Json& rules = run["tool"]["driver"]["rules"];
  std::set<std::string> ids;
  for (const Json& rule : rules) {
    const std::string id = rule["id"];
    EXPECT_TRUE(ids.insert(id).second) << id;
    EXPECT_EQ(id.find_first_of(" /'"), std::string::npos) << id;
  }
  for (const Json& result : run["results"]) {
    if (result.contains("ruleIndex")) {
      EXPECT_EQ(rules.at(result["ruleIndex"].get<size_t>())["id"], result["ruleId"]);
    }
    for (const Json& location : result.value("locations", Json::array())) {
      const Json region = location["physicalLocation"].value("region", Json::object());
      if (region.contains("endColumn")) {
        EXPECT_GT(region["endColumn"], region["startColumn"]);
      }
    }
    std::set<int> related;
    for (const Json& location : result.value("relatedLocations", Json::array())) {
      EXPECT_TRUE(related.insert(location["id"].get<int>()).second);
    }
  }
}

void expect_valid_sarif(const std::string& text) {
  const Json log = Json::parse(text);
  for (const std::string& fault : sarif_schema().faults(log)) ADD_FAILURE() << fault;
  expect_consistent(log);
}

const std::string kLineName = "Viterbo_Attigliano_linea.txt";
const std::string kTrainName = "Viterbo_Attigliano_7545-.txt";

std::string line_source(const std::string& features) {
  return "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n" + features + "[fine]\r\n";
}

const std::string kTrain = "[generale]\r\nvelocita, 0, 70\r\n[fine]\r\n";

const Json* result_of(const Json& log, const std::string& rule) {
  for (const Json& result : log["runs"][0]["results"]) {
    if (result.value("ruleId", "") == rule) return &result;
  }
  return nullptr;
}

}  // namespace

TEST(SarifTest, TheValidatorRefusesWhatTheSchemaRefuses) {
  const Json good = Json::parse(R"({"version": "2.1.0", "runs": [{"tool": {"driver": {
      "name": "t", "rules": [{"id": "a", "shortDescription": {"text": "x"}}]}},
      "results": [{"message": {"text": "m"}, "level": "error", "locations": [{
      "physicalLocation": {"artifactLocation": {"uri": "file:///a"},
      "region": {"startLine": 1, "startColumn": 2, "endColumn": 3}}}]}]}]})");
  EXPECT_TRUE(sarif_schema().faults(good).empty());
  const struct {
    const char* what;
    const char* pointer;
    Json value;
  } cases[] = {
      {"a version of another SARIF", "/version", "2.0.0"},
      {"a level no result takes", "/runs/0/results/0/level", "fatal"},
      {"a member the schema does not allow", "/runs/0/results/0/severity", 1},
      {"a result without its message", "/runs/0/results/0/message", nullptr},
      {"a line before the first", "/runs/0/results/0/locations/0/physicalLocation/region/startLine",
       0},
      {"a column that is no integer",
       "/runs/0/results/0/locations/0/physicalLocation/region/startColumn", "2"},
      {"a rule without its id", "/runs/0/tool/driver/rules/0/id", nullptr},
      {"a description without its text", "/runs/0/tool/driver/rules/0/shortDescription/text",
       nullptr},
      {"a URI with a blank", "/runs/0/results/0/locations/0/physicalLocation/artifactLocation/uri",
       "file:///a b"},
      {"a fix without its changes", "/runs/0/results/0/fixes",
       Json::array({{{"description", {{"text", "d"}}}}})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Json bad = good;
    const Json::json_pointer at(c.pointer);
    if (c.value.is_null()) {
      bad.at(at.parent_pointer()).erase(at.back());
    } else {
      bad[at] = c.value;
    }
    EXPECT_FALSE(sarif_schema().faults(bad).empty()) << bad.dump();
  }
}

TEST(SarifTest, EveryErrorCodeAndWarningKindHasOneRule) {
  const std::vector<DiagnosticRule>& rules = diagnostic_rules();
  // Every code the compiler records has its rule, its short description its meaning.
  for (int32_t code = 1; code < 1000; ++code) {
    if (std::string(error_meaning(code)) == "unknown error code") continue;
    const size_t index = rule_index(std::to_string(code));
    ASSERT_LT(index, rules.size()) << code;
    EXPECT_EQ(rules[index].id, "error-" + std::to_string(code));
    EXPECT_EQ(rules[index].short_description, error_meaning(code));
    EXPECT_TRUE(rules[index].error);
  }
  for (const DiagnosticRule& rule : rules) {
    EXPECT_EQ(rule.id, rule_id(rule.code));
    EXPECT_FALSE(rule.full_description.empty() || rule.help.empty()) << rule.id;
  }
  // Every kind the lint and the timetable give, over sources that hold them all.
  std::set<std::string> kinds;
  const std::vector<std::string> line_sources = {
      line_source("pendenza, 500, 3\r\npendenza, 400, 200.5\r\npendenze, 1, 2\r\n# note\r\n"
                  "curvad4, 500, 300\r\ncurvad4, 400, 300\r\ncurva sinistra 4, 900, 10\r\n"
                  "montagna, 900, 800, 300\r\nmontagna, 850, 900, 1\r\n"
                  "cartello_indicatore, 2100, \r\n"
                  "indicatore, 3000, 1, 2, 3, 4, 5, 6, 7, 8, 9000, 9000\r\n"
                  "indicatore, 2000, 1, 2, 3, 4, 5, 6, 7, 8, 1, 1\r\n"),
  };
  for (const std::string& text : line_sources) {
    for (const SourceWarning& w : lint_line_source(text, true)) kinds.insert(w.kind);
  }
  const std::string train =
      "[generale]\r\nvelocita, 0, 72\r\naderenza, 500, 300\r\naderenza, 400, 1\r\n"
      "orologio, 13, 75, 0\r\nsegnale, 1000, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0\r\n"
      "segnale, 900, 2, 4, 1, 0, 0, 0, 0, 0, 0, 0\r\n"
      "stazione, 1000, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, A,\tB\r\n"
      "stazione, 900, 12, 400, 0,0,0, 0,0,0, 0,0,0, 0, 10,0,0, Citt\xC3\xA0\r\n"
      "[fine]\r\n";
  for (const SourceWarning& w : lint_train_source(train)) kinds.insert(w.kind);
  for (const char* kind :
       {"station before the start clock", "station time earlier than the one before",
        "station time below the least running time"}) {
    kinds.insert(kind);
  }
  EXPECT_GE(kinds.size(), 15u);
  for (const std::string& kind : kinds) {
    const size_t index = rule_index(kind);
    ASSERT_LT(index, rules.size()) << kind;
    EXPECT_FALSE(rules[index].error) << kind;
  }
  EXPECT_EQ(rule_id("'abbattimento' point out of order"), "abbattimento-point-out-of-order");
  EXPECT_EQ(rule_id("UTF-8 text"), "utf-8-text");
  EXPECT_EQ(rule_id("25"), "error-25");
  EXPECT_EQ(rule_id(""), "");
}

// The columns count characters, each one byte of a Windows-1252 source: each byte is one code
// point, in the Basic Multilingual Plane, so that SARIF's unicodeCodePoints counts them as the
// tool does (and utf16CodeUnits would count them the same).
TEST(SarifTest, EachByteOfASourceIsOneCodePoint) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string utf8 = utf8_from_windows_1252(std::string(1, char(byte)));
    size_t code_points = 0;
    for (const char c : utf8) code_points += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_EQ(code_points, 1u) << byte;
    EXPECT_LE(utf8.size(), 3u) << byte;  // no code point beyond U+FFFF
  }
}

// The SARIF of real runs, each valid, with what the case is about in place.
TEST(SarifTest, RealRunsAreValidSarif) {
  const struct {
    const char* what;
    std::string line;  // empty: the shipped sources
    std::vector<std::string> options;
    std::function<void(const Json& log, const std::string& dir)> expect;
  } cases[] = {
      {"the shipped sources, with the timetable's warning naming the station before",
       "",
       {},
       [](const Json& log, const std::string& dir) {
         const Json* r = result_of(log, "station-time-earlier-than-the-one-before");
         ASSERT_NE(r, nullptr);
         EXPECT_EQ(r->at("level"), "warning");
         const Json& region = r->at("locations")[0]["physicalLocation"]["region"];
         EXPECT_EQ(region["startLine"], 22);
         EXPECT_EQ(region["endColumn"], 9);  // "stazione"
         const Json& before = r->at("relatedLocations")[0];
         EXPECT_EQ(before["physicalLocation"]["artifactLocation"]["uri"],
                   "file://" + dir + "/" + kTrainName);
         EXPECT_EQ(before["physicalLocation"]["region"]["startLine"], 21);
         EXPECT_EQ(before["message"]["text"].get<std::string>().compare(
                       0, 28, "the station before: line 21,"),
                   0);
       }},
      {"a comma missing after a keyword: the error at the keyword, where the reading stopped in "
       "a note, and the comma to insert as a fix",
       line_source("pendenza 500, 3\r\npendenze, 700, 2\r\n"),
       {},
       [](const Json& log, const std::string&) {
         const Json* r = result_of(log, "error-25");
         ASSERT_NE(r, nullptr);
         const Json& region = r->at("locations")[0]["physicalLocation"]["region"];
         EXPECT_EQ(region["startLine"], 4);
         EXPECT_EQ(region["endColumn"], 9);  // "pendenza"
         const Json* stopped = nullptr;
         for (const Json& related : r->at("relatedLocations")) {
           if (related["message"]["text"].get<std::string>().rfind("the reading stopped", 0) == 0)
             stopped = &related;
         }
         ASSERT_NE(stopped, nullptr);
         EXPECT_EQ((*stopped)["physicalLocation"]["region"]["startLine"], 5);
         const Json& replacement = r->at("fixes")[0]["artifactChanges"][0]["replacements"][0];
         EXPECT_EQ(replacement["deletedRegion"]["startLine"], 4);
         EXPECT_EQ(replacement["deletedRegion"]["startColumn"], 9);
         EXPECT_EQ(replacement["deletedRegion"]["byteLength"], 0);
         EXPECT_EQ(replacement["insertedContent"]["text"], ",");
       }},
      {"two errors, the second past the first, its notes shifted by the one put first",
       line_source("cartello_indicatore, 2100, (a)\r\ncartello_indicatore, 2110, (b)\r\n"
                   "pendenza 900, 3\r\npendenze, 700, 2\r\n"),
       {},
       [](const Json& log, const std::string&) {
         const Json* taken = result_of(log, "error-6");
         ASSERT_NE(taken, nullptr);
         EXPECT_EQ(taken->at("locations")[0]["physicalLocation"]["region"]["endColumn"], 20);
         const Json* past = result_of(log, "error-25");
         ASSERT_NE(past, nullptr);
         EXPECT_TRUE(past->at("properties")["pastFirstError"].get<bool>());
         const Json& related = past->at("relatedLocations").back();
         EXPECT_EQ(related["message"]["text"].get<std::string>().compare(
                       0, 32, "the reading stopped at line 7, c"),
                   0);
         EXPECT_EQ(related["physicalLocation"]["region"]["startLine"], 7);
       }},
      {"a decimal comma: the warning spans the number and its stray field",
       line_source("pendenza, 500, 2,5\r\n"),
       {},
       [](const Json& log, const std::string&) {
         const Json* r = result_of(log, "decimal-comma");
         ASSERT_NE(r, nullptr);
         const Json& region = r->at("locations")[0]["physicalLocation"]["region"];
         EXPECT_EQ(region["startColumn"], 16);
         EXPECT_EQ(region["endColumn"], 19);  // "2,5"
       }},
      {"--werror: the warning's own rule, at the level of an error",
       line_source("pendenze, 500, 3\r\n"),
       {"--werror"},
       [](const Json& log, const std::string&) {
         const Json* r = result_of(log, "field-matching-no-keyword");
         ASSERT_NE(r, nullptr);
         EXPECT_EQ(r->at("level"), "error");
         const Json& rule =
             log["runs"][0]["tool"]["driver"]["rules"][r->at("ruleIndex").get<size_t>()];
         EXPECT_EQ(rule["defaultConfiguration"]["level"], "warning");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.line.empty()) {
      write_shipped_sources(dir);
    } else {
      write_file_bytes(dir.file(kLineName), c.line);
      write_file_bytes(dir.file(kTrainName), kTrain);
    }
    std::vector<std::string> args = {"check", dir.path(), "--format=sarif"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProcessResult run = run_tool(args);
    EXPECT_EQ(run.err, "");
    ASSERT_NO_FATAL_FAILURE(expect_valid_sarif(run.out));
    c.expect(Json::parse(run.out), dir.path());
  }
}

TEST(SarifTest, PackageWritesValidSarif) {
  TempDir sources, documents, out;
  write_shipped_sources(sources);
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_note(documents.path(), shipped).ok());
  ASSERT_TRUE(dati_scheda(documents.path(), shipped).ok());
  ASSERT_TRUE(dati_rallentamenti(documents.path(), shipped).ok());
  // A document with a character Windows-1252 has not, refused at its place.
  write_file_bytes(documents.file(kNotesFile.name), "riga\r\nvia \xE2\x86\x92 Orte\r\n");
  const ProcessResult run =
      run_tool({"package", sources.path(), "--notes", documents.file(kNotesFile.name), "--sheet",
                documents.file(kTrainSheetFile.name), "--slowdowns",
                documents.file(kSlowdownOrderFile.name), "-o", out.file("inst"), "--target",
                "linux", "--installer", INSTALLER_PATH, "--format", "sarif"});
  EXPECT_EQ(run.exit_status, 2);
  ASSERT_NO_FATAL_FAILURE(expect_valid_sarif(run.out));
  const Json log = Json::parse(run.out);
  ASSERT_FALSE(log["runs"][0]["results"].empty());
  EXPECT_EQ(
      log["runs"][0]["results"].back()["locations"][0]["physicalLocation"]["region"]["startColumn"],
      5);
}

// A fix as JSON and SARIF give it, from a diagnostic made by hand: its edits in bytes of the
// source, and by line and column where they lie on the diagnostic's line as its excerpt shows.
TEST(SarifTest, FixesInJsonAndSarif) {
  // "pendenza 500, 3" with the comma after the keyword missing; the diagnostic at "500".
  const std::string text = "[generale]\r\npendenza 500, 3\r\n";
  const ShownSource source("DIR/linea.txt", text);
  const size_t at = text.find("500");
  Diagnostic d;
  d.file = source.path();
  d.code = "25";
  d.message = "the reading stopped";
  d.notes = {"the row began at line 2"};
  d.note_places = {{0, source.path(), 2, 1}};
  const LineAndColumn place = source.locate(at);
  d.line = place.line;
  d.column = place.column;
  d.offset = at;
  d.end_column = d.column + 3;
  const Excerpt shown = source.excerpt(at);
  d.excerpt_bytes = shown.text;
  d.excerpt = shown.text;
  d.caret = shown.caret;
  d.has_excerpt = true;
  Fix fix;
  fix.description = "insert ',' after 'pendenza'";
  fix.edits = {{at - 1, 0, ","},                   // on the line: by line and column too
               {text.size(), 0, "citt\xE0\r\n"}};  // past it: in bytes only
  fix.repaired_line = "pendenza, 500, 3";
  d.fix = fix;

  std::string json_text, sarif_text;
  for (const bool sarif : {false, true}) {
    const std::unique_ptr<DiagnosticDocument> document =
        sarif ? sarif_document(append_to(&sarif_text), "1.0")
              : json_document(append_to(&json_text));
    document->add(d);
    document->finish(25, 0);
  }
  const Json json = Json::parse(json_text)["diagnostics"][0];
  EXPECT_EQ(json["end_column"], 13);
  EXPECT_EQ(json["note_places"], Json::parse(R"([{"note": 0, "file": "DIR/linea.txt",
                                                   "line": 2, "column": 1}])"));
  EXPECT_EQ(json["fix"], Json::parse(R"({"description": "insert ',' after 'pendenza'",
      "edits": [{"offset": 20, "length": 0, "replacement": ",", "line": 2, "column": 9},
                {"offset": 29, "length": 0, "replacement": "città\r\n", "line": null,
                 "column": null}],
      "repaired_line": "pendenza, 500, 3", "sure": true})"));

  ASSERT_NO_FATAL_FAILURE(expect_valid_sarif(sarif_text));
  const Json result = Json::parse(sarif_text)["runs"][0]["results"][0];
  EXPECT_EQ(result["locations"][0]["physicalLocation"]["region"]["endColumn"], 13);
  EXPECT_EQ(result["fixes"],
            Json::parse(R"([{"description": {"text": "insert ',' after 'pendenza'"},
      "artifactChanges": [{"artifactLocation": {"uri": "DIR/linea.txt"}, "replacements": [
        {"deletedRegion": {"startLine": 2, "startColumn": 9, "endColumn": 9, "byteOffset": 20,
                           "byteLength": 0},
         "insertedContent": {"text": ","}},
        {"deletedRegion": {"byteOffset": 29, "byteLength": 0},
         "insertedContent": {"text": "città\r\n"}}]}]}])"));
  EXPECT_EQ(result["relatedLocations"][0]["message"]["text"], "the row began at line 2");

  // A diagnostic without a fix: null in JSON, no fixes in SARIF.
  d.fix.reset();
  json_text.clear();
  sarif_text.clear();
  for (const bool sarif : {false, true}) {
    const std::unique_ptr<DiagnosticDocument> document =
        sarif ? sarif_document(append_to(&sarif_text), "1.0")
              : json_document(append_to(&json_text));
    document->add(d);
    document->finish(25, 0);
  }
  EXPECT_TRUE(Json::parse(json_text)["diagnostics"][0]["fix"].is_null());
  EXPECT_FALSE(Json::parse(sarif_text)["runs"][0]["results"][0].contains("fixes"));
}
