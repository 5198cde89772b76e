#include "tools/language/translation.h"

#include <algorithm>
#include <atomic>
#include <string_view>

#include "tools/language/catalogue.h"

namespace {

std::atomic<Language> language{Language::kEnglish};
std::atomic<bool> chosen{false};

const Catalogue* catalogue_of(Language l) {
  return l == Language::kItalian ? &kItalianCatalogue : nullptr;
}

// The translation of `english` (a plural message's singular and plural joined by a NUL), or
// null when the current language has none.
const CatalogueEntry* entry_of(std::string_view english) {
  const Catalogue* catalogue = catalogue_of(current_language());
  if (catalogue == nullptr) return nullptr;
  const CatalogueEntry* end = catalogue->entries + catalogue->count;
  const CatalogueEntry* found = std::lower_bound(
      catalogue->entries, end, english,
      [](const CatalogueEntry& entry, std::string_view key) { return entry.english < key; });
  return found != end && found->english == english ? found : nullptr;
}

// The `form`th of the NUL-separated `forms`; the last one when there are fewer.
std::string_view plural_form(std::string_view forms, size_t form) {
  for (; form > 0; --form) {
    const size_t nul = forms.find('\0');
    if (nul == std::string_view::npos) break;
    forms.remove_prefix(nul + 1);
  }
  return forms.substr(0, forms.find('\0'));
}

const char* translated_shared_text(const char* english) {
  return tr(english);
}

}  // namespace

void set_language(Language l) {
  language = l;
  // The shared code's texts (files, locks, payloads) from the same catalogue.
  set_text_translator(l == Language::kEnglish ? nullptr : translated_shared_text);
}

Language current_language() {
  return language;
}

void set_language_chosen(bool c) {
  chosen = c;
}

bool language_chosen() {
  return chosen;
}

std::optional<Language> language_named(const std::string& name) {
  if (name == "it") return Language::kItalian;
  if (name == "en") return Language::kEnglish;
  return std::nullopt;
}

Language language_of_locale(const std::string& locale) {
  // language[_territory][.codeset][@modifier]
  const std::string name = locale.substr(0, locale.find_first_of("_.@"));
  return name == "it" ? Language::kItalian : Language::kEnglish;
}

Language language_from_environment(const std::function<const char*(const char*)>& variable) {
  const char* const kVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* name : kVariables) {
    const char* value = variable(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string text = value;
    if (name != kVariables[0]) return language_of_locale(text);
    // A list of languages by preference: the first the tool speaks counts.
    size_t start = 0;
    while (start <= text.size()) {
      const size_t colon = std::min(text.find(':', start), text.size());
      const std::string locale = text.substr(start, colon - start);
      const std::string lang = locale.substr(0, locale.find_first_of("_.@"));
      if (lang == "it" || lang == "en" || lang == "C" || lang == "POSIX") {
        return language_of_locale(locale);
      }
      start = colon + 1;
    }
  }
  return Language::kEnglish;
}

const char* tr(const char* english) {
  const CatalogueEntry* entry = entry_of(english);
  // The table's texts are NUL-terminated literals.
  return entry != nullptr ? entry->translated.data() : english;
}

std::string tr(const char* english, std::initializer_list<std::string> values) {
  return fill_placeholders(tr(english), values);
}

std::string tr_n(const char* singular, const char* plural, uint64_t n,
                 std::initializer_list<std::string> values) {
  const std::string key = std::string(singular) + '\0' + plural;
  const CatalogueEntry* entry = entry_of(key);
  if (entry == nullptr) return fill_placeholders(n == 1 ? singular : plural, values);
  const size_t form = catalogue_of(current_language())->plural_form(n);
  return fill_placeholders(std::string(plural_form(entry->translated, form)), values);
}
