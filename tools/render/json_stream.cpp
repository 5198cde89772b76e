#include "tools/render/json_stream.h"

namespace {

std::string indent(int depth) {
  return std::string(2 * static_cast<size_t>(depth), ' ');
}

}  // namespace

std::string json_at_depth(const nlohmann::ordered_json& value, int depth) {
  const std::string alone =
      value.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  // Only the layout puts line ends in the text: those within strings are written as \n.
  std::string text;
  text.reserve(alone.size());
  for (char c : alone) {
    text.push_back(c);
    if (c == '\n') text += indent(depth);
  }
  return text;
}

JsonStream::JsonStream(const TextSink& out, Kind kind, int depth)
    : out_(out), kind_(kind), depth_(depth) {
  out_(kind_ == Kind::kArray ? "[" : "{");
}

void JsonStream::next() {
  out_((empty_ ? "\n" : ",\n") + indent(depth_ + 1));
  empty_ = false;
}

void JsonStream::element(const nlohmann::ordered_json& value) {
  next();
  out_(json_at_depth(value, depth_ + 1));
}

void JsonStream::begin_element() {
  next();
}

void JsonStream::key(const std::string& key) {
  next();
  out_(nlohmann::ordered_json(key).dump(-1, ' ', false,
                                        nlohmann::ordered_json::error_handler_t::replace) +
       ": ");
}

void JsonStream::member(const std::string& key, const nlohmann::ordered_json& value) {
  this->key(key);
  out_(json_at_depth(value, depth_ + 1));
}

void JsonStream::close() {
  const char* bracket = kind_ == Kind::kArray ? "]" : "}";
  out_(empty_ ? std::string(bracket) : "\n" + indent(depth_) + bracket);
}
