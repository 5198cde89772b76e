// Test-only: shows the installer's window through the platform layer, says so on standard
// output, and keeps it on screen for the number of seconds given (default 30) so that a test can
// look at it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/form1.h"

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 30;
  platform::show_window(Form1::window_spec());
  std::printf("shown\n");
  std::fflush(stdout);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return 0;
}
