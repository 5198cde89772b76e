// 'scenario-tool extract': the two sources and three documents an installer carries, written
// byte for byte as the installer writes them, without compiling or deleting anything. And the
// writing of such a set of texts into a folder, which 'init' shares.
#pragma once

#include <string>
#include <vector>

#include "common/scenario_payload.h"
#include "tools/commands/command_arguments.h"

int extract(const ExtractArguments& a);

// What reading an installer's texts gave: nothing wrong, a file that could not be read, or a
// file refused as no installer or a damaged one (`refused`), with the message saying which.
struct InstallerRead {
  bool refused = false;
  std::string message;
  bool damaged = false;  // refused as an installer whose payload is damaged
  bool ok() const { return message.empty(); }
};

// The scenario `installer` carries: appended by 'package', or the shipped program's own texts.
InstallerRead read_installer(const std::string& installer, ScenarioPayload* payload);

// One text of a scenario: its file name (from the scenario's checked names) and its bytes, in
// their written form.
struct ScenarioText {
  std::string name;
  std::string bytes;
};

// What is wrong with `directory` as the folder that texts are written into, or nothing: it is a
// folder (or a link to one), or nothing is at its name and the folder that would hold it is
// there, so that write_scenario_texts() makes it, as `cargo new` does. A file or a link to
// anything but a folder is in the way; a missing folder above it is named, never made.
std::string folder_to_write_refusal(const std::string& directory);

// Writes `texts` into the folder `directory`, made first when folder_to_write_refusal() allowed
// it to be missing (its last part only), each replaced in one step, holding the folder's lock
// as compile does. A file already there at one of the names is left alone and
// nothing is written, unless `force`. Returns the command's exit status, having said on
// standard output what it wrote or on standard error why it wrote nothing.
int write_scenario_texts(const std::string& directory, const std::vector<ScenarioText>& texts,
                         bool force);
