// The scenario compiler, as every caller uses it: compile options in, the compiled records and
// the problem log out. It reads the line source and the train source of a scenario, applies the
// signal-cell rules, stamps the version words and checksums, and writes the three files the
// simulator loads.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/file_system.h"
#include "common/scenario_identity.h"
#include "common/status.h"
#include "compiler/compiled_records.h"
#include "compiler/problem_log.h"
#include "compiler/source_rows.h"

// What becomes of the sources.
enum class SourceHandling {
  kDeleteAfterReading,  // the installer's own sources: each goes once read
  kKeep,                // an author's sources stay
  kInMemory,            // the texts are given in the options: no source file is touched
};

struct CompileOptions {
  // Where the sources are read and the compiled files written, and for which scenario.
  std::string directory;
  ScenarioIdentity scenario;
  // Whether the line plan is built and written.
  bool build_plan = true;
  SourceHandling sources = SourceHandling::kDeleteAfterReading;
  // The sources' texts with SourceHandling::kInMemory; a source marked missing is read as a
  // file that is not there.
  std::string line_source_text;
  std::string train_source_text;
  bool line_source_missing = false;
  bool train_source_missing = false;
  // False: compile in memory only, writing no compiled file.
  bool write_files = true;
  // Keep every row the readers stored (Compilation::rows). Off by default: a hostile source of
  // millions of rows would hold as many.
  bool keep_rows = false;
  // Every file the compilation reads, writes or deletes goes through it.
  FileSystem* files = &platform_file_system();
};

// Options that compile the two texts given, touching no file at all.
inline CompileOptions in_memory_options(ScenarioIdentity scenario, std::string line_source,
                                        std::string train_source) {
  CompileOptions options;
  options.scenario = std::move(scenario);
  options.sources = SourceHandling::kInMemory;
  options.line_source_text = std::move(line_source);
  options.train_source_text = std::move(train_source);
  options.write_files = false;
  return options;
}

// How a compilation ended.
enum class CompileEnd {
  kCompleted,        // the compilation completed (the error state may hold a code); the files
                     // were written when the options asked for them
  kNothingCompiled,  // the sources gave no track cells: no file written, earlier ones kept
  kIntegrityError,   // a version or checksum slot was taken (1250 or 1251): no file written
  kFileFault,        // a file could not be read, deleted or written (see status); the run
                     // stops there, and compiled files are never half written
};

struct CompileResult {
  CompileEnd end = CompileEnd::kCompleted;
  int integrity_error = 0;  // 1250 or 1251 with kIntegrityError
  Status status;            // the failure with kFileFault
};

// Everything a compilation leaves.
struct Compilation {
  CompiledRecords records;
  ProblemLog log;
  std::vector<SourceRow> rows;  // with keep_rows, every row stored, in the order read
};

// Compiles the scenario of `options` into `out`, which is cleared first.
CompileResult memorizza_percorso(const CompileOptions& options, Compilation* out);

// Writes the three compiled files (the line plan only with build_plan) from the records of a
// compilation that completed; memorizza_percorso calls it when write_files is set, and the
// authors' tool calls it itself once it has seen the error code.
Status write_compiled_files(const CompileOptions& options, const CompiledRecords& records);

// Compiled file names.
std::string line_plan_name(const ScenarioIdentity& s);       // <line>_linea.dat
std::string scenario_table_name(const ScenarioIdentity& s);  // <line>_<train>.sim
std::string track_cells_name(const ScenarioIdentity& s);     // <line>_<train>.dat
