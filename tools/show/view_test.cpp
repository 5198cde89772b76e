// The route view in a real browser: headless Chromium opens the page that 'scenario-tool view'
// made and runs the page's own self-test (#selftest): it counts the marks of each kind, hovers
// over the first signal and zooms, and writes what it found into the page, which Chromium then
// prints. In CI the browser must be there; elsewhere a missing one skips these tests.
#include "tools/show/view.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>

#include "bench/maximal_scenario.h"
#include "common/scenario_identity.h"
#include "sources/line_source.h"
#include "sources/train_source.h"
#include "test_support/process.h"
#include "test_support/temp_dir.h"
#include "tools/show/view_page.h"
#include "tools/testing/tool_fixture.h"

namespace {

// The lines of the page's self-test report, as Chromium printed the page after running it.
std::string self_test_report(const std::string& dom) {
  const size_t open = dom.find("<pre id=\"selftest\">");
  if (open == std::string::npos) return "";
  const size_t from = open + 19;
  return dom.substr(from, dom.find("</pre>", from) - from);
}

class ViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    browser_ = program_on_path({"chromium", "chromium-browser"});
    if (browser_.empty()) {
      const char* ci = std::getenv("CI");
      if (ci != nullptr && std::string(ci) == "true") FAIL() << "no chromium in CI";
      GTEST_SKIP() << "no browser (Debian package chromium): the page is not tested";
    }
  }

  // Chromium's run of `url`, with the extra `flags`: what it printed.
  std::string browse(const std::string& url, const std::vector<std::string>& flags) {
    std::vector<std::string> argv = {browser_,
                                     "--headless",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--user-data-dir=" + profile_.path(),
                                     "--window-size=1400,1300",
                                     "--hide-scrollbars",
                                     "--virtual-time-budget=20000"};
    argv.insert(argv.end(), flags.begin(), flags.end());
    argv.push_back(url);
    ChildProcess chromium(argv, {});
    ProcessResult result;
    if (!chromium.wait(120000, &result)) {
      ADD_FAILURE() << "the browser did not finish";
      return "";
    }
    return result.out;
  }

  // Makes the page of the sources in `dir`, opens it with its self-test and saves a screenshot.
  std::string page_report(const TempDir& dir, const std::vector<std::string>& options,
                          const std::string& screenshot) {
    std::vector<std::string> args = {"view", dir.path(), "-o", dir.file("view.html")};
    args.insert(args.end(), options.begin(), options.end());
    const ProcessResult made = run_tool(args);
    EXPECT_EQ(made.exit_status, 0) << made.out << made.err;
    const std::string url = "file://" + dir.file("view.html");
    std::filesystem::create_directories(SCREENSHOT_DIR);
    browse(url, {"--screenshot=" + std::string(SCREENSHOT_DIR) + "/" + screenshot});
    return self_test_report(browse(url + "#selftest", {"--dump-dom"}));
  }

  std::string browser_;
  TempDir profile_;
};

}  // namespace

TEST_F(ViewTest, ShippedScenarioShowsEveryStationTunnelAndSignalWithItsSourceLine) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string report = page_report(dir, {}, "view_shipped.png");
  EXPECT_NE(report.find("count station 6 of 6"), std::string::npos) << report;
  EXPECT_NE(report.find("count tunnel 5 of 5"), std::string::npos) << report;
  EXPECT_NE(report.find("count signal 8 of 8"), std::string::npos) << report;
  // The first signal of the train source is its line 28.
  EXPECT_NE(report.find("hover-signal Viterbo_Attigliano_7545-.txt:28"), std::string::npos)
      << report;
  // The timetable marks the one row check warns of: Sipicciano, earlier than the row before.
  EXPECT_NE(report.find("timetable-marked Sipicciano (earlier than the station before)\n"),
            std::string::npos)
      << report;
  // A zoom narrows the chainage shown, both panels following.
  std::smatch zoom;
  ASSERT_TRUE(std::regex_search(report, zoom, std::regex("zoom (\\d+)-(\\d+) -&gt; (\\d+)-(\\d+)")))
      << report;
  EXPECT_LT(std::stol(zoom[4]) - std::stol(zoom[3]), std::stol(zoom[2]) - std::stol(zoom[1]));

  // The stations by name and the timetable, in the page as it is.
  const std::string page = read_file_bytes(dir.file("view.html"));
  for (const char* name : {"VITERBO P. F.", "Montefiascone", "Grotte S. Stefano",
                           "Sipicciano S. Nicola", "Sipicciano", "ATTIGLIANO"}) {
    EXPECT_NE(page.find(std::string("\"name\":\"") + name + "\""), std::string::npos) << name;
  }
}

TEST_F(ViewTest, TheLongestRouteStaysWhole) {
  TempDir dir;
  const ScenarioSources maximal = maximal_scenario(1);
  write_file_bytes(dir.file("Massimo_linea.txt"), maximal.line_source);
  write_file_bytes(dir.file("Massimo_1-.txt"), maximal.train_source);
  const std::string report =
      page_report(dir, {"--line", "Massimo", "--train", "1"}, "view_maximal.png");
  for (const char* kind : {"station", "tunnel", "signal"}) {
    std::smatch count;
    ASSERT_TRUE(std::regex_search(report, count,
                                  std::regex(std::string("count ") + kind + " (\\d+) of (\\d+)")))
        << report;
    EXPECT_EQ(count[1], count[2]) << kind;
    EXPECT_GT(std::stol(count[2]), 30) << kind;
  }
  std::smatch paint;
  ASSERT_TRUE(std::regex_search(report, paint, std::regex("first-paint-ms ([0-9.]+)")));
  std::printf("first paint of the longest route's page: %s ms\n", paint[1].str().c_str());
}

TEST(ViewPageTest, SelfContainedAndRefusingBadRanges) {
  TempDir dir;
  write_shipped_sources(dir);
  const ProcessResult made =
      run_tool({"view", dir.path(), "-o", dir.file("v.html"), "--from", "37+000", "--to", "30"});
  ASSERT_EQ(made.exit_status, 0) << made.err;
  const std::string page = read_file_bytes(dir.file("v.html"));
  // Nothing fetched: no link, no source address, no address but the SVG namespace.
  EXPECT_EQ(page.find("<link"), std::string::npos);
  EXPECT_EQ(page.find("https://"), std::string::npos);
  EXPECT_EQ(std::regex_replace(page, std::regex("http://www.w3.org/2000/svg"), "").find("http"),
            std::string::npos);
  // km 37+000 and km 30 of a chainage that falls from 39+150 at the start.
  EXPECT_NE(page.find("\"range\":[2150,9150]"), std::string::npos);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"view", dir.path()},
        {"view", dir.path(), "-o", dir.file("w.html"), "--from", "x"},
        {"view", dir.path(), "-o", dir.file("w.html"), "--to", "3+1000"},
        {"view", dir.path(), "-o", dir.file("w.html"), "--editor-url", "editor://{line}"}}) {
    const ProcessResult bad = run_tool(args);
    EXPECT_EQ(bad.exit_status, 1);
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("w.html")));
}

// Each source's file:line links to an editor: the absolute path, %-escaped, in the pattern.
TEST(ViewPageTest, LinksTheSourcesForAnEditor) {
  TempDir dir;
  const std::string folder = dir.file("a b%\"<x>");
  std::filesystem::create_directory(folder);
  const ScenarioIdentity shipped{kShippedLineName, kShippedTrainNumber};
  ASSERT_TRUE(dati_linea(folder, shipped).ok());
  ASSERT_TRUE(dati_treno(folder, shipped).ok());
  const std::string escaped = dir.path() + "/a%20b%25%22%3Cx%3E/";
  const struct {
    std::vector<std::string> options;
    std::string editor;
  } cases[] = {
      {{}, R"("editor":"vscode://file{path}:{line}")"},
      {{"--editor-url", "myeditor://open?file={path}&line={line}"},
       R"("editor":"myeditor://open?file={path}\u0026line={line}")"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"view", folder, "-o", dir.file("v.html")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(run_tool(args).exit_status, 0);
    const std::string page = read_file_bytes(dir.file("v.html"));
    EXPECT_NE(page.find(R"("files":{"Viterbo_Attigliano_linea.txt":")" + escaped +
                        R"(Viterbo_Attigliano_linea.txt","Viterbo_Attigliano_7545-.txt":")" +
                        escaped + R"(Viterbo_Attigliano_7545-.txt"})"),
              std::string::npos)
        << page.substr(page.find("\"files\""), 300);
    EXPECT_NE(page.find(c.editor), std::string::npos);
  }
}

TEST(ViewPageTest, SourceTextsCannotEndThePagesScript) {
  TempDir dir;
  write_shipped_sources(dir);
  const std::string train = dir.file("Viterbo_Attigliano_7545-.txt");
  write_file_bytes(train,
                   replace_all(read_file_bytes(train), "Montefiascone", "Monte</script><!--&"));
  ASSERT_EQ(run_tool({"view", dir.path(), "-o", dir.file("v.html")}).exit_status, 0);
  const std::string page = read_file_bytes(dir.file("v.html"));
  EXPECT_EQ(page.find("Monte</script>"), std::string::npos);
  EXPECT_NE(page.find("\"name\":\"Monte\\u003c/script\\u003e\\u003c!--\\u0026\""),
            std::string::npos);
}

// The problems the page lists are check's diagnostics: on standard error as check gives them,
// and in the page by file name and line (or cell), level, message, notes and place on the line.
TEST(ViewPageTest, ListsTheProblemsAsCheckGivesThem) {
  const std::string general = "[generale]\r\nlunghezza percorso, 50000\r\n[curve]\r\n";
  const std::string train = "[generale]\r\nvelocita, 0, 70\r\n[fine]\r\n";
  const struct {
    const char* what;
    const char* line;  // none: no line source
    std::string train;
    const char* shown;  // on standard error, the folder as DIR
    const char* listed;
  } cases[] = {
      {"a warning, placed on the line by its row", "pendenza, 4750, 0\r\npendenza, 4700, 0\r\n",
       train,
       "DIR/Viterbo_Attigliano_linea.txt:5:1: warning: gradient at 4700 m is out of order: the "
       "one before is at 4750 m\n    pendenza, 4700, 0\n    ^\n",
       R"({"level":"warning","where":"Viterbo_Attigliano_linea.txt:5","text":"gradient at 4700 m )"
       R"(is out of order: the one before is at 4750 m","m":4700,"code":"gradient out of order",)"
       R"("file":"Viterbo_Attigliano_linea.txt","line":5,"message":"gradient at 4700 m is out of )"
       R"(order: the one before is at 4750 m","notes":[],"notePlaces":[]})"},
      {"an error of a source, with its notes, placed by its row", "montagna,   100,  x, 2\r\n",
       train,
       "DIR/Viterbo_Attigliano_linea.txt:4:19: error 25: the reading stopped: tunnel end: \"x\" "
       "is not a number\n    montagna,   100,  x, 2\n                      ^\n    note: the row "
       "began at line 4 with 'montagna', which takes 3 values: start, end, kind\n",
       R"({"level":"error","where":"Viterbo_Attigliano_linea.txt:4","text":"error 25: the )"
       R"(reading stopped: tunnel end: \"x\" is not a number","m":100,"code":"25",)"
       R"("file":"Viterbo_Attigliano_linea.txt","line":4,"message":"the reading stopped: tunnel )"
       R"(end: \"x\" is not a number","notes":["the row began at line 4 with 'montagna', which )"
       R"(takes 3 values: start, end, kind"],"notePlaces":[{"note":0,)"
       R"("file":"Viterbo_Attigliano_linea.txt","line":4}]})"},
      {"an error of the cells, at the slowdown that causes it, placed on the line by its cell",
       "cartello_indicatore, 4750, (s)\r\ncartello_indicatore, 4700, (s)\r\n"
       "cartello_indicatore, 4650, (s)\r\ncartello_indicatore, 4100, (s)\r\n"
       "cartello_indicatore, 4050, (s)\r\ncartello_indicatore, 4000, (s)\r\n",
       "[generale]\r\nvelocita, 0, 70\r\nrallentamento, 5000, 30, 200, 0, 0, 0\r\n[fine]\r\n",
       "DIR/Viterbo_Attigliano_7545-.txt:3:1: error 12: no free cell for a speed "
       "restriction point in an approach window before a slowdown, at 5050 m\n    "
       "rallentamento, 5000, 30, 200, 0, 0, 0\n    ^\n    note: the signal-cell rules met it in "
       "cell 101 (5050 m) of Viterbo_Attigliano_7545.dat, from the slowdown at 5000 m\n    "
       "cells around 101: ",
       R"({"level":"error","where":"Viterbo_Attigliano_7545-.txt:3","text":"error 12: no free )"
       R"(cell for a speed restriction point in an approach window before a slowdown, at )"
       R"(5050 m","m":5050,"code":"12","file":"Viterbo_Attigliano_7545-.txt","line":3,)"},
      {"a missing source", nullptr, train,
       "DIR/Viterbo_Attigliano_linea.txt: error 101: no line source file\n",
       R"({"level":"error","where":"Viterbo_Attigliano_linea.txt","text":"error 101: no line )"
       R"(source file","m":null,"code":"101","file":"Viterbo_Attigliano_linea.txt","line":0,)"
       R"("message":"no line source file","notes":[],"notePlaces":[]})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    if (c.line != nullptr) {
      write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), general + c.line + "[fine]\r\n");
    }
    write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), c.train);
    const ProcessResult made = run_tool({"view", dir.path(), "-o", dir.file("v.html")});
    EXPECT_EQ(made.exit_status, 0);
    const std::string shown = replace_all(made.err, dir.path(), "DIR");
    EXPECT_NE(shown.find(c.shown), std::string::npos) << shown;
    EXPECT_EQ(made.out.rfind("wrote " + dir.file("v.html"), 0), 0u) << made.out;
    const std::string page = read_file_bytes(dir.file("v.html"));
    EXPECT_NE(page.find(c.listed), std::string::npos)
        << page.substr(page.find("\"problems\":["), 1200);
  }
}

// What the page is given on a short line: the range shown first ends a little past the line's
// end and the rows past it, not where the cells end 7000 m later; the row the compiler refused is
// a mark where its values put it, as the error it stopped at; a row it stored before it stopped
// has its marks as that error.
TEST(ViewPageTest, ShortLinesFirstRangeAndTheRowsAtTheError) {
  const std::string general = "[generale]\r\nlunghezza percorso, 12000\r\n";
  const std::string train = "[generale]\r\nvelocita, 0, 70\r\n[fine]\r\n";
  const std::string boards =
      "[indicazioni]\r\ncartello_indicatore, 4750, (s)\r\ncartello_indicatore, 4700, (s)\r\n"
      "cartello_indicatore, 4650, (s)\r\ncartello_indicatore, 4100, (s)\r\n"
      "cartello_indicatore, 4050, (s)\r\ncartello_indicatore, 4000, (s)\r\n";
  const struct {
    const char* what;
    std::string line, train;
    std::vector<std::string> listed;
    std::vector<std::string> options = {};
  } cases[] = {
      {"nothing on the line", general + "[fine]\r\n", train, {R"("range":[0,12400])"}},
      {"only a start given, past that end: up to the cells' end",
       general + "[fine]\r\n",
       train,
       {R"("range":[15000,19000])"},
       {"--from", "15+000"}},
      {"only a start given, before that end",
       general + "[fine]\r\n",
       train,
       {R"("range":[3000,12400])"},
       {"--from", "3+000"}},
      {"a board in the margin past the end",
       general + "[indicazioni]\r\ncartello_indicatore, 15000, (x)\r\n[fine]\r\n",
       train,
       {R"("range":[0,15500])"}},
      {"a tunnel past the cells",
       general + "[montagne]\r\nmontagna, 11000, 20000, 2\r\n[fine]\r\n",
       train,
       {R"("range":[0,20000])",
        R"("marks":[{"kind":"tunnel","m":11000,"title":"tunnel, refused )"
        R"(by the compiler","info":"error 15: the tunnel starting at 11000 m )"
        R"(ends at 20000 m, beyond the track cells, which cover 0 to 19000 )"
        R"(m for a route of 12000 m, at 11000 m","src":)"
        R"("Viterbo_Attigliano_linea.txt","line":4,"refused":0,"to":20000}])"}},
      {"a curve past the cells, its side and radius by its keyword",
       general + "[curve]\r\ncurvas3, 11000, 12000\r\n[fine]\r\n",
       train,
       {R"("kind":"curve","m":11000,"title":"curve to the left, radius 2500 m, refused by )",
        R"("refused":0,"to":23000,"side":"left","radius":2500})"}},
      {"a tunnel before the start",
       general + "[montagne]\r\nmontagna, -500, 300, 2\r\n[fine]\r\n",
       train,
       {R"("range":[-500,12400])", R"("kind":"tunnel","m":-500,)", R"("refused":0,"to":300})"}},
      {"a slowdown, its end a value that does not read",
       general + "[fine]\r\n",
       "[generale]\r\nvelocita, 0, 70\r\nrallentamento, 5000, 30, x, 0, 0, 0\r\n[fine]\r\n",
       {R"({"kind":"slowdown-start","m":5000,"title":"slowdown, refused by the compiler",)",
        R"("src":"Viterbo_Attigliano_7545-.txt","line":3,"refused":0,"speed":30})"}},
      {"a slowdown stored, which the signal-cell rules could not serve",
       general + boards + "[fine]\r\n",
       "[generale]\r\nvelocita, 0, 70\r\nrallentamento, 5000, 30, 200, 0, 0, 0\r\n[fine]\r\n",
       {R"("stop":{"problem":0,)",
        R"({"kind":"slowdown-warning","m":3800,"title":"slowdown warning point","info":"30 km/h )"
        R"(over 200 m","src":"Viterbo_Attigliano_7545-.txt","line":3,"error":0})",
        R"("to":5200,"speed":30,"error":0})",
        R"({"kind":"slowdown-end","m":5200,"title":"slowdown end","info":"30 km/h over 200 m",)"
        R"("src":"Viterbo_Attigliano_7545-.txt","line":3,"error":0})"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    write_file_bytes(dir.file("Viterbo_Attigliano_linea.txt"), c.line);
    write_file_bytes(dir.file("Viterbo_Attigliano_7545-.txt"), c.train);
    std::vector<std::string> args = {"view", dir.path(), "-o", dir.file("v.html")};
    args.insert(args.end(), c.options.begin(), c.options.end());
    ASSERT_EQ(run_tool(args).exit_status, 0);
    const std::string page = read_file_bytes(dir.file("v.html"));
    for (const std::string& listed : c.listed) {
      EXPECT_NE(page.find(listed), std::string::npos)
          << listed << "\n"
          << page.substr(page.find("\"range\""), 200) << page.substr(page.find("\"marks\""), 1500);
    }
  }
}

TEST(ViewPageTest, WatchBuildsThePageAgainWhenASourceIsSaved) {
  TempDir dir;
  write_shipped_sources(dir);
  ChildProcess watching(
      {SCENARIO_TOOL_PATH, "view", dir.path(), "-o", dir.file("w.html"), "--watch"}, {});
  // Polls for the page's stamp, at most 30 s: each build takes milliseconds.
  const auto wait_for = [&dir](const std::string& stamp) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
      std::error_code ignored;
      if (std::filesystem::exists(dir.file("w.html.stamp.js"), ignored) &&
          read_file_bytes(dir.file("w.html.stamp.js")).find("(\"" + stamp + "\")") !=
              std::string::npos) {
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  };
  ASSERT_TRUE(wait_for("1"));
  EXPECT_NE(read_file_bytes(dir.file("w.html")).find("\"watchStamp\":\"1\""), std::string::npos);
  // A station renamed in the train source: the page follows, with a new stamp.
  const std::string train = dir.file("Viterbo_Attigliano_7545-.txt");
  const std::string saved = read_file_bytes(train);
  write_file_bytes(train, replace_all(saved, "Montefiascone", "Montefiasco"));
  ASSERT_TRUE(wait_for("2"));
  const std::string page = read_file_bytes(dir.file("w.html"));
  EXPECT_NE(page.find("\"name\":\"Montefiasco\""), std::string::npos);
  EXPECT_NE(page.find("\"watchStamp\":\"2\""), std::string::npos);

  // A source that cannot be read keeps the watch going: the page says why, and follows the
  // source again once it is mended.
  const struct {
    const char* what;
    std::function<void()> make;
    const char* shown;
  } turns[] = {
      {"a FIFO", [&] { ASSERT_EQ(mkfifo(train.c_str(), 0600), 0); }, "not a regular file"},
      {"grown past the limit",
       [&] {
         const int fd = open(train.c_str(), O_WRONLY | O_CREAT, 0600);
         ASSERT_GE(fd, 0);
         ASSERT_EQ(ftruncate(fd, off_t{300} << 20), 0);
         close(fd);
       },
       "over 256 MiB"},
      {"deleted", [] {}, "no train source"},
      {"mended", [&] { write_file_bytes(train, saved); }, "\"name\":\"Montefiascone\""},
  };
  int stamp = 2;
  for (const auto& turn : turns) {
    SCOPED_TRACE(turn.what);
    std::filesystem::remove(train);
    turn.make();
    ASSERT_TRUE(wait_for(std::to_string(++stamp)));
    EXPECT_NE(read_file_bytes(dir.file("w.html")).find(turn.shown), std::string::npos);
  }
  ProcessResult ended;
  EXPECT_FALSE(watching.wait(0, &ended)) << "the watch ended: " << ended.err;
  watching.kill();
}

// The page in Italian: its language, its headings and legends, the texts its script shows and
// what the command says; in English the page says it is English and carries no translations.
TEST(ViewPageTest, SpeaksItalian) {
  TempDir dir;
  write_shipped_sources(dir);
  const struct {
    const char* lang;
    std::vector<std::string> in_page;
    std::string said;  // the start of what the command prints
  } cases[] = {
      {"--lang=it",
       {"<html lang=\"it\">", "<h2 id=\"problems-title\">Problemi</h2>", "<h2>Orario</h2>",
        "placeholder=\"stazione, 37+250, metri, file:riga, segnale 3\"",
        "\"Stations\":\"Stazioni\"", "\"R above, L below\":\"D sopra, S sotto\"",
        "\"title\":\"stazione ATTIGLIANO\"", "\"problemsTitle\":\"Problemi: 0 errori, 1 avviso\""},
       "scritto " + dir.file("v.html") + ": 0 errori, 1 avviso; error_code=0 error_position=0\n"},
      {"--lang=en",
       {"<html lang=\"en\">", "<h2 id=\"problems-title\">Problems</h2>", "\"texts\":{}",
        "\"problemsTitle\":\"Problems: 0 errors, 1 warning\""},
       "wrote " + dir.file("v.html") + ": 0 errors, 1 warning; error_code=0 error_position=0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lang);
    const ProcessResult r = run_tool({"view", dir.path(), "-o", dir.file("v.html"), c.lang});
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, c.said);
    const std::string page = read_file_bytes(dir.file("v.html"));
    for (const std::string& text : c.in_page) EXPECT_NE(page.find(text), std::string::npos) << text;
  }
}

// Every text for people the page's template and script give is one the catalogue holds, so that
// none is left in English: "{{...}}" before the script, t("...") in it.
TEST(ViewPageTest, EveryTextOfThePageIsInTheCatalogue) {
  const std::vector<std::string> texts = view_page_texts();
  const std::string page = kViewPage;
  const size_t script = page.find("<script>");
  std::vector<std::string> found;
  const std::regex in_template(R"(\{\{([^}]*)\}\})");
  for (std::sregex_iterator it(page.begin(), page.begin() + script, in_template), end; it != end;
       ++it) {
    found.push_back(std::regex_replace((*it)[1].str(), std::regex(R"(\s+)"), " "));
  }
  const std::regex in_script(R"(\bt\("([^"]*)\")");
  for (std::sregex_iterator it(page.begin() + script, page.end(), in_script), end; it != end;
       ++it) {
    found.push_back((*it)[1].str());
  }
  // The patterns find the texts of both parts.
  for (const char* text : {"Selected", "Stations"}) {
    EXPECT_NE(std::find(found.begin(), found.end(), text), found.end()) << text;
  }
  for (const std::string& text : found) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << text;
  }
}
