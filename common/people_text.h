// Texts for people that the shared code gives back (a file that cannot be read, a lock another
// run holds, a damaged payload): written in English and marked with tr_mark so that the tool's
// message catalogue holds them. A program that speaks another language sets a translator; the
// installer sets none, so its texts stay as they are.
//
// Values go in as {1}, {2}, ... so that a translation may reorder them: a value whose
// placeholder the text lacks is not shown, and a placeholder with no value shows nothing.
#pragma once

#include <initializer_list>
#include <string>

// Marks a message for the catalogue where it is written; it is translated where it is shown.
// A macro, so that it can give a character array its text.
#define tr_mark(english) english

// The translation of `english`, or `english` itself; it lives as long as the program.
using TextTranslator = const char* (*)(const char* english);

// Sets the translator for people_text from here on (null: English). Set before threads start.
void set_text_translator(TextTranslator translator);

// `english`, marked with tr_mark, in the program's language.
const char* people_text(const char* english);
// The same with {1}, {2}, ... filled in from `values`.
std::string people_text(const char* english, std::initializer_list<std::string> values);

// `text` with each {N} (N from 1 to 9) replaced by the Nth of `values`, or by nothing when there
// are fewer values; any other brace stays as it is.
std::string fill_placeholders(const std::string& text, std::initializer_list<std::string> values);
