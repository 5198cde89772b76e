// A compiler working in a temporary directory, for the compiler's tests: write sources into the
// directory, compile, and look at the records.
#pragma once

#include <memory>
#include <string>

#include "compiler/scenario_compiler.h"
#include "test_support/temp_dir.h"

struct CompilerFixture {
  TempDir dir;
  ScenarioCompiler compiler{dir.path(), {"Viterbo_Attigliano", "7545"}};

  std::string line_source_path() const { return dir.file("Viterbo_Attigliano_linea.txt"); }
  std::string train_source_path() const { return dir.file("Viterbo_Attigliano_7545-.txt"); }

  // Writes `text` as the line source and a train source with a speed and an adhesion from
  // the start of the line beside it, then compiles.
  CompileResult compile_line(const std::string& text, int32_t j = 1) {
    return compile(text, "[generale]\r\nvelocita, 0, 70\r\naderenza, 0, 100\r\n[fine]\r\n", j);
  }

  // Writes the two sources, then compiles.
  CompileResult compile(const std::string& line_source, const std::string& train_source,
                        int32_t j = 1) {
    write_file_bytes(line_source_path(), line_source);
    write_file_bytes(train_source_path(), train_source);
    return compiler.memorizza_percorso(j);
  }
};

// The shipped sources as the installer writes them.
std::string shipped_line_source();
std::string shipped_train_source();

// A line source of a 50 km route with `features` after the general section, each line ended
// by CR LF; `general` replaces the route length line when given.
std::string small_line_source(const std::string& features,
                              const std::string& general = "lunghezza percorso, 50000\r\n");
