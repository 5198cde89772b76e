#include "tools/commands/extract_command.h"

#include <cstdio>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/folder_lock.h"
#include "common/scenario_identity.h"
#include "common/scenario_payload.h"
#include "documents/driver_documents.h"
#include "sources/line_source.h"
#include "sources/text_writer.h"
#include "sources/train_source.h"
#include "tools/commands/exit_status.h"
#include "tools/language/translation.h"
#include "tools/render/console.h"

namespace {

// The mark the installer program holds (see app/form1.cpp), kept here back to front so that
// this tool, which carries the built-in texts too, never passes for an installer itself.
constexpr char kInstallerMarkReversed[] =
    "\x7f"
    "1-margorp-rellatsni-oiranecs\x7f";

std::string installer_mark() {
  const std::string reversed = kInstallerMarkReversed;
  return std::string(reversed.rbegin(), reversed.rend());
}

// The texts of `payload` under the names of its scenario, in the order the installer writes them.
std::vector<ScenarioText> texts_of(const ScenarioPayload& payload) {
  const ScenarioIdentity& s = payload.scenario;
  return {{line_source_name(s), payload.line_source},
          {train_source_name(s), payload.train_source},
          {notes_name(s), payload.notes},
          {slowdown_order_name(s), payload.slowdown_order},
          {train_sheet_name(s), payload.train_sheet}};
}

// The built-in texts of the shipped installer, as it writes them.
ScenarioPayload built_in_texts() {
  ScenarioPayload p;
  p.scenario = {kShippedLineName, kShippedTrainNumber};
  p.line_source = document_bytes(line_source_lines());
  p.train_source = document_bytes(train_source_lines());
  p.notes = document_bytes(notes_lines());
  p.slowdown_order = document_bytes(slowdown_order_lines());
  p.train_sheet = document_bytes(train_sheet_lines());
  return p;
}

}  // namespace

InstallerRead read_installer(const std::string& installer, ScenarioPayload* payload) {
  // Read a part at a time, as the installer reads itself: memory holds the texts and one part,
  // never the whole program. A read that fails is a file fault, never taken for damage.
  ExecutableFile program;
  const Status opened = program.open(installer);
  if (!opened.ok()) return {false, opened.message()};
  const uint64_t size = program.size();
  const ExecutableReader reader = program.reader();
  const std::string& head = program.head();
  const std::string not_installer =
      tr("{1} is not a scenario installer (neither the shipped installer program nor one made by "
         "'scenario-tool package')",
         {installer});
  const bool executable = head.compare(0, 2, "MZ") == 0 || head.compare(0, 4,
                                                                        "\x7f"
                                                                        "ELF") == 0;
  if (!executable) return {true, not_installer};

  // A payload is read as the installer reads it, and refused for the same reasons.
  std::string why;
  const PayloadFound found = find_payload(reader, size, payload, &why);
  if (!program.read_status().ok()) return {false, program.read_status().message()};
  switch (found) {
    case PayloadFound::kFound:
      break;
    case PayloadFound::kDamaged:
      // TRANSLATORS: {2} says what is damaged.
      return {true, tr("{1}: installer damaged: {2}", {installer, why}), true};
    case PayloadFound::kNone: {
      // Nothing appended: its texts are the built-in ones only if it is the installer program,
      // which holds the mark. The program is looked through a part at a time, each part
      // overlapping the one before by the mark's length less one.
      const std::string mark = installer_mark();
      constexpr size_t kPart = size_t{1} << 20;
      bool marked = false;
      std::string part;
      for (uint64_t at = 0; !marked && at < size; at += kPart - (mark.size() - 1)) {
        if (!reader(at, kPart, &part)) return {false, program.read_status().message()};
        marked = part.find(mark) != std::string::npos;
        if (part.size() < kPart) break;
      }
      if (!marked) return {true, not_installer};
      *payload = built_in_texts();
      break;
    }
  }
  return {};
}

int extract(const ExtractArguments& a) {
  const std::string& installer = a.common.directory;
  if (a.output.empty()) return usage_error(tr("extract needs -o DIR, the folder to write into"));
  const std::string refused = folder_to_write_refusal(a.output);
  if (!refused.empty()) return usage_error(refused);
  ScenarioPayload payload;
  const InstallerRead read = read_installer(installer, &payload);
  if (!read.ok()) {
    if (!read.refused) return file_fault(read.message);
    return file_fault(read.message +
                      (read.damaged ? tr("; nothing written") : tr(": nothing written")));
  }
  return write_scenario_texts(a.output, texts_of(payload), a.force);
}

std::string folder_to_write_refusal(const std::string& directory) {
  const auto is_folder = [](const std::string& path) {
    return file_exists(path) && !is_regular_file(path);
  };
  if (is_folder(directory)) return "";
  // The name itself, without trailing separators: given with one, a link there is followed.
  std::string name = directory;
  while (name.size() > 1 && (name.back() == '/' || name.back() == kPathSeparator) &&
         name[name.size() - 2] != ':') {
    name.pop_back();
  }
  std::string target;
  if (is_symbolic_link(name, &target)) {
    return tr("{1} is a link to {2}, not a directory", {name, target});
  }
  if (name_taken(name)) return tr("{1} is not a directory", {name});
  // Only the last folder is made: one further up that is missing is more likely a mistyped
  // name than a tree to build.
  const std::string holder = folder_of(name);
  if (!name_taken(holder)) return tr("cannot make {1}: {2} does not exist", {name, holder});
  if (!is_folder(holder)) return tr("cannot make {1}: {2} is not a directory", {name, holder});
  return "";
}

int write_scenario_texts(const std::string& directory, const std::vector<ScenarioText>& texts,
                         bool force) {
  // The folder is made only now that there is something to write into it. Made by another
  // process meanwhile, it is used as one found there.
  if (!name_taken(directory)) {
    const Status made = make_folder(directory);
    if (!made.ok() && (!file_exists(directory) || is_regular_file(directory))) {
      return file_fault(made.message());
    }
    if (made.ok()) write_output(Stream::kOut, tr("made {1}", {directory}) + "\n");
  }
  std::vector<std::string> names;
  for (const ScenarioText& text : texts) names.push_back(text.name);
  // One run at a time in the folder, as compile and the installer take it: a compile or an
  // installer run there never reads a source half replaced.
  FolderLock lock;
  const Status locked = lock.hold_for_writing(directory, names, kLockWaitMilliseconds);
  if (!locked.ok()) return file_fault(locked.message());
  // Anything at a name is there, a link whose target is missing included; --force replaces the
  // link itself (replace_file renames over the name), never the file it leads to.
  if (!force) {
    std::string there;
    for (const std::string& name : names) {
      const std::string path = path_in(directory, name);
      if (!name_taken(path)) continue;
      std::string target;
      there += (there.empty() ? "" : ", ") + name +
               (is_symbolic_link(path, &target) ? tr(" (a link to {1})", {target}) : "");
    }
    if (!there.empty()) {
      return file_fault(
          tr("already in {1}: {2}; nothing written (--force replaces them)", {directory, there}));
    }
  }
  for (const ScenarioText& text : texts) {
    const std::string path = path_in(directory, text.name);
    const Status written = replace_file(path, text.bytes);
    if (!written.ok()) return file_fault(written.message());
    write_output(Stream::kOut, tr("wrote {1}", {path}) + "\n");
  }
  return kExitClean;
}
