// Test-only, POSIX: the installer's whole run, stopped for good at its first write, as a run
// hung on a slow disk would be: it holds the folder's lock, and the temporary file of its first
// source exists, until a signal ends it.
#include <unistd.h>

#include "app/form1.h"
#include "test_support/faulty_file_system.h"

int main() {
  FaultyFileSystem files(platform_file_system(), [](FileOperation operation, const std::string&) {
    if (operation == FileOperation::kWrite) {
      for (;;) pause();
    }
    return 0;
  });
  Form1 form;
  form.files = &files;
  form.Form_Load();
}
