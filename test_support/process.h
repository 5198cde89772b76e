// Starts a program as a child process, as a user would, and collects how it ended and what it
// printed. Used by the tests that run whole executables.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct ProcessOptions {
  std::string working_directory;  // empty: the test's own
  std::vector<std::string> unset_environment;
  std::vector<std::pair<std::string, std::string>> set_environment;
};

struct ProcessResult {
  bool exited = false;   // ended by exit() rather than by a signal or still running
  int exit_status = -1;  // when exited
  int signal = 0;        // when killed by a signal
  std::string out;
  std::string err;
};

class ChildProcess {
 public:
  ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options);
  ~ChildProcess();  // kills the child if it is still running
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Waits up to `timeout_ms` (forever when negative) for the child to end; false on time-out.
  bool wait(int timeout_ms, ProcessResult* result);
  void kill();
  // Sends `signal_number` to the child, if it has not been waited for.
  void send_signal(int signal_number);

 private:
  int pid_ = -1;
  std::string out_path_;
  std::string err_path_;
};

// Runs the program to its end.
ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options = {});
