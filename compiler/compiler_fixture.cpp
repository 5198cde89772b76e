#include "compiler/compiler_fixture.h"

#include "sources/line_source.h"
#include "sources/train_source.h"

namespace {

std::string as_file(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

}  // namespace

std::string shipped_line_source() {
  return as_file(line_source_lines());
}
std::string shipped_train_source() {
  return as_file(train_source_lines());
}

std::string small_line_source(const std::string& features, const std::string& general) {
  return "[generale]\r\n" + general + "[curve]\r\n" + features + "[fine]\r\n";
}
