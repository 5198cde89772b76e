#include "tools/commands/author_sources.h"

#include <utility>

#include "common/file_io.h"
#include "common/file_path.h"

ShownSource shown_source(const std::string& directory, const std::string& name) {
  const std::string path = path_in(directory, name);
  std::string text;
  read_file(path, &text);
  return ShownSource(path, std::move(text));
}

// The rows lead problems back to their source lines; a hostile source of millions of rows is
// compiled without them.
CompileOptions author_options(const CommonArguments& a, bool build_plan, const ShownSource& line,
                              const ShownSource& train) {
  CompileOptions options;
  options.directory = a.directory;
  options.scenario = a.scenario;
  options.build_plan = build_plan;
  options.sources = SourceHandling::kKeep;
  options.write_files = false;
  options.keep_rows = line.text().size() + train.text().size() <= (size_t(16) << 20);
  return options;
}
