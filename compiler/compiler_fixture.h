// A compiler working in a temporary directory, for the compiler's tests: write sources into the
// directory, compile, and look at the records.
#pragma once

#include <memory>
#include <string>

#include "compiler/scenario_compiler.h"
#include "test_support/temp_dir.h"

struct CompilerFixture {
  TempDir dir;
  CompileOptions options = default_options(dir.path());
  Compilation compiled;

  std::string line_source_path() const { return dir.file("Viterbo_Attigliano_linea.txt"); }
  std::string train_source_path() const { return dir.file("Viterbo_Attigliano_7545-.txt"); }

  // Writes `text` as the line source and a train source with a speed and an adhesion from
  // the start of the line beside it, then compiles.
  CompileResult compile_line(const std::string& text, bool build_plan = true) {
    return compile(text, "[generale]\r\nvelocita, 0, 70\r\naderenza, 0, 100\r\n[fine]\r\n",
                   build_plan);
  }

  // Writes the two sources, then compiles.
  CompileResult compile(const std::string& line_source, const std::string& train_source,
                        bool build_plan = true) {
    write_file_bytes(line_source_path(), line_source);
    write_file_bytes(train_source_path(), train_source);
    options.build_plan = build_plan;
    return memorizza_percorso(options, &compiled);
  }

  // The installer's options: sources deleted once read, files written.
  static CompileOptions default_options(const std::string& directory) {
    CompileOptions o;
    o.directory = directory;
    o.scenario = {"Viterbo_Attigliano", "7545"};
    return o;
  }
};

// The shipped sources as the installer writes them.
std::string shipped_line_source();
std::string shipped_train_source();

// A line source of a 50 km route with `features` after the general section, each line ended
// by CR LF; `general` replaces the route length line when given.
std::string small_line_source(const std::string& features,
                              const std::string& general = "lunghezza percorso, 50000\r\n");
