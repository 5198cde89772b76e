#include "compiler/compiler_fixture.h"

std::string small_line_source(const std::string& features, const std::string& general) {
  return "[generale]\r\n" + general + "[curve]\r\n" + features + "[fine]\r\n";
}
