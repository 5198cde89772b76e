#include "compiler/source_files.h"

#include "common/file_io.h"
#include "common/file_path.h"

SourceFiles::SourceFiles(const CompileOptions& options) : options_(options) {}

std::string SourceFiles::path(ProblemSource source) const {
  const ScenarioIdentity& s = options_.scenario;
  return path_in(options_.directory,
                 source == ProblemSource::kLineSource ? line_source_name(s) : train_source_name(s));
}

bool SourceFiles::read(ProblemSource source, std::string* text) const {
  if (options_.sources == SourceHandling::kInMemory) {
    const bool line = source == ProblemSource::kLineSource;
    if (line ? options_.line_source_missing : options_.train_source_missing) {
      text->clear();
      return false;
    }
    *text = line ? options_.line_source_text : options_.train_source_text;
    return true;
  }
  text->clear();
  const std::string file = path(source);
  if (!is_regular_file(file, *options_.files)) return false;
  const Status status = read_file(file, text, *options_.files);
  if (!status.ok()) throw SourceFileFault(status);
  return true;
}

void SourceFiles::done_with(ProblemSource source) const {
  if (options_.sources != SourceHandling::kDeleteAfterReading) return;
  const Status status = delete_file(path(source), *options_.files);
  if (!status.ok()) throw SourceFileFault(status);
}

void SourceFiles::discard_both() const {
  if (options_.sources != SourceHandling::kDeleteAfterReading) return;
  for (ProblemSource source : {ProblemSource::kLineSource, ProblemSource::kTrainSource}) {
    if (is_regular_file(path(source), *options_.files)) done_with(source);
  }
}
