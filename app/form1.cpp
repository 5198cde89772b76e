#include "app/form1.h"

#include "app/exit_status.h"
#include "common/file_io.h"
#include "common/file_path.h"
#include "compiler/error_codes.h"
#include "documents/driver_documents.h"
#include "sources/line_source.h"
#include "sources/train_source.h"

const char kApplicationTitle[] = "Viterbo_Attigliano_7545";

platform::WindowSpec Form1::window_spec() {
  platform::WindowSpec spec;
  spec.title = kApplicationTitle;
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
  report_oversized_writes_as_failures();
  scenario_.line_name = kShippedLineName;
  scenario_.train_number = kShippedTrainNumber;
  stop_on_fault(platform::executable_directory(&directory_));

  platform::show_window(window_spec());

  // One run at a time in the folder (a double double-click starts two): the second waits here
  // until the first has ended. Holding the lock, the run may clear away the temporary files of
  // a run that was killed.
  stop_on_fault(
      lock_.acquire(path_in(directory_, lock_file_name(scenario_)), lock_wait_milliseconds));
  remove_leftover_temporaries(directory_, written_file_names());

  // The two sources first, the compiler needs them; then the documents for the driver.
  stop_on_fault(dati_linea(directory_, scenario_));
  stop_on_fault(dati_treno(directory_, scenario_));
  stop_on_fault(dati_note(directory_, scenario_));
  stop_on_fault(dati_rallentamenti(directory_, scenario_));
  stop_on_fault(dati_scheda(directory_, scenario_));

  int32_t j = 1;
  memorizza_percorso(j);

  lock_.release();
  platform::end_process(kExitComplete);
}

void Form1::memorizza_percorso(int32_t& j) {
  compiler_.directory = directory_;
  compiler_.scenario = scenario_;
  const CompileResult result = compiler_.memorizza_percorso(j);
  switch (result.end) {
    case CompileEnd::kWritten:
      return;
    case CompileEnd::kIntegrityError:
      errore(std::to_string(result.integrity_error));
    case CompileEnd::kFileFault:
      stop_on_fault(result.status);
      return;
    case CompileEnd::kNothingCompiled:
      // Only sources changed behind the program's back can get here; never pass it off as done.
      lock_.release();
      platform::report_fault(kApplicationTitle, "no compiled file written: error " +
                                                    std::to_string(compiler_.error.code) + ": " +
                                                    error_meaning(compiler_.error.code));
      platform::end_process(kExitNothingCompiled);
  }
}

void Form1::errore(const std::string& n) {
  lock_.release();
  platform::show_message(kApplicationTitle, " Errore n. " + n);
  platform::end_process(kExitCompiledOutput);
}

void Form1::stop_on_fault(const Status& status) {
  if (status.ok()) return;
  lock_.release();
  platform::report_fault(kApplicationTitle, status.message());
  platform::end_process(kExitFileFault);
}
