// Test-only: the installer's whole run with its Nth file operation failing (N from the command
// line, 0 for none), as a full disk or a failing drive would make it fail: writes fail with "no
// space left", everything else with an input/output error. A second argument, in milliseconds,
// replaces the time the run waits for another run working in its folder.
#include <cerrno>
#include <cstdlib>

#include "app/form1.h"
#include "common/file_io.h"

namespace {

int g_operations = 0;
int g_failing = 0;

int fail_the_nth(FileOperation operation, const std::string&) {
  if (++g_operations != g_failing) return 0;
  return operation == FileOperation::kWrite ? ENOSPC : EIO;
}

}  // namespace

int main(int argc, char** argv) {
  g_failing = argc > 1 ? std::atoi(argv[1]) : 0;
  set_file_fault_hook(fail_the_nth);
  Form1 form;
  if (argc > 2) form.lock_wait_milliseconds = std::atoi(argv[2]);
  form.Form_Load();
}
