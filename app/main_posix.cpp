// The installer takes no input: no arguments, no environment, no configuration.
#include "app/form1.h"

int main() {
  Form1 form;
  form.Form_Load();
}
