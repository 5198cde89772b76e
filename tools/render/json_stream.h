// JSON written a part at a time, in exactly the layout of nlohmann-json's dump(2): two blanks
// for each level, ": " after a key, "[]" and "{}" when empty, bytes that are not UTF-8 written as
// U+FFFD. A document of a million elements (diagnostics, track cells) never stands whole in
// memory: its fixed parts are written as they come, and each element is made and serialised
// alone, then indented to its depth.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "tools/render/text_sink.h"

// `value` as dump(2) writes it when it stands `depth` levels deep in a document.
std::string json_at_depth(const nlohmann::ordered_json& value, int depth);

// An array or object `depth` levels deep, written a member at a time. Its opening bracket is
// written when it is made, its closing one by close(), which must be called once.
class JsonStream {
 public:
  enum class Kind { kArray, kObject };
  JsonStream(const TextSink& out, Kind kind, int depth);

  // An element of an array.
  void element(const nlohmann::ordered_json& value);
  // An element of an array whose value is written next, by a JsonStream of depth() + 1.
  void begin_element();
  // A member of an object: its key, then its value.
  void member(const std::string& key, const nlohmann::ordered_json& value);
  // The key of a member whose value is written next, by a JsonStream of depth() + 1.
  void key(const std::string& key);
  int depth() const { return depth_; }
  void close();

 private:
  void next();  // what stands before an element or key

  const TextSink& out_;
  Kind kind_;
  int depth_;
  bool empty_ = true;
};
