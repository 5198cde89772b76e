// Test-only: the installer's whole run with its Nth file operation failing (N from the command
// line, 0 for none), as a full disk or a failing drive would make it fail: writes fail with "no
// space left", everything else with an input/output error. A second argument, in milliseconds,
// replaces the time the run waits for another run working in its folder.
#include <cstdlib>

#include "app/form1.h"
#include "test_support/faulty_file_system.h"

int main(int argc, char** argv) {
  FaultyFileSystem files(platform_file_system(),
                         fail_the_nth_operation(argc > 1 ? std::atoi(argv[1]) : 0));
  Form1 form;
  form.files = &files;
  if (argc > 2) form.lock_wait_milliseconds = std::atoi(argv[2]);
  form.Form_Load();
}
