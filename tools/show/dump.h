// scenario-tool dump: the three compiled files read back and shown for people (or as JSON for
// scripts): the scenario table by role, every track cell that holds anything, and compact runs
// of the gradient, speed, adhesion and tunnel fields.
#pragma once

#include <string>

#include "common/scenario_identity.h"
#include "tools/render/text_sink.h"
#include "tools/show/compiled_files.h"

std::string dump_text(const CompiledScenario& compiled, const ScenarioIdentity& scenario);
// The same as JSON, written to `out` a record at a time; or returned whole.
void dump_json(const CompiledScenario& compiled, const ScenarioIdentity& scenario,
               const TextSink& out);
std::string dump_json(const CompiledScenario& compiled, const ScenarioIdentity& scenario);
