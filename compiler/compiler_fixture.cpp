#include "compiler/compiler_fixture.h"

#include "sources/line_source.h"
#include "sources/text_writer.h"
#include "sources/train_source.h"

std::string shipped_line_source() {
  return document_bytes(line_source_lines());
}
std::string shipped_train_source() {
  return document_bytes(train_source_lines());
}

std::string small_line_source(const std::string& features, const std::string& general) {
  return "[generale]\r\n" + general + "[curve]\r\n" + features + "[fine]\r\n";
}
