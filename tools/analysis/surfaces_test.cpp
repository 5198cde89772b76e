// Every surface of the tool shows what the one analysis found: for one faulty scenario of each
// family, check's text, JSON and SARIF, package, the route view and the language server (in this
// process) name the same problems, each by its level, code, file and line.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common/file_path.h"
#include "common/windows_1252.h"
#include "test_support/temp_dir.h"
#include "tools/lsp/lsp_server.h"
#include "tools/lsp/lsp_text.h"
#include "tools/testing/tool_fixture.h"

using nlohmann::json;

namespace {

const char kLine[] = "Viterbo_Attigliano_linea.txt";
const char kTrain[] = "Viterbo_Attigliano_7545-.txt";

// One problem as every surface can name it: "error 25 Viterbo_Attigliano_linea.txt:4", or
// "warning Viterbo_Attigliano_7545-.txt:3" (text names no warning's kind, so none does here).
using Problems = std::multiset<std::string>;

std::string key(bool error, const std::string& code, const std::string& file, int line) {
  return (error ? "error " + code : std::string("warning")) + " " + file_name_of(file) + ":" +
         std::to_string(line);
}

// The problems of a text report: each head line "FILE:LINE:COL: error CODE: ...",
// "FILE: [cell N: ]error CODE: ...", or "...: warning: ...".
Problems from_text(const std::string& report) {
  static const std::regex head(
      R"(^(/[^:]*?)(?::(\d+):\d+)?: (?:cell \d+: )?(?:error ([^: ]+)|(warning)):.*)");
  Problems found;
  size_t from = 0;
  while (from < report.size()) {
    size_t end = report.find('\n', from);
    if (end == std::string::npos) end = report.size();
    std::smatch m;
    const std::string line = report.substr(from, end - from);
    if (std::regex_match(line, m, head)) {
      found.insert(key(!m[4].matched, m[3], m[1], m[2].matched ? std::stoi(m[2]) : 0));
    }
    from = end + 1;
  }
  return found;
}

Problems from_json(const json& document) {
  Problems found;
  for (const json& d : document["diagnostics"]) {
    found.insert(key(d["level"] == "error", d["code"].get<std::string>(),
                     d["file"].get<std::string>(), d["line"].get<int>()));
  }
  return found;
}

Problems from_sarif(const json& log) {
  Problems found;
  for (const json& r : log["runs"][0]["results"]) {
    const json& physical = r["locations"][0]["physicalLocation"];
    const std::string rule = r.value("ruleId", "");
    const json& region = physical.value("region", json::object());
    found.insert(key(r["level"] == "error", rule.rfind("error-", 0) == 0 ? rule.substr(6) : rule,
                     physical["artifactLocation"]["uri"].get<std::string>(),
                     region.value("startLine", 0)));
  }
  return found;
}

// The language server, in this process, with both sources open as they are on disk.
Problems from_language_server(const TempDir& dir, bool line_open) {
  std::vector<json> sent;
  LspServer server([&sent](const std::string& body) { sent.push_back(json::parse(body)); },
                   std::chrono::milliseconds(10));
  auto now = LspServer::Clock::now();
  const auto take = [&](const json& message) { server.receive({message.dump()}, now); };
  take({{"jsonrpc", "2.0"}, {"id", 1}, {"method", "initialize"}, {"params", json::object()}});
  take({{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object()}});
  std::vector<std::string> names = {kTrain};
  if (line_open) names.push_back(kLine);
  for (const std::string& name : names) {
    take({{"jsonrpc", "2.0"},
          {"method", "textDocument/didOpen"},
          {"params",
           {{"textDocument",
             {{"uri", uri_from_path(dir.file(name))},
              {"languageId", "scenario"},
              {"version", 1},
              {"text", utf8_from_windows_1252(read_file_bytes(dir.file(name)))}}}}}});
  }
  now += std::chrono::seconds(1);
  server.check_due(now);
  // The last diagnostics published for each document.
  std::map<std::string, json> last;
  for (const json& m : sent) {
    if (m.value("method", "") == "textDocument/publishDiagnostics")
      last[m["params"]["uri"]] = m["params"]["diagnostics"];
  }
  Problems found;
  for (const auto& entry : last) {
    const std::string file = file_name_of(path_from_uri(entry.first));
    for (const json& d : entry.second) {
      const std::string rule = d.value("code", "");
      const std::string message = d["message"];
      // A problem of a missing source stands at the top of the other, its file named first.
      std::string shown = file;
      int line = d["range"]["start"]["line"].get<int>() + 1;
      for (const char* name : {kLine, kTrain}) {
        if (message.rfind(std::string(name) + ": ", 0) == 0) {
          shown = name;
          line = 0;
        }
      }
      found.insert(key(d["severity"] == 1, rule.rfind("error-", 0) == 0 ? rule.substr(6) : rule,
                       shown, line));
    }
  }
  return found;
}

std::string listed(const Problems& problems) {
  std::string text;
  for (const std::string& p : problems) text += "  " + p + "\n";
  return text;
}

}  // namespace

TEST(EverySurface, NamesTheSameProblems) {
  const std::string general = "[generale]\r\nlunghezza percorso, 20000\r\n[curve]\r\n";
  const std::string stations =
      "stazione, 1000, 3, 200, 0,0,0,0,0, 0,0,0,0,0, 8, 0, 0, Alfa\r\n"
      "stazione, 6000, 3, 200, 0,0,0,0,0, 0,0,0,0,0, 8, 30, 0, Beta\r\n";
  const std::string train = "[generale]\r\nvelocita, 0, 80\r\n" + stations + "[fine]\r\n";
  struct Case {
    const char* family;
    const char* line;  // the line source's features; none: no line source at all
    std::string train;
    std::vector<std::string> expected;  // each problem, as key() gives it
    bool package = true;                // whether package sees these sources as check does
  };
  const Case cases[] = {
      {"a row that cannot be read",
       "montagna, 100, x, 2\r\n",
       train,
       {"error 25 " + std::string(kLine) + ":4"}},
      {"a position beyond the cells",
       "pendenza, 500, 3\r\npendenza, 90000, 2\r\n",
       train,
       {"error 15 " + std::string(kLine) + ":5"}},
      {"the signal-cell rules, at the slowdown behind them",
       "cartello_indicatore, 4750, (s)\r\ncartello_indicatore, 4700, (s)\r\n"
       "cartello_indicatore, 4650, (s)\r\ncartello_indicatore, 4100, (s)\r\n"
       "cartello_indicatore, 4050, (s)\r\ncartello_indicatore, 4000, (s)\r\n",
       "[generale]\r\nvelocita, 0, 70\r\nrallentamento, 5000, 30, 200, 0, 0, 0\r\n[fine]\r\n",
       {"error 12 " + std::string(kTrain) + ":3", "error 12 " + std::string(kTrain) + ":3"}},
      {"a slowdown with no end, at its row",
       "",
       "[generale]\r\nvelocita, 0, 80\r\nrallentamento, 8500, 30, 0, 0, 0, 0\r\n[fine]\r\n",
       {"error 15 " + std::string(kTrain) + ":3"}},
      {"a speed board on the version slot",
       "indicatori_vmax, 0, 100, 100, 100, 0, 0, 0, 0, 0\r\n",
       train,
       {"error 1250 " + std::string(kLine) + ":4"}},
      {"a speed board on the checksum slot",
       "indicatori_vmax, 0, 0, 100, 100, 0, 0, 0, 0, 0\r\n",
       train,
       {"error 1251 " + std::string(kLine) + ":4"}},
      {"problems past the first error",
       "montagna, 100, x, 2\r\nmontagna, 3000, y, 2\r\n",
       train,
       {"error 25 " + std::string(kLine) + ":4", "error 25 " + std::string(kLine) + ":5"}},
      {"no line source", nullptr, train, {"error 101 " + std::string(kLine) + ":0"}, false},
      {"a station earlier than the one before",
       "",
       "[generale]\r\nvelocita, 0, 80\r\n"
       "stazione, 1000, 3, 200, 0,0,0,0,0, 0,0,0,0,0, 9, 0, 0, Alfa\r\n"
       "stazione, 6000, 3, 200, 0,0,0,0,0, 0,0,0,0,0, 8, 30, 0, Beta\r\n[fine]\r\n",
       {"warning " + std::string(kTrain) + ":4"}},
      {"a misspelt keyword",
       "pendensa, 500, 3\r\n",
       train,
       {"warning " + std::string(kLine) + ":4"}},
      {"a tab before a number, which it stops",
       "pendenza,\t500, 3\r\n",
       train,
       {"warning " + std::string(kLine) + ":4", "error 25 " + std::string(kLine) + ":4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family);
    TempDir dir, out;
    if (c.line != nullptr) write_file_bytes(dir.file(kLine), general + c.line + "[fine]\r\n");
    write_file_bytes(dir.file(kTrain), c.train);
    const Problems expected(c.expected.begin(), c.expected.end());

    const ProcessResult text = run_tool({"check", dir.path()});
    EXPECT_EQ(from_text(text.err), expected) << text.err;
    const ProcessResult as_json = run_tool({"check", dir.path(), "--format=json"});
    const json document = json::parse(as_json.out);
    EXPECT_EQ(from_json(document), expected) << as_json.out;
    // The last line's code, which the document's error_code repeats.
    const std::string last = last_line(text.out);
    const std::string code = document["error_code"].dump();
    EXPECT_TRUE(last == "errore=" + code || last.rfind("error_code=" + code + " ", 0) == 0)
        << last << " / " << code;
    const ProcessResult sarif = run_tool({"check", dir.path(), "--format=sarif"});
    EXPECT_EQ(from_sarif(json::parse(sarif.out)), expected) << sarif.out;
    const ProcessResult view = run_tool({"view", dir.path(), "-o", out.file("v.html")});
    EXPECT_EQ(from_text(view.err), expected) << view.err;
    if (c.package) {
      write_file_bytes(out.file("doc.txt"), "x\r\n");
      const ProcessResult packaged =
          run_tool({"package", dir.path(), "--notes", out.file("doc.txt"), "--sheet",
                    out.file("doc.txt"), "--slowdowns", out.file("doc.txt"), "-o", out.file("inst"),
                    "--target", "linux", "--installer", INSTALLER_PATH, "--format=json"});
      EXPECT_EQ(from_json(json::parse(packaged.out)), expected) << packaged.out;
    }
    const Problems served = from_language_server(dir, c.line != nullptr);
    EXPECT_EQ(served, expected) << listed(served);
  }
}
