// 'scenario-tool init': a small starter scenario under the author's names, both sources and the
// three documents, that checks with no warning and packages as it is.
#pragma once

#include <string>
#include <vector>

#include "tools/commands/command_arguments.h"
#include "tools/commands/extract_command.h"

int init(const InitArguments& a);

// The starter's five texts under the names of `scenario` (checked names, Windows-1252 text), in
// their written form.
std::vector<ScenarioText> starter_texts(const ScenarioIdentity& scenario);
