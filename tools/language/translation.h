// The languages scenario-tool speaks. Every text for people is written in English in the sources
// and marked for the catalogue, po/scenario-tool.pot, which xgettext makes from them; each
// language's translations (po/<language>.po) are built into the program as a table (see
// catalogue.h), so nothing is installed beside it. What machines read (the last line, exit
// statuses, JSON keys, codes, rule ids) is never marked and never changes with the language.
//
// A translation may put the values in another order: they are written {1}, {2}, ... and filled
// in after the lookup: a value whose placeholder a translation lacks is not shown, and a
// placeholder with no value shows nothing, so a faulty translation can drop a value but never
// read past the values given. The build refuses a translation whose placeholders differ from its
// message's.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>

#include "common/people_text.h"

enum class Language { kEnglish, kItalian };

// The language of the texts from here on; English until set. Set before the program's threads
// start, or where no other thread makes texts (the language server sets it again from its
// client's locale: its reader thread makes none).
void set_language(Language language);
Language current_language();
// Whether the command line chose the language (--lang): it then holds over what a client asks for
// later (the language server's locale). Set with the language, before the threads start.
void set_language_chosen(bool chosen);
bool language_chosen();

// "it" and "en", as --lang takes them; anything else is none.
std::optional<Language> language_named(const std::string& name);

// The language a locale name asks for ("it_IT.UTF-8", "it", "en_GB", "C", "POSIX"): Italian for
// an Italian one, else English (the language nothing is translated to).
Language language_of_locale(const std::string& locale);

// The language the POSIX environment asks for, as gettext reads it: the first of LANGUAGE (a
// list, "fr:it:en", whose first language the tool speaks counts), LC_ALL, LC_MESSAGES and LANG
// that is set and not empty; "C" and "POSIX" are English, and so is an environment with none.
// `variable` gives a variable's value, or null when it is not set.
Language language_from_environment(const std::function<const char*(const char*)>& variable);

// The current language's text of `english`, a message of the catalogue; `english` itself when
// the language is English or the catalogue has no translation of it. The text lives as long as
// the program.
const char* tr(const char* english);
// The same with {1}, {2}, ... filled in from `values`.
std::string tr(const char* english, std::initializer_list<std::string> values);
// The form of a message for the count `n`, by the language's plural rule (English: `singular`
// for 1, else `plural`), with {1}, {2}, ... filled in from `values`.
std::string tr_n(const char* singular, const char* plural, uint64_t n,
                 std::initializer_list<std::string> values);
// tr_mark (common/people_text.h) marks a message for the catalogue where it is written (a
// table of texts built before the language is known, a text of its own): it is translated where
// it is shown, with tr().
