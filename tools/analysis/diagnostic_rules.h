// The rules of scenario-tool's diagnostics: each error code of the compiler, each kind of the
// lint's and the timetable's warnings, and the tool's own faults, each once, with an id without
// blanks that tools and CI systems can key on, and what it means and what to do about it in
// words. SARIF lists them as its run's rules, and JSON names each diagnostic's rule by its id.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct DiagnosticRule {
  std::string id;    // "error-6", "station-out-of-order", "file"
  std::string code;  // the diagnostic's code it is the rule of: "6", "station out of order"
  bool error;        // an error by default; a warning otherwise (--werror makes it one)
  std::string short_description;
  std::string full_description;
  std::string help;
};

// Every rule, in a fixed order: the error codes in rising order, the warning kinds, the faults;
// its texts in the current language (tools/language/translation.h), its id and code the same in
// every language.
const std::vector<DiagnosticRule>& diagnostic_rules();

// The index in diagnostic_rules() of the rule of `code`; diagnostic_rules().size() when none
// has it.
size_t rule_index(const std::string& code);

// The id of the rule of `code`: the table's, or for a code the table lacks one made the same
// way ("error-" and the number, or the words in lower case joined by '-'); empty for no code.
std::string rule_id(const std::string& code);
