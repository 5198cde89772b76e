#include "app/form1.h"

#include <new>

#include "app/exit_status.h"
#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/error_codes.h"
#include "documents/driver_documents.h"
#include "sources/line_source.h"
#include "sources/train_source.h"

const char kApplicationTitle[] = "Viterbo_Attigliano_7545";

// Tells this program from any other: the authors' tool gives out the built-in texts of an
// installer with no scenario appended only when it finds these bytes in the program itself.
// Defined with external linkage, so the program keeps it though nothing reads it at run time
// (the extract tests fail should a build ever drop it).
extern const char kInstallerMark[];
const char kInstallerMark[] = "\x7fscenario-installer-program-1\x7f";

platform::WindowSpec Form1::window_spec(const std::string& title) {
  platform::WindowSpec spec;
  spec.title = title;
  spec.label = "Attendere";
  spec.client_width = 4200;
  spec.client_height = 2688;
  spec.label_left = 960;
  spec.label_top = 960;
  spec.label_width = 2652;
  spec.label_height = 792;
  spec.font_family = "MS Sans Serif";
  spec.font_points = 24;
  spec.font_bold = true;
  return spec;
}

std::vector<std::string> Form1::written_file_names() const {
  return {line_source_name(scenario_),    train_source_name(scenario_), notes_name(scenario_),
          slowdown_order_name(scenario_), train_sheet_name(scenario_),  line_plan_name(scenario_),
          scenario_table_name(scenario_), track_cells_name(scenario_)};
}

void Form1::Form_Load() {
  try {
    run();
  } catch (const std::bad_alloc&) {
    // The stack has unwound: a file being written is as it was, its temporary file removed. The
    // texts held go before the report, which needs a little memory itself.
    payload_.reset();
    lock_.release();
    platform::report_fault(title(), std::string("out of memory while ") + doing_);
    platform::end_process(kExitOutOfMemory);
  }
}

void Form1::run() {
  report_oversized_writes_as_failures();
  scenario_.line_name = kShippedLineName;
  scenario_.train_number = kShippedTrainNumber;
  std::string executable;
  if (const std::error_code error = files->own_executable_path(&executable)) {
    stop_on_fault(Status::Error("cannot find the executable's directory: " + error.message()));
  }
  directory_ = directory_of(executable);

  // A scenario packaged with this installer takes the place of the built-in one; a damaged one
  // stops the run before anything is written.
  doing_ = "reading the scenario it carries";
  // A read that fails is a file fault like any other, never taken for a damaged installer.
  ExecutableFile program;
  stop_on_fault(program.open(executable, *files));
  ScenarioPayload payload;
  std::string why;
  const PayloadFound found = find_payload(program.reader(), program.size(), &payload, &why);
  stop_on_fault(program.read_status());
  switch (found) {
    case PayloadFound::kNone:
      break;
    case PayloadFound::kFound:
      payload_ = std::move(payload);
      scenario_ = payload_->scenario;
      break;
    case PayloadFound::kDamaged:
      platform::report_fault(kApplicationTitle, " Errore n. 1260: installer damaged: " + why);
      platform::end_process(kExitDamagedInstaller);
  }

  platform::show_window(window_spec(title()));

  // One run at a time in the folder (a double double-click starts two): the second waits here
  // until the first has ended. Holding the lock, the run may clear away the temporary files of
  // a run that was killed. A run ended by a signal takes its lock file and its temporary files
  // with it (under their first names; any other, the next run clears away).
  stop_on_fault(
      lock_.hold_for_writing(*files, directory_, written_file_names(), lock_wait_milliseconds));

  // The two sources first, the compiler needs them; then the documents for the driver.
  doing_ = "writing the sources and documents";
  write_texts();

  doing_ = "compiling the sources";
  int32_t j = 1;
  memorizza_percorso(j);

  lock_.release();
  platform::end_process(kExitComplete);
}

void Form1::memorizza_percorso(int32_t j) {
  CompileOptions options;
  options.directory = directory_;
  options.scenario = scenario_;
  options.build_plan = j != 0;
  options.files = files;
  const CompileResult result = ::memorizza_percorso(options, &compiled_);
  switch (result.end) {
    case CompileEnd::kCompleted:
      return;
    case CompileEnd::kIntegrityError:
      errore(std::to_string(result.integrity_error));
    case CompileEnd::kFileFault:
      stop_on_fault(result.status);
      return;
    case CompileEnd::kNothingCompiled:
      // Only sources changed behind the program's back can get here; never pass it off as done.
      lock_.release();
      platform::report_fault(title(), "no compiled file written: error " +
                                          std::to_string(compiled_.log.error.code) + ": " +
                                          error_meaning(compiled_.log.error.code));
      platform::end_process(kExitNothingCompiled);
  }
}

std::string Form1::title() const {
  return scenario_.line_name + "_" + scenario_.train_number;
}

void Form1::write_texts() {
  if (!payload_) {
    stop_on_fault(dati_linea(directory_, scenario_, *files));
    stop_on_fault(dati_treno(directory_, scenario_, *files));
    stop_on_fault(dati_note(directory_, scenario_, *files));
    stop_on_fault(dati_rallentamenti(directory_, scenario_, *files));
    stop_on_fault(dati_scheda(directory_, scenario_, *files));
    return;
  }
  // The packaged texts are already in their written form: Windows-1252, CR LF.
  const struct {
    std::string name;
    const std::string& bytes;
  } texts[] = {{line_source_name(scenario_), payload_->line_source},
               {train_source_name(scenario_), payload_->train_source},
               {notes_name(scenario_), payload_->notes},
               {slowdown_order_name(scenario_), payload_->slowdown_order},
               {train_sheet_name(scenario_), payload_->train_sheet}};
  for (const auto& text : texts)
    stop_on_fault(replace_file(path_in(directory_, text.name), text.bytes, *files));
}

void Form1::errore(const std::string& n) {
  lock_.release();
  platform::show_message(title(), " Errore n. " + n);
  platform::end_process(kExitCompiledOutput);
}

void Form1::stop_on_fault(const Status& status) {
  if (status.ok()) return;
  lock_.release();
  platform::report_fault(title(), status.message());
  platform::end_process(kExitFileFault);
}
