// The language server driven with JSON-RPC exchanges: in this process for the protocol's cases
// (errors, cancel, shutdown, a document closed while its check waits) and the diagnostics of a
// scenario's two sources, and as the program through its standard input and output.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "common/windows_1252.h"
#include "test_support/temp_dir.h"
#include "tools/lsp/lsp_server.h"
#include "tools/lsp/lsp_text.h"
#include "tools/testing/tool_fixture.h"

using nlohmann::json;

namespace {

using Clock = LspServer::Clock;

const char kLine[] = "Viterbo_Attigliano_linea.txt";
const char kTrain[] = "Viterbo_Attigliano_7545-.txt";

// A server and what it sent, message by message.
struct Session {
  std::vector<json> sent;
  LspServer server{[this](const std::string& body) { sent.push_back(json::parse(body)); },
                   std::chrono::milliseconds(100)};
  Clock::time_point now = Clock::now();

  void take(const std::vector<json>& messages) {
    std::vector<std::string> bodies;
    for (const json& m : messages) bodies.push_back(m.dump());
    server.receive(bodies, now);
  }
  void initialize(json capabilities = json::object()) {
    take({request(1, "initialize", {{"capabilities", capabilities}})});
    take({{{"jsonrpc", "2.0"}, {"method", "initialized"}, {"params", json::object()}}});
  }
  // Lets the time pass and runs the checks it brings.
  void wait(std::chrono::milliseconds time) {
    now += time;
    server.check_due(now);
  }
  const json* answer(const json& id) const {
    for (const json& m : sent) {
      if (m.contains("id") && m["id"] == id && !m.contains("method")) return &m;
    }
    return nullptr;
  }
  // The diagnostics last published for `uri`; null when none were.
  json diagnostics(const std::string& uri) const {
    json last;
    for (const json& m : sent) {
      if (m.value("method", "") == "textDocument/publishDiagnostics" && m["params"]["uri"] == uri)
        last = m["params"]["diagnostics"];
    }
    return last;
  }

  static json request(const json& id, const std::string& method, json params = json::object()) {
    return {{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", params}};
  }
  static json notice(const std::string& method, json params) {
    return {{"jsonrpc", "2.0"}, {"method", method}, {"params", params}};
  }
};

json open_params(const std::string& uri, const std::string& text) {
  return {
      {"textDocument", {{"uri", uri}, {"languageId", "scenario"}, {"version", 1}, {"text", text}}}};
}

json position(size_t line, size_t character) {
  return {{"line", line}, {"character", character}};
}

std::string utf8_file(const std::string& path) {
  return utf8_from_windows_1252(read_file_bytes(path));
}

}  // namespace

TEST(LspProtocol, EachFaultGetsItsErrorAndTheServerGoesOn) {
  struct Case {
    const char* name;
    bool initialize;
    std::vector<std::string> bodies;  // sent together
    json id;                          // of the answer looked for
    int code;                         // its error's code
  };
  const Case cases[] = {
      {"invalid JSON", true, {"{\"jsonrpc\": \"2.0\", \"id\": 3, \"method\""}, nullptr, -32700},
      {"not a request", true, {"[1, 2]"}, nullptr, -32600},
      {"an unknown method",
       true,
       {Session::request(3, "textDocument/frobnicate").dump()},
       3,
       -32601},
      {"a request before initialize",
       false,
       {Session::request(3, "textDocument/hover").dump()},
       3,
       -32002},
      {"parameters that are not the protocol's",
       true,
       {Session::request(3, "textDocument/hover", {{"textDocument", 5}}).dump()},
       3,
       -32602},
      {"a request cancelled before it was handled",
       true,
       {Session::request("h", "textDocument/documentSymbol",
                         {{"textDocument", {{"uri", "file:///x/a_linea.txt"}}}})
            .dump(),
        Session::notice("$/cancelRequest", {{"id", "h"}}).dump()},
       "h",
       -32800},
      {"a request after shutdown",
       true,
       {Session::request(2, "shutdown").dump(), Session::request(3, "textDocument/hover").dump()},
       3,
       -32600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Session s;
    if (c.initialize) s.initialize();
    s.server.receive(c.bodies, s.now);
    const json* answer = s.answer(c.id);
    ASSERT_NE(answer, nullptr);
    ASSERT_TRUE(answer->contains("error")) << answer->dump();
    EXPECT_EQ((*answer)["error"]["code"], c.code) << answer->dump();
    // And the server still answers.
    s.take({Session::request(99, "textDocument/frobnicate")});
    ASSERT_NE(s.answer(99), nullptr);
    EXPECT_FALSE(s.server.exited());
  }
}

TEST(LspProtocol, ExitEndsWithTheStatusShutdownGives) {
  for (const bool shut_down : {true, false}) {
    Session s;
    s.initialize();
    if (shut_down) s.take({Session::request(2, "shutdown")});
    s.take({Session::notice("exit", json::object())});
    EXPECT_TRUE(s.server.exited());
    EXPECT_EQ(s.server.exit_status(), shut_down ? 0 : 1);
  }
}

TEST(LspProtocol, PositionEncodingIsUtf8WhenOfferedElseUtf16) {
  const struct {
    json offered;
    const char* chosen;
  } cases[] = {{json::array({"utf-32", "utf-8", "utf-16"}), "utf-8"},
               {json::array({"utf-16"}), "utf-16"},
               {nullptr, "utf-16"}};
  for (const auto& c : cases) {
    Session s;
    json capabilities = json::object();
    if (!c.offered.is_null()) capabilities["general"]["positionEncodings"] = c.offered;
    s.initialize(capabilities);
    EXPECT_EQ((*s.answer(1))["result"]["capabilities"]["positionEncoding"], c.chosen);
  }
}

TEST(LspText, PositionsMapBetweenTheEditorsUnitsAndTheSourcesBytes) {
  // "è" is one byte of Windows-1252, two of UTF-8, one UTF-16 unit; "😀" none of Windows-1252
  // (a '?'), four of UTF-8, two UTF-16 units.
  const SourceText text = SourceText::from_utf8("ab\r\nè😀x\ny");
  EXPECT_EQ(text.bytes(), "ab\r\n\xE8?x\ny");
  EXPECT_TRUE(text.lost_characters());
  const struct {
    size_t byte;
    PositionUnits units;
    size_t line, character;
  } cases[] = {
      {1, PositionUnits::kUtf16, 0, 1}, {4, PositionUnits::kUtf16, 1, 0},
      {6, PositionUnits::kUtf16, 1, 3}, {6, PositionUnits::kUtf8, 1, 6},
      {6, PositionUnits::kUtf32, 1, 2}, {8, PositionUnits::kUtf8, 2, 0},
  };
  for (const auto& c : cases) {
    const TextPosition p = text.position_of_byte(c.byte, c.units);
    EXPECT_EQ(p.line, c.line) << c.byte;
    EXPECT_EQ(p.character, c.character) << c.byte;
    EXPECT_EQ(text.byte_at({c.line, c.character}, c.units), c.byte);
  }
  // A position inside a character's units, or past the line, stops before it or at the end.
  EXPECT_EQ(text.byte_at({1, 2}, PositionUnits::kUtf16), 5u);
  EXPECT_EQ(text.byte_at({0, 50}, PositionUnits::kUtf16), 2u);
  EXPECT_FALSE(SourceText::from_utf8("pendenza, 1").lost_characters());
}

TEST(LspText, FileUrisAndPaths) {
  EXPECT_EQ(path_from_uri("file:///tmp/a%20b/Citt%C3%A0_linea.txt"), "/tmp/a b/Città_linea.txt");
  EXPECT_EQ(uri_from_path("/tmp/a b/Città_linea.txt"), "file:///tmp/a%20b/Citt%C3%A0_linea.txt");
  for (const char* refused :
       {"http://x/a_linea.txt", "file://host/a_linea.txt", "file:///tmp/a%2Fb_linea.txt",
        "file:///tmp/a%00_linea.txt", "file:///tmp/%zz"}) {
    EXPECT_EQ(path_from_uri(refused), "") << refused;
  }
}

TEST(LspFraming, MessagesAreReadByTheirLengthAndAnOverlongOneIsPassedOver) {
  const std::string body = "{\"a\":1}";
  const std::string stream = "Content-Length: 7\r\nContent-Type: x\r\n\r\n" + body +
                             "Content-Length: " + std::to_string(kMaxMessageBytes + 3) +
                             "\r\n\r\n" + std::string(kMaxMessageBytes + 3, ' ') + framed(body) +
                             "Content-Length: x\r\n\r\n";
  size_t at = 0;
  MessageReader reader([&](char* bytes, size_t size) {
    const size_t n = std::min(size, stream.size() - at);
    std::copy(stream.data() + at, stream.data() + at + n, bytes);
    at += n;
    return n;
  });
  std::string got;
  EXPECT_EQ(reader.next(&got), MessageReader::Result::kMessage);
  EXPECT_EQ(got, body);
  EXPECT_EQ(reader.next(&got), MessageReader::Result::kTooLong);
  EXPECT_EQ(reader.next(&got), MessageReader::Result::kMessage);
  EXPECT_EQ(got, body);
  EXPECT_EQ(reader.next(&got), MessageReader::Result::kBadHeader);
}

TEST(LspDiagnostics, BothSourcesAreCheckedAsCheckDoesAndPublishedForEach) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string line_uri = uri_from_path(dir.file(kLine));
  const std::string train_uri = uri_from_path(dir.file(kTrain));
  Session s;
  s.initialize();
  std::string line = utf8_file(dir.file(kLine));
  s.take({Session::notice("textDocument/didOpen", open_params(line_uri, line))});
  s.wait(std::chrono::milliseconds(0));
  // The shipped sources give check's one warning, in the train source read from the disk.
  ASSERT_TRUE(s.diagnostics(line_uri).is_array());
  EXPECT_EQ(s.diagnostics(line_uri).size(), 0u);
  const json train = s.diagnostics(train_uri);
  ASSERT_EQ(train.size(), 1u);
  EXPECT_EQ(train[0]["code"], "station-time-earlier-than-the-one-before");
  EXPECT_EQ(train[0]["severity"], 2);
  EXPECT_EQ(train[0]["range"]["start"], position(21, 0));
  EXPECT_EQ(train[0]["relatedInformation"][0]["location"]["range"]["start"], position(20, 0));

  // A signboard put in the line source on a signal's cell breaks the signal's row in the train
  // source; the change waits for the pause in typing.
  const size_t at = line.find("cartello_indicatore");
  const size_t row = size_t(std::count(line.begin(), line.begin() + long(at), '\n'));
  const json inserted = {{"range", {{"start", position(row, 0)}, {"end", position(row, 0)}}},
                         {"text", "cartello_indicatore, 10000, (X)\r\n"}};
  s.take({Session::notice(
      "textDocument/didChange",
      {{"textDocument", {{"uri", line_uri}, {"version", 2}}}, {"contentChanges", {inserted}}})});
  s.wait(std::chrono::milliseconds(50));
  EXPECT_EQ(s.diagnostics(train_uri).size(), 1u);
  s.wait(std::chrono::milliseconds(60));
  const json broken = s.diagnostics(train_uri);
  ASSERT_EQ(broken.size(), 2u);
  EXPECT_EQ(broken[1]["code"], "error-16");
  EXPECT_EQ(broken[1]["severity"], 1);
  EXPECT_EQ(broken[1]["range"]["start"], position(27, 0));
  EXPECT_NE(broken[1]["message"].get<std::string>().find("signal at 10000 m meets signboard"),
            std::string::npos);
}

TEST(LspDiagnostics, AFixIsAQuickFixInTheEditorsUnits) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string uri = uri_from_path(dir.file(kLine));
  Session s;
  s.initialize();
  // A gradient row whose comma after the keyword became a blank: the reading stops there.
  std::string line = utf8_file(dir.file(kLine));
  const size_t at = line.find("pendenza,  500,");
  line.replace(at, 15, "pendenza   500,");
  s.take({Session::notice("textDocument/didOpen", open_params(uri, line))});
  s.wait(std::chrono::milliseconds(0));
  const json diagnostics = s.diagnostics(uri);
  ASSERT_GE(diagnostics.size(), 1u);
  const json& d = diagnostics[0];
  EXPECT_EQ(d["code"], "error-25");
  s.take({Session::request(5, "textDocument/codeAction",
                           {{"textDocument", {{"uri", uri}}},
                            {"range", d["range"]},
                            {"context", {{"diagnostics", {d}}}}})});
  const json actions = (*s.answer(5))["result"];
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0]["kind"], "quickfix");
  EXPECT_EQ(actions[0]["title"], "insert ',' after 'pendenza'");
  const json edit = actions[0]["edit"]["changes"][uri][0];
  const size_t row = size_t(std::count(line.begin(), line.begin() + long(at), '\n'));
  EXPECT_EQ(edit["range"]["start"], position(row, 8));
  EXPECT_EQ(edit["newText"], ",");
}

TEST(LspDiagnostics, ADocumentClosedWhileItsCheckWaitsIsCleared) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string uri = uri_from_path(dir.file(kLine));
  const std::string train_uri = uri_from_path(dir.file(kTrain));
  Session s;
  s.initialize();
  s.take({Session::notice("textDocument/didOpen", open_params(uri, utf8_file(dir.file(kLine))))});
  s.take({Session::notice("textDocument/didChange",
                          {{"textDocument", {{"uri", uri}, {"version", 2}}},
                           {"contentChanges", {{{"text", "pendenza 1, 2\r\n"}}}}}),
          Session::notice("textDocument/didClose", {{"textDocument", {{"uri", uri}}}})});
  s.wait(std::chrono::seconds(1));
  // Never checked: the only diagnostics sent clear both documents.
  EXPECT_EQ(s.diagnostics(uri), json::array());
  EXPECT_EQ(s.diagnostics(train_uri), json::array());
  s.take({Session::request(7, "textDocument/hover",
                           {{"textDocument", {{"uri", uri}}}, {"position", position(0, 0)}})});
  EXPECT_EQ((*s.answer(7))["result"], nullptr);
}

TEST(LspProgram, AnswersInitializeShutdownAndExitOnItsStandardStreams) {
  TempDir dir;
  const json messages[] = {Session::request(1, "initialize", {{"capabilities", json::object()}}),
                           Session::request(2, "shutdown"),
                           Session::notice("exit", json::object())};
  std::string input;
  for (const json& m : messages) input += framed(m.dump());
  write_file_bytes(dir.file("input"), input);
  const ProcessResult result = run_process(
      {"/bin/sh", "-c", std::string(SCENARIO_TOOL_PATH) + " lsp --stdio < " + dir.file("input")});
  ASSERT_TRUE(result.exited);
  EXPECT_EQ(result.exit_status, 0) << result.err;
  EXPECT_NE(result.out.find("\"positionEncoding\":\"utf-16\""), std::string::npos);
  EXPECT_NE(
      result.out.find("Content-Length: 38\r\n\r\n{\"id\":2,\"jsonrpc\":\"2.0\",\"result\":null}"),
      std::string::npos)
      << result.out;
}

TEST(LspFeatures, HoverCompletionOutlineFoldingAndGoTo) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string line_uri = uri_from_path(dir.file(kLine));
  const std::string train_uri = uri_from_path(dir.file(kTrain));
  // A gradient that wraps, and a signboard on the first signal's cell.
  std::string line = utf8_file(dir.file(kLine));
  line.replace(line.find("pendenza,  500,   3"), 19, "pendenza,  500, 200");
  line.insert(line.find("cartello_indicatore"), "cartello_indicatore, 10000, (X)\r\n");
  const size_t gradient_row =
      size_t(std::count(line.begin(), line.begin() + long(line.find("pendenza,  500, 200")), '\n'));
  Session s;
  s.initialize();
  s.take({Session::notice("textDocument/didOpen", open_params(line_uri, line)),
          Session::notice("textDocument/didOpen",
                          open_params(train_uri, utf8_file(dir.file(kTrain)) +
                                                     "Citt\xC3\xA0 \xE2\x86\x92\r\n"))});
  s.wait(std::chrono::milliseconds(0));
  int id = 100;
  const auto ask = [&](const std::string& method, const std::string& uri, size_t l, size_t c) {
    s.take({Session::request(++id, method,
                             {{"textDocument", {{"uri", uri}}}, {"position", position(l, c)}})});
    return (*s.answer(id))["result"];
  };
  const struct {
    const char* name;
    std::string uri;
    size_t line, character;
    std::vector<std::string> shown;
  } hovers[] = {
      {"a wrapped gradient",
       line_uri,
       gradient_row,
       17,
       {"**pendenza**", "**gradient** (per mille", "gradient -56 per mille (200 wraps to it)",
        "cell 11"}},
      {"a station's name",
       train_uri,
       20,
       3,
       {"**stazione**", "station name", "table entry", "'Sipicciano S. Nicola' at 14:09:00",
        "Windows-1252"}},
  };
  for (const auto& h : hovers) {
    SCOPED_TRACE(h.name);
    const std::string shown =
        ask("textDocument/hover", h.uri, h.line, h.character)["contents"]["value"];
    for (const std::string& part : h.shown) EXPECT_NE(shown.find(part), std::string::npos) << shown;
  }
  // A keyword's completion brings its row to fill; a station's value field, the rest of its row.
  const json keywords = ask("textDocument/completion", line_uri, gradient_row, 0);
  const auto gradient = std::find_if(keywords.begin(), keywords.end(),
                                     [](const json& i) { return i["label"] == "pendenza"; });
  ASSERT_NE(gradient, keywords.end());
  EXPECT_EQ((*gradient)["insertText"], "pendenza, ${1:gradient position}, ${2:gradient}");
  const std::string station = read_file_bytes(dir.file(kTrain)).substr(0, 4000);
  size_t minutes = station.find("stazione,   31900");
  for (int comma = 0; comma < 15; ++comma) minutes = station.find(',', minutes) + 1;
  const size_t column = minutes - station.rfind('\n', minutes) - 1;
  const json fields = ask("textDocument/completion", train_uri, 20, column);
  ASSERT_EQ(fields.size(), 1u);
  EXPECT_EQ(fields[0]["label"], "station minutes");
  EXPECT_EQ(fields[0]["insertText"],
            " ${1:station minutes}, ${2:station seconds}, ${3:station name}");
  // The outline: in order of position, each with its kilometre.
  s.take({Session::request(++id, "textDocument/documentSymbol",
                           {{"textDocument", {{"uri", train_uri}}}})});
  const json symbols = (*s.answer(id))["result"];
  ASSERT_GE(symbols.size(), 3u);
  EXPECT_EQ(symbols[0]["name"], "station VITERBO P. F.");
  EXPECT_EQ(symbols[0]["detail"], "0 m (km 39+150)");
  EXPECT_EQ(symbols[1]["name"], "slowdown 50 km/h");
  s.take({Session::request(++id, "textDocument/foldingRange",
                           {{"textDocument", {{"uri", train_uri}}}})});
  EXPECT_EQ((*s.answer(id))["result"][0], json({{"startLine", 0}, {"endLine", 4}}));
  // From the signal refused for the signboard's cell to the signboard's row.
  const json places = ask("textDocument/definition", train_uri, 27, 3);
  ASSERT_EQ(places.size(), 1u);
  EXPECT_EQ(places[0]["uri"], line_uri);
  EXPECT_EQ(
      places[0]["range"]["start"]["line"],
      std::count(line.begin(), line.begin() + long(line.find("cartello_indicatore, 10000")), '\n'));
}

// Hover names the value the compiler reads under the position, from the compiler's own walk:
// numbers that blanks alone separate, a quoted text with a comma, a row that goes on over a line
// end.
TEST(LspFeatures, HoverNamesTheValueTheCompilerReadsThere) {
  TempDir dir;
  const std::string line =
      "[generale]\r\nlunghezza percorso, 20000\r\n[curve]\r\n"
      "cartello_indicatore, 4000, \"(a, b)\"\r\npendenza, 500\r\n   3\r\n[fine]\r\n";
  const std::string train =
      "[generale]\r\norologio, 13 10 45\r\nvelocita, 0, 80\r\n"
      "stazione, 1000, 3, 200, 0,0,0,0,0,0,0,0,0,0, 9 30 0, Alfa\r\n[fine]\r\n";
  write_file_bytes(dir.file(kLine), line);
  write_file_bytes(dir.file(kTrain), train);
  const std::string line_uri = uri_from_path(dir.file(kLine));
  const std::string train_uri = uri_from_path(dir.file(kTrain));
  Session s;
  s.initialize();
  s.take({Session::notice("textDocument/didOpen", open_params(line_uri, line)),
          Session::notice("textDocument/didOpen", open_params(train_uri, train))});
  s.wait(std::chrono::milliseconds(200));
  const struct {
    const char* name;
    std::string uri;
    size_t line, character;
    const char* value;  // the value named in bold
  } cases[] = {
      {"the minutes of a clock separated by blanks", train_uri, 1, 13, "**clock minutes**"},
      {"a station's name after times separated by blanks", train_uri, 3, 54, "**station name**"},
      {"the seconds of a station separated by blanks", train_uri, 3, 50, "**station seconds**"},
      {"a quoted signboard text holding a comma", line_uri, 3, 33, "**signboard text**"},
      {"a gradient on the line after its row's start", line_uri, 5, 3, "**gradient**"},
  };
  int id = 100;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    s.take({Session::request(
        ++id, "textDocument/hover",
        {{"textDocument", {{"uri", c.uri}}}, {"position", position(c.line, c.character)}})});
    const json& result = (*s.answer(id))["result"];
    ASSERT_TRUE(result.is_object()) << result;
    const std::string shown = result["contents"]["value"];
    EXPECT_NE(shown.find(c.value), std::string::npos) << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '*'), 8) << shown;  // the keyword, the value
  }
}
