// Test-only: calls the error report with the number given on the command line, as the compiled
// output step does when an integrity check fails.
#include <cstdio>

#include "app/form1.h"

int main(int argc, char** argv) {
  Form1 form;
  form.errore(argc > 1 ? argv[1] : "1250");
}
