// Where a long output goes as it is made, a part at a time and in order: standard output, or a
// string.
#pragma once

#include <functional>
#include <string>

using TextSink = std::function<void(const std::string& text)>;

// A sink that appends to `text`, which must outlive it.
inline TextSink append_to(std::string* text) {
  return [text](const std::string& part) { *text += part; };
}
