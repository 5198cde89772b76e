#include "tools/commands/author_sources.h"

#include <string>
#include <utility>
#include <vector>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/windows_1252.h"

namespace {

// The text between `head` and `tail` of `name`, when it is made so and the text is not empty.
bool middle_of(const std::string& name, const std::string& head, const std::string& tail,
               std::string* middle) {
  if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
      name.compare(name.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  *middle = name.substr(head.size(), name.size() - head.size() - tail.size());
  return true;
}

// The one name that `name_of` finds among `names`; empty for none or several.
template <typename NameOf>
std::string only_one(const std::vector<std::string>& names, NameOf name_of) {
  std::string found, one;
  for (const std::string& name : names) {
    if (!name_of(name, &one)) continue;
    if (!found.empty()) return "";
    found = one;
  }
  return found;
}

}  // namespace

void take_names_from_folder(const std::string& directory, bool line_given, bool train_given,
                            ScenarioIdentity* scenario) {
  if (line_given && train_given) return;
  std::vector<std::string> names;
  if (platform_file_system().list_directory(directory, &names)) return;
  // "_linea.txt", and "-.txt" after the train's "<line>_".
  const std::string line_tail = line_source_name({"", ""}),
                    train_tail = train_source_name({"", ""}).substr(1);
  ScenarioIdentity found = *scenario;
  if (!line_given) {
    found.line_name = only_one(names, [&](const std::string& name, std::string* line) {
      return middle_of(name, "", line_tail, line);
    });
    if (found.line_name.empty()) return;
  }
  if (!train_given) {
    found.train_number = only_one(names, [&](const std::string& name, std::string* train) {
      return middle_of(name, found.line_name + "_", train_tail, train);
    });
    if (found.train_number.empty()) return;
  }
  // Names read from the folder are held to what names given on the command line are.
  if (!windows_1252_from_utf8(found.line_name) || !windows_1252_from_utf8(found.train_number) ||
      !scenario_names_refusal(found, "--line", "--train").empty()) {
    return;
  }
  *scenario = found;
}

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
