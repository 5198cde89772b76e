// The installer's single window and the run it drives from its load handler: write the
// scenario's text sources and driver documents beside the executable, compile the sources, end.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"
#include "common/file_system.h"
#include "common/folder_lock.h"
#include "common/scenario_identity.h"
#include "common/scenario_payload.h"
#include "common/status.h"
#include "compiler/scenario_compiler.h"

// The program's name: the window's title and the caption of its messages.
extern const char kApplicationTitle[];

class Form1 {
 public:
  // The whole run, from the scenario identity to the end of the process. Never returns.
  // Memory running out ends it with one line saying while doing what.
  [[noreturn]] void Form_Load();

  // Shows " Errore n. " followed by `n` in a message box, then ends the process with a failure
  // status. Never returns.
  [[noreturn]] void errore(const std::string& n);

  // Compiles the two sources beside the executable into the simulator's files; with a
  // non-zero `j` the line plan too. Ends the run when the compilation cannot complete.
  void memorizza_percorso(int32_t j);

  // The window as designed: a label "Attendere" in a large bold font, titled `title`.
  static platform::WindowSpec window_spec(const std::string& title = kApplicationTitle);

  // How long the run waits for another run working in its folder (the test probes shorten it).
  int lock_wait_milliseconds = kLockWaitMilliseconds;

  // Every file the run reads, writes or deletes goes through it, the compiler's included (the
  // test probes hand one that fails chosen operations), its lock and its own path included.
  FileSystem* files = &platform_file_system();

 private:
  // The run itself, which Form_Load() guards against memory running out.
  [[noreturn]] void run();

  // Ends the run with a report of the fault when `status` failed.
  void stop_on_fault(const Status& status);

  // The program's title for this scenario: "<line>_<train>".
  std::string title() const;
  // The five texts: the built-in ones, or those of a scenario packaged with the installer.
  void write_texts();
  // The names of every file the run writes, sources included.
  std::vector<std::string> written_file_names() const;

  // Held from before the first file is written until the run ends; let go before any message
  // box, so that a run waiting in the folder need not wait for the user.
  FolderLock lock_;

  ScenarioIdentity scenario_{kShippedLineName, kShippedTrainNumber};
  std::string directory_;
  // A scenario that 'scenario-tool package' appended to this installer, when there is one.
  std::optional<ScenarioPayload> payload_;
  // What the compilation built: its records are large, so they live as long as the window.
  Compilation compiled_;
  // What the run is doing, for the report when memory runs out.
  const char* doing_ = "starting";
};
