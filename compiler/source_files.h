// Where a compilation's two sources come from and what becomes of them, as the compile options
// say: read from the directory or from memory, deleted once read or kept. A file operation that
// fails here is no problem of the sources: it throws SourceFileFault, and the compilation ends
// with it.
#pragma once

#include <string>

#include "common/status.h"
#include "compiler/scenario_compiler.h"

class SourceFileFault {
 public:
  explicit SourceFileFault(Status status) : status(std::move(status)) {}
  Status status;
};

class SourceFiles {
 public:
  explicit SourceFiles(const CompileOptions& options);

  // The line source (ProblemSource::kLineSource) or the train source (kTrainSource).
  std::string path(ProblemSource source) const;
  // The text of a source: false when there is no such file.
  bool read(ProblemSource source, std::string* text) const;
  // A source read to its end or left on an error: deleted when the options say so.
  void done_with(ProblemSource source) const;
  // After a run-time failure: both sources go, as far as they are still there.
  void discard_both() const;

 private:
  const CompileOptions& options_;
};
