#include "common/people_text.h"

#include <atomic>

namespace {

std::atomic<TextTranslator> text_translator{nullptr};

}  // namespace

void set_text_translator(TextTranslator translator) {
  text_translator = translator;
}

const char* people_text(const char* english) {
  const TextTranslator translator = text_translator;
  return translator != nullptr ? translator(english) : english;
}

std::string people_text(const char* english, std::initializer_list<std::string> values) {
  return fill_placeholders(people_text(english), values);
}

std::string fill_placeholders(const std::string& text, std::initializer_list<std::string> values) {
  std::string filled;
  filled.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{' && i + 2 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9' &&
        text[i + 2] == '}') {
      const size_t index = size_t(text[i + 1] - '1');
      if (index < values.size()) filled += values.begin()[index];
      i += 2;
      continue;
    }
    filled += text[i];
  }
  return filled;
}
