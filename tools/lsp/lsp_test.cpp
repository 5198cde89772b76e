// The language server driven with JSON-RPC exchanges: in this process for the protocol's cases
// (errors, cancel, shutdown, a document closed while its check waits) and the diagnostics of a
// scenario's two sources, and as the program through its standard input and output.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "common/windows_1252.h"
#include "test_support/temp_dir.h"
#include "tools/language/translation.h"
#include "tools/lsp/lsp_server.h"
#include "tools/lsp/lsp_text.h"
#include "tools/recover/source_layout.h"
#include "tools/testing/tool_fixture.h"

using nlohmann::json;

namespace {

using Clock = LspServer::Clock;

const char kLine[] = "Viterbo_Attigliano_linea.txt";
const char kTrain[] = "Viterbo_Attigliano_7545-.txt";

// A server and what it sent, message by message. Memory runs out, once, when the server is
// about to send a message that `fails` picks.
struct Session {
  std::vector<json> sent;
  std::function<bool(const json&)> fails;
  LspServer server{[this](const std::string& body) {
                     json message = json::parse(body);
                     if (fails && fails(message)) {
                       fails = nullptr;
                       throw std::bad_alloc();
                     }
                     sent.push_back(std::move(message));
                   },
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

// `inner` inside `depth` arrays.
std::string nested(size_t depth, const std::string& inner = "1") {
  return std::string(depth, '[') + inner + std::string(depth, ']');
}

json range_edit(size_t line, size_t character, size_t end_line, size_t end_character,
                const std::string& text) {
  return {
      {"range", {{"start", position(line, character)}, {"end", position(end_line, end_character)}}},
      {"text", text}};
}

json change_params(const std::string& uri, const json& changes, int version = 2) {
  return {{"textDocument", {{"uri", uri}, {"version", version}}}, {"contentChanges", changes}};
}

}  // namespace

TEST(LspProtocol, EachFaultGetsItsErrorAndTheServerGoesOn) {
  struct Case {
    const char* name;
    bool initialize;
    std::vector<std::string> bodies;  // sent together
    json id;                          // of the answer looked for
    int code;                         // its error's code
    size_t errors = 1;                // the errors answered
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
      // Nested past what the JSON library can copy and print on a stack: refused unread.
      {"a cancelled id 100,000 arrays deep",
       true,
       {R"({"jsonrpc":"2.0","method":"$/cancelRequest","params":{"id":)" + nested(100000) + "}}"},
       nullptr,
       -32700},
      {"parameters 200,000 deep",
       true,
       {R"({"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":)" + nested(200000) +
        "}"},
       nullptr,
       -32700},
      {"an object 257 deep",
       true,
       {R"({"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":)" +
        nested(255, R"({"a":"]]"})") + "}"},
       nullptr,
       -32700},
      // At the limit, with brackets and an escaped quote in a string, it is read.
      {"an object 256 deep",
       true,
       {R"({"jsonrpc":"2.0","id":3,"method":"textDocument/hover","params":)" +
        nested(254, R"({"a":"[[\"[["})") + "}"},
       3,
       -32602},
      {"ids that are neither integers nor strings",
       true,
       {Session::request(json::array({3}), "textDocument/hover").dump(),
        Session::request({{"id", 3}}, "textDocument/hover").dump(),
        Session::request(true, "textDocument/hover").dump(),
        Session::request(3.5, "textDocument/hover").dump(),
        Session::request(nullptr, "textDocument/hover").dump()},
       nullptr,
       -32600,
       5},
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
    EXPECT_EQ(std::count_if(s.sent.begin(), s.sent.end(),
                            [&](const json& m) { return m.contains("error"); }),
              long(c.errors));
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

TEST(LspText, TheEditsOfAChangeApplyEachToTheTextTheOnesBeforeLeft) {
  // Against a change's edits applied one at a time, each position found in a text made anew:
  // random edits on small texts of every kind of line end and of characters of one to four
  // bytes, positions past lines and past the text, ends before starts, whole texts between.
  const std::string pieces[] = {"a", "b", "\r\n", "\n", "\r", "\xC3\xA8", "\xF0\x9F\x98\x80", "["};
  std::mt19937 random(35);
  const auto text_of = [&](size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i) text += pieces[random() % 8];
    return text;
  };
  for (const PositionUnits units :
       {PositionUnits::kUtf16, PositionUnits::kUtf8, PositionUnits::kUtf32}) {
    for (int trial = 0; trial < 1500; ++trial) {
      // Every tenth text long enough to be held in several pieces.
      const size_t length = trial % 10 == 0 ? 300 + random() % 300 : random() % 12;
      std::string expected = text_of(length);
      EditedText edited(expected, units);
      const int edits = 1 + int(random() % 12);
      for (int e = 0; e < edits; ++e) {
        const std::string text = text_of(random() % 4);
        if (random() % 16 == 0) {
          expected = text;
          edited.replace_all(text);
          continue;
        }
        const auto place = [&] {
          return TextPosition{random() % (length / 2 + 5),
                              random() % 9 == 0 ? size_t(-1) : random() % 7};
        };
        const TextPosition from = place(), to = place();
        const SourceText before = SourceText::from_utf8(expected);
        const size_t start = before.utf8_at(from, units);
        const size_t end = std::max(start, before.utf8_at(to, units));
        expected.replace(start, end - start, text);
        edited.replace(from, to, text);
      }
      ASSERT_EQ(edited.text(), expected) << "trial " << trial;
    }
  }
}

TEST(LspProtocol, TheEditsOfOneChangeTakeTimeInProportionToThem) {
  // A "replace all" of 5,000 edits, sent last to first as editors send them, on a source of
  // 360 KB, against 1,250 on one of 90 KB: applied in one pass, four times the work takes about
  // four times as long, where an edit at a time took sixteen. The text comes out as the edits
  // made it: the sections the inserted headings begin are folded alike in a document opened
  // with that text.
  const auto run = [](size_t rows, bool compare) {
    const std::string row = "pendenza, 500, 3\r\nvelocita, 500, 80, curva, 12345678\r\n";
    std::string text, expected;
    for (size_t r = 0; r < rows; ++r) {
      text += row;
      expected += "pendenza, 500, 3\r\n[velocit\xC3\xA0]\r\n, 500, 80, curva, 12345678\r\n";
    }
    // Written out, as the JSON library is slow at so many values in the sanitizers' build.
    const std::string uri = "file:///nowhere/notes.txt";
    std::string change = R"({"jsonrpc":"2.0","method":"textDocument/didChange","params":{)"
                         R"("textDocument":{"uri":")" +
                         uri + R"(","version":2},"contentChanges":[)";
    for (size_t r = rows; r-- > 0;) {
      const std::string line = std::to_string(2 * r + 1);
      change += R"({"range":{"start":{"line":)" + line + R"(,"character":0},"end":{"line":)" +
                line + R"(,"character":8}},"text":"[velocit\u00e0]\r\n"})" + (r > 0 ? "," : "]}}");
    }
    Session s;
    s.initialize();
    s.take({Session::notice("textDocument/didOpen", open_params(uri, text))});
    const auto start = Clock::now();
    s.server.receive(std::vector<std::string>{change}, s.now);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!compare) return seconds;
    const json fold =
        Session::request(9, "textDocument/foldingRange", {{"textDocument", {{"uri", uri}}}});
    s.take({fold});
    Session fresh;
    fresh.initialize();
    fresh.take({Session::notice("textDocument/didOpen", open_params(uri, expected)), fold});
    EXPECT_EQ((*s.answer(9))["result"].size(), rows);
    EXPECT_EQ((*s.answer(9))["result"], (*fresh.answer(9))["result"]);
    return seconds;
  };
  double small = 1e9, large = 1e9;
  for (int i = 0; i < 3; ++i) {
    small = std::min(small, run(1250, false));
    large = std::min(large, run(5000, i == 0));
  }
  EXPECT_LT(large, 8 * small + 0.05) << small << " s against " << large << " s";
}

TEST(LspProtocol, QueuedChangesKeepEachDocumentsNewestWholeText) {
  // Messages queued while the server is busy, each named by its document and version: a change
  // that sets a document's whole text drops that document's changes before it, and only those.
  const std::string a = "file:///x/a_linea.txt", b = "file:///x/b_linea.txt";
  const auto whole = [](const std::string& uri, int version) {
    return Session::notice("textDocument/didChange",
                           change_params(uri, {{{"text", std::string(1000, 'w')}}}, version));
  };
  const auto ranged = [](const std::string& uri, int version) {
    return Session::notice("textDocument/didChange",
                           change_params(uri, {range_edit(0, 0, 0, 1, "r")}, version));
  };
  const json hover = Session::request(
      7, "textDocument/hover", {{"textDocument", {{"uri", a}}}, {"position", position(0, 0)}});
  json broken = whole(a, 9);  // a whole text, then an edit the server refuses: it changes nothing
  broken["params"]["contentChanges"].push_back({{"range", 5}, {"text", ""}});
  const struct {
    const char* name;
    std::vector<json> pushed;
    std::vector<int> taken;  // the versions, 0 for a request
  } cases[] = {
      {"whole texts of one document", {whole(a, 1), whole(a, 2), whole(a, 3)}, {3}},
      {"edits before a whole text",
       {ranged(a, 1), whole(a, 2), ranged(a, 3), ranged(a, 4)},
       {2, 3, 4}},
      {"a request between them", {whole(a, 1), hover, whole(a, 2)}, {0, 2}},
      {"another document's", {whole(a, 1), whole(b, 2), ranged(b, 3), whole(a, 4)}, {2, 3, 4}},
      {"a whole text the server would refuse", {whole(a, 1), broken}, {1, 9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MessageQueue queue;
    for (const json& m : c.pushed) queue.push(parsed_message(m.dump()));
    std::vector<int> taken;
    for (const IncomingMessage& m : queue.take()) {
      taken.push_back(
          m.json.contains("id") ? 0 : m.json["params"]["textDocument"]["version"].get<int>());
    }
    EXPECT_EQ(taken, c.taken);
    EXPECT_TRUE(queue.empty());
  }
  // However many pile up, what waits is one text of each document.
  MessageQueue queue;
  for (int version = 1; version <= 2000; ++version) {
    queue.push(parsed_message(whole(version % 2 ? a : b, version).dump()));
  }
  EXPECT_EQ(queue.size(), 2u);
  EXPECT_LT(queue.bytes(), 2 * 1200u);
}

TEST(LspProtocol, OutOfMemoryIsToldAndEveryPendingRequestAnswered) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string uri = uri_from_path(dir.file(kLine));
  const json hover = Session::request(
      8, "textDocument/hover", {{"textDocument", {{"uri", uri}}}, {"position", position(0, 0)}});
  const struct {
    const char* name;
    std::function<bool(const json&)> fails;
    std::vector<json> batch;
    std::vector<int> pending;  // the ids answered with an error
  } cases[] = {
      {"while answering a request",
       [](const json& m) { return m.value("id", json()) == 7; },
       {Session::request(7, "textDocument/foldingRange", {{"textDocument", {{"uri", uri}}}}),
        hover},
       {7, 8}},
      {"while checking a document just opened",
       [](const json& m) { return m.value("method", "") == "textDocument/publishDiagnostics"; },
       {Session::notice("textDocument/didOpen", open_params(uri, utf8_file(dir.file(kLine)))),
        hover},
       {8}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Session s;
    s.initialize();
    s.fails = c.fails;
    s.take(c.batch);
    EXPECT_TRUE(s.server.exited());
    EXPECT_EQ(s.server.exit_status(), 5);
    ASSERT_EQ(s.sent.size(), 2 + c.pending.size());  // initialize's answer, and the message
    EXPECT_EQ(s.sent[1]["method"], "window/showMessage");
    EXPECT_EQ(s.sent[1]["params"]["type"], 1);
    EXPECT_NE(s.sent[1]["params"]["message"].get<std::string>().find("out of memory"),
              std::string::npos);
    for (size_t i = 0; i < c.pending.size(); ++i) {
      EXPECT_EQ(s.sent[2 + i]["id"], c.pending[i]);
      EXPECT_EQ(s.sent[2 + i]["error"]["code"], -32603);
    }
  }
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

// AddressSanitizer reserves terabytes of address space, and cannot start under a limit on it.
#if defined(__SANITIZE_ADDRESS__)
#define ADDRESS_SPACE_LIMITS_WORK 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ADDRESS_SPACE_LIMITS_WORK 0
#endif
#endif
#ifndef ADDRESS_SPACE_LIMITS_WORK
#define ADDRESS_SPACE_LIMITS_WORK 1
#endif

TEST(LspProgram, OutOfMemoryIsToldThenExitsWithItsStatus) {
  if (!ADDRESS_SPACE_LIMITS_WORK) GTEST_SKIP() << "no address-space limit under the sanitizer";
  // A document of 24 MiB under a limit of 56 MiB on the address space: the server cannot hold
  // it twice.
  TempDir dir;
  std::string input =
      framed(Session::request(1, "initialize", {{"capabilities", json::object()}}).dump()) +
      framed(Session::notice("initialized", json::object()).dump());
  input += framed(R"({"jsonrpc":"2.0","method":"textDocument/didOpen","params":{"textDocument":)"
                  R"({"uri":"file:///x/notes.txt","version":1,"text":")" +
                  std::string(24 << 20, 'x') + "\"}}}");
  input += framed(Session::request(2, "shutdown").dump());
  write_file_bytes(dir.file("input"), input);
  input = std::string();
  const ProcessResult result = run_process(
      {"/bin/sh", "-c",
       "ulimit -v " + std::to_string(56 * 1024) + " && LANGUAGE= LC_ALL= LC_MESSAGES= LANG= exec " +
           std::string(SCENARIO_TOOL_PATH) + " lsp < " + dir.file("input")});
  ASSERT_TRUE(result.exited) << "ended by signal " << result.signal;
  EXPECT_EQ(result.exit_status, 5) << result.err;
  EXPECT_NE(
      result.out.find(
          R"("method":"window/showMessage","params":{"message":"scenario-tool ran out of memory)"),
      std::string::npos)
      << result.out.substr(0, 2000);
  EXPECT_EQ(result.err, "scenario-tool lsp: out of memory; stopping\n");
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

// Help while typing, on a short scenario with a kilometre post: the row's values as a signature
// with the one under the position active, inlay hints (kilometres, radii, the names of a long
// row's values) each switched by a setting, completion of headers and keywords with their
// documentation, and hover's radius and station fields.
TEST(LspFeatures, SignatureHelpInlayHintsCompletionAndHoverHelpWhileTyping) {
  TempDir dir;
  const std::string line =
      "[generale]\r\nlunghezza percorso, 20000\r\nprogressiva chilometrica uno, 0, 39050, 1\r\n"
      "[curve]\r\ncurvad4, 500, 300\r\ncurvas6, 1000, 200\r\npendenza, 500, 3\r\n[fine]\r\n";
  const std::string train =
      "[generale]\r\norologio, 13 10 45\r\nvelocita, 0, 80\r\n"
      "stazione, 1000, 3, 200, 0,0,1,0,0,0,0,0,0,0, 9 30 0, Alfa\r\n"
      "velocita, 500, 90\r\n[fine]\r\n";
  write_file_bytes(dir.file(kLine), line);
  write_file_bytes(dir.file(kTrain), train);
  const std::string line_uri = uri_from_path(dir.file(kLine));
  const std::string train_uri = uri_from_path(dir.file(kTrain));
  Session s;
  s.take(
      {Session::request(1, "initialize",
                        {{"capabilities", json::object()},
                         {"initializationOptions", {{"inlayHints", {{"fieldNames", false}}}}}})});
  const json capabilities = (*s.answer(1))["result"]["capabilities"];
  EXPECT_EQ(capabilities["signatureHelpProvider"]["triggerCharacters"], json({","}));
  EXPECT_EQ(capabilities["inlayHintProvider"], true);
  s.take({Session::notice("initialized", json::object()),
          Session::notice("textDocument/didOpen", open_params(line_uri, line)),
          Session::notice("textDocument/didOpen", open_params(train_uri, train))});
  s.wait(std::chrono::milliseconds(200));
  int id = 100;
  const auto ask = [&](const std::string& method, const std::string& uri, json params) {
    params["textDocument"] = {{"uri", uri}};
    s.take({Session::request(++id, method, params)});
    return (*s.answer(id))["result"];
  };

  const struct {
    const char* name;
    std::string uri;
    size_t line, character;
    const char* active;  // the value named active; null: no signature
  } signatures[] = {
      {"inside a station's length", train_uri, 3, 20, "station length"},
      {"after the comma that ends the position", train_uri, 3, 15, "station kind"},
      {"the station's sixth field", train_uri, 3, 28, "station field 6"},
      {"between a position's comma and the speed", train_uri, 4, 14, "speed limit"},
      {"a gradient, whose name the position's holds", line_uri, 6, 15, "gradient"},
      {"on a keyword", line_uri, 6, 3, nullptr},
      {"past the last value of a row", line_uri, 7, 3, nullptr},
  };
  for (const auto& c : signatures) {
    SCOPED_TRACE(c.name);
    const json help =
        ask("textDocument/signatureHelp", c.uri, {{"position", position(c.line, c.character)}});
    if (c.active == nullptr) {
      EXPECT_TRUE(help.is_null()) << help;
      continue;
    }
    ASSERT_TRUE(help.is_object()) << help;
    const json& signature = help["signatures"][0];
    const std::string label = signature["label"];
    const json& parameter = signature["parameters"][help["activeParameter"].get<size_t>()];
    const size_t from = parameter["label"][0], to = parameter["label"][1];
    EXPECT_EQ(label.substr(from, to - from), c.active) << label;
  }
  const json station =
      ask("textDocument/signatureHelp", train_uri, {{"position", position(3, 28)}});
  EXPECT_EQ(station["signatures"][0]["parameters"].size(), 17u);
  EXPECT_NE(station["signatures"][0]["parameters"][5]["documentation"].get<std::string>().find(
                "50 m further"),
            std::string::npos);

  // The hints of a range: by the settings given at initialize, then as changed.
  const auto hints = [&](const std::string& uri, size_t from_line, size_t to_line) {
    std::vector<std::string> shown;
    for (const json& h :
         ask("textDocument/inlayHint", uri,
             {{"range", {{"start", position(from_line, 0)}, {"end", position(to_line, 0)}}}})) {
      shown.push_back(std::to_string(h["position"]["line"].get<int>()) + ":" +
                      std::to_string(h["position"]["character"].get<int>()) + " " +
                      h["label"].get<std::string>());
    }
    return shown;
  };
  using Hints = std::vector<std::string>;
  EXPECT_EQ(hints(line_uri, 4, 7),
            Hints({"4:7 radius 1000 m to the right", "4:12 km 38+650",
                   "5:7 radius 333 m to the left", "5:13 km 38+150", "6:13 km 38+650"}));
  EXPECT_EQ(hints(line_uri, 5, 6), Hints({"5:7 radius 333 m to the left", "5:13 km 38+150"}));
  EXPECT_EQ(hints(train_uri, 3, 4), Hints({"3:14 km 38+150"}));
  // Changed as Visual Studio Code sends them, under the extension's section.
  s.take({Session::notice(
      "workspace/didChangeConfiguration",
      {{"settings",
        {{"scenarioSources", {{"inlayHints", {{"fieldNames", true}, {"kilometres", false}}}}}}}})});
  const Hints named = hints(train_uri, 3, 4);
  ASSERT_EQ(named.size(), 17u);
  EXPECT_EQ(named[0], "3:10 position:");
  EXPECT_EQ(named[1], "3:16 kind:");
  EXPECT_EQ(named[5], "3:28 field 6:");
  EXPECT_EQ(named[16], "3:53 name:");
  EXPECT_EQ(hints(line_uri, 6, 7), Hints());

  // Completion where a line begins: the keywords, the section's own first, and the headers.
  const json items = ask("textDocument/completion", line_uri, {{"position", position(5, 0)}});
  const auto item = [&items](const std::string& label) {
    const auto found = std::find_if(items.begin(), items.end(),
                                    [&](const json& i) { return i["label"] == label; });
    return found == items.end() ? json() : *found;
  };
  EXPECT_EQ(item("curvad4")["sortText"], "0 curvad4");
  EXPECT_EQ(item("pendenza")["sortText"], "1 pendenza");
  EXPECT_NE(
      item("pendenza")["documentation"]["value"].get<std::string>().find("A gradient (pendenza)"),
      std::string::npos);
  EXPECT_EQ(item("[montagne]")["textEdit"]["newText"], "[montagne]");
  EXPECT_TRUE(item("[stazioni]").is_null());  // the train source's
  // A '[' typed is replaced with the header.
  std::string typed = line;
  typed.insert(typed.find("[fine]"), "[mo");
  s.take({Session::notice("textDocument/didChange",
                          change_params(line_uri, json::array({{{"text", typed}}})))});
  const json headers = ask("textDocument/completion", line_uri, {{"position", position(7, 3)}});
  const auto mountains = std::find_if(headers.begin(), headers.end(),
                                      [](const json& i) { return i["label"] == "[montagne]"; });
  ASSERT_NE(mountains, headers.end());
  EXPECT_EQ((*mountains)["textEdit"]["range"]["start"], position(7, 0));

  // Hover: a curve's radius, by its keyword and as compiled; what a station's field does.
  const struct {
    const char* name;
    std::string uri;
    size_t line, character;
    std::vector<std::string> shown;
  } hovers[] = {
      {"a curve",
       line_uri,
       4,
       2,
       {"radius 1000 m to the right (curvature digit 4)",
        "radius 1000 m to the right (curvature 10/10000 per metre)"}},
      {"a station's field 6",
       train_uri,
       3,
       28,
       {"station field 6: entry field flag\\_d", "the station's end lies 50 m further"}},
      {"a station's field 7",
       train_uri,
       3,
       30,
       {"station field 7: entry field value\\_1", "only the simulator reads it"}},
  };
  s.take({Session::notice("textDocument/didChange",
                          change_params(line_uri, json::array({{{"text", line}}}), 3))});
  s.wait(std::chrono::milliseconds(200));
  for (const auto& h : hovers) {
    SCOPED_TRACE(h.name);
    const std::string shown =
        ask("textDocument/hover", h.uri,
            {{"position", position(h.line, h.character)}})["contents"]["value"];
    for (const std::string& part : h.shown) EXPECT_NE(shown.find(part), std::string::npos) << shown;
  }
}

TEST(LspFeatures, FormattingLaysTheDocumentOutAsFormatDoes) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string uri = uri_from_path(dir.file(kLine));
  // A signboard with a letter Windows-1252 holds, and one with a character it does not: that
  // line is left as it is, not laid out with a '?' in its place.
  std::string line = utf8_file(dir.file(kLine));
  line.replace(line.find("(Cippo Km.)"), 11, "(CITT\xC3\x80)");
  line.insert(line.find("cartello_indicatore"), "cartello_indicatore,  2200,   a \xE2\x86\x92\r\n");
  Session s;
  s.initialize();
  EXPECT_EQ((*s.answer(1))["result"]["capabilities"]["documentFormattingProvider"], true);
  s.take({Session::notice("textDocument/didOpen", open_params(uri, line))});
  s.take({Session::request(
      7, "textDocument/formatting",
      {{"textDocument", {{"uri", uri}}}, {"options", {{"tabSize", 4}, {"insertSpaces", true}}}})});
  const json edits = (*s.answer(7))["result"];
  ASSERT_TRUE(edits.is_array());
  EXPECT_GT(edits.size(), 10u);
  // Each edit replaces one line whole, up to its end in UTF-16 units.
  std::vector<std::string> lines;
  for (size_t at = 0; at < line.size();) {
    const size_t end = line.find("\r\n", at);
    lines.push_back(line.substr(at, end - at));
    at = end + 2;
  }
  for (const json& edit : edits) {
    const size_t l = edit["range"]["start"]["line"];
    ASSERT_LT(l, lines.size());
    size_t units = 0;
    for (const char c : lines[l]) units += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    EXPECT_EQ(edit["range"]["start"], position(l, 0));
    EXPECT_EQ(edit["range"]["end"], position(l, units));
    lines[l] = edit["newText"];
  }
  std::string edited;
  for (const std::string& l : lines) edited += l + "\r\n";
  // What format writes, but for the line it cannot write without losing a character.
  std::string expected = utf8_from_windows_1252(format_sources({"Viterbo_Attigliano", "7545"},
                                                               windows_1252_in_place(line),
                                                               read_file_bytes(dir.file(kTrain)))
                                                    .line.text);
  const size_t kept = expected.find("cartello_indicatore,");
  expected.replace(kept, expected.find("\r\n", kept) - kept,
                   "cartello_indicatore,  2200,   a \xE2\x86\x92");
  EXPECT_EQ(edited, expected);
  EXPECT_NE(edited.find("(CITT\xC3\x80)"), std::string::npos);
}

// The language of every text the server makes is the client's locale in initialize, unless the
// command line chose one (--lang); without a locale, the environment's, as the program set it at
// start. A locale that is no string, or is empty, counts as none. Diagnostics and fixes are the
// analysis's own, in the same language as check gives them.
TEST(LspLanguage, TheClientsLocaleChoosesTheLanguageUnlessTheCommandLineDid) {
  // The language is the process's: English again for the tests after this one.
  struct Restore {
    ~Restore() {
      set_language(Language::kEnglish);
      set_language_chosen(false);
    }
  } restore;
  TempDir dir;
  // A curve, and a gradient whose comma after the keyword became a blank: a fix.
  const std::string line =
      "[generale]\r\nlunghezza percorso, 20000\r\nprogressiva chilometrica uno, 0, 39050, 1\r\n"
      "[curve]\r\ncurvad4, 500, 300\r\ncurvas6, 1000, 200\r\npendenza  500, 3\r\n[fine]\r\n";
  const std::string train =
      "[generale]\r\norologio, 13 10 45\r\nvelocita, 0, 80\r\n"
      "stazione, 1000, 3, 200, 0,0,1,0,0,0,0,0,0,0, 9 30 0, Alfa\r\n[fine]\r\n";
  write_file_bytes(dir.file(kLine), line);
  write_file_bytes(dir.file(kTrain), train);
  const std::string uri = uri_from_path(dir.file(kLine));
  // What check says of the gradient in each language: its message and its fix.
  json checked[2];
  for (const Language language : {Language::kEnglish, Language::kItalian}) {
    const ProcessResult result =
        run_tool({language == Language::kItalian ? "--lang=it" : "--lang=en", "check", dir.path(),
                  "--format=json"});
    const json document = json::parse(result.out);
    for (const json& d : document["diagnostics"]) {
      if (d["rule"] == "error-25") checked[int(language)] = d;
    }
    ASSERT_TRUE(checked[int(language)].is_object()) << result.out;
  }
  // The texts of the server's own, in each language.
  const struct {
    const char* hover;       // on the first curve's keyword
    const char* completion;  // the start of the documentation of 'pendenza'
    const char* hint;        // the first curve's radius
    const char* unread;      // the answer to a message that is not JSON
    const char* unknown;     // the answer to a request of no method the server has
  } said[2] = {{"radius 1000 m to the right (curvature digit 4)", "A gradient (pendenza)",
                "radius 1000 m to the right", "not JSON", "no method x/y"},
               {"raggio 1000 m a destra (cifra di curvatura 4)", "Una pendenza ('pendenza')",
                "raggio 1000 m a destra", "non è JSON", "metodo x/y inesistente"}};
  const Language en = Language::kEnglish, it = Language::kItalian;
  const struct {
    const char* name;
    json locale;           // discarded: none sent
    Language environment;  // the language at start, by the environment or --lang
    bool by_option;        // --lang chose it
    Language expected;
  } cases[] = {
      {"it-IT", "it-IT", en, false, it},
      {"it", "it", en, false, it},
      {"a POSIX name in capitals", "IT_it.UTF-8", en, false, it},
      {"en-US over an Italian environment", "en-US", it, false, en},
      {"none: the environment's Italian", json::value_t::discarded, it, false, it},
      {"none: the environment's English", json::value_t::discarded, en, false, en},
      {"--lang=en over it", "it", en, true, en},
      {"--lang=it over en-US", "en-US", it, true, it},
      {"a number", 39, it, false, it},
      {"an object", {{"it", "IT"}}, it, false, it},
      {"empty", "", it, false, it},
      {"a megabyte beginning with it", "it" + std::string(1 << 20, 'x'), it, false, en},
      {"control characters and accents", "\x01\xC3\xA0-it", it, false, en},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    set_language(c.environment);
    set_language_chosen(c.by_option);
    Session s;
    json params = {{"capabilities", json::object()}};
    if (!c.locale.is_discarded()) params["locale"] = c.locale;
    s.take({Session::request(1, "initialize", params),
            Session::notice("initialized", json::object()),
            Session::notice("textDocument/didOpen", open_params(uri, line))});
    s.wait(std::chrono::milliseconds(0));
    EXPECT_EQ(current_language(), c.expected);
    const int l = int(c.expected);
    int id = 100;
    const auto ask = [&](const std::string& method, json asked) {
      asked["textDocument"] = {{"uri", uri}};
      s.take({Session::request(++id, method, asked)});
      return (*s.answer(id))["result"];
    };
    const std::string hover =
        ask("textDocument/hover", {{"position", position(4, 2)}})["contents"]["value"];
    EXPECT_NE(hover.find(said[l].hover), std::string::npos) << hover;
    const json items = ask("textDocument/completion", {{"position", position(5, 0)}});
    const auto gradient = std::find_if(items.begin(), items.end(),
                                       [](const json& i) { return i["label"] == "pendenza"; });
    ASSERT_NE(gradient, items.end());
    EXPECT_EQ((*gradient)["documentation"]["value"].get<std::string>().rfind(said[l].completion, 0),
              0u)
        << (*gradient)["documentation"];
    const json hints = ask("textDocument/inlayHint",
                           {{"range", {{"start", position(4, 0)}, {"end", position(5, 0)}}}});
    ASSERT_FALSE(hints.empty());
    EXPECT_EQ(hints[0]["label"], said[l].hint);
    const json diagnostics = s.diagnostics(uri);
    const auto broken = std::find_if(diagnostics.begin(), diagnostics.end(),
                                     [](const json& d) { return d["code"] == "error-25"; });
    ASSERT_NE(broken, diagnostics.end()) << diagnostics;
    EXPECT_EQ((*broken)["message"], checked[l]["message"]);
    const json actions =
        ask("textDocument/codeAction",
            {{"range", (*broken)["range"]}, {"context", {{"diagnostics", {*broken}}}}});
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0]["title"], checked[l]["fix"]["description"]);
    // Errors answered: the codes are the protocol's, their messages the language's.
    s.server.receive(std::vector<std::string>{"{", Session::request(9, "x/y").dump()}, s.now);
    const json* unread = s.answer(nullptr);
    ASSERT_NE(unread, nullptr);
    EXPECT_EQ((*unread)["error"], json({{"code", -32700}, {"message", said[l].unread}}));
    EXPECT_EQ((*s.answer(9))["error"], json({{"code", -32601}, {"message", said[l].unknown}}));
  }
}

// The program: the language of the environment when the editor sends no locale, and --lang over
// the locale the editor sends.
TEST(LspProgram, TheEnvironmentSpeaksWithoutALocaleAndLangOverOne) {
  TempDir dir;
  const std::string line =
      "[generale]\r\nlunghezza percorso, 20000\r\n[curve]\r\ncurvas6, 500, 300\r\n[fine]\r\n";
  write_file_bytes(dir.file(kLine), line);
  const std::string uri = uri_from_path(dir.file(kLine));
  const struct {
    const char* environment;  // LANG
    const char* option;       // before the command
    json locale;              // discarded: none sent
    const char* hover;
  } cases[] = {
      {"it_IT.UTF-8", "", json::value_t::discarded, "raggio 333 m a sinistra"},
      {"C", "", json::value_t::discarded, "radius 333 m to the left"},
      {"C", "--lang=it", "en-US", "raggio 333 m a sinistra"},
      {"it_IT.UTF-8", "--lang=en", "it-IT", "radius 333 m to the left"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.environment) + " " + c.option);
    json params = {{"capabilities", json::object()}};
    if (!c.locale.is_discarded()) params["locale"] = c.locale;
    const json messages[] = {
        Session::request(1, "initialize", params),
        Session::notice("initialized", json::object()),
        Session::notice("textDocument/didOpen", open_params(uri, line)),
        Session::request(2, "textDocument/hover",
                         {{"textDocument", {{"uri", uri}}}, {"position", position(3, 2)}}),
        Session::request(3, "shutdown"),
        Session::notice("exit", json::object())};
    std::string input;
    for (const json& m : messages) input += framed(m.dump());
    write_file_bytes(dir.file("input"), input);
    const ProcessResult result =
        run_process({"/bin/sh", "-c",
                     std::string("LANGUAGE= LC_ALL= LC_MESSAGES= LANG=") + c.environment + " " +
                         SCENARIO_TOOL_PATH + " " + c.option + " lsp < " + dir.file("input")});
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exit_status, 0) << result.err;
    EXPECT_NE(result.out.find(c.hover), std::string::npos) << result.out;
  }
}
