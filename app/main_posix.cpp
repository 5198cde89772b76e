// The installer takes no input: no arguments, no environment, no configuration.
#include <new>

#include "app/exit_status.h"
#include "app/form1.h"

int main() {
  try {
    Form1 form;
    form.Form_Load();
  } catch (const std::bad_alloc&) {
    // Before the run began: the run reports its own.
    platform::report_fault(kApplicationTitle, "out of memory while starting");
    platform::end_process(kExitOutOfMemory);
  }
}
