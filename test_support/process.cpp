#include "test_support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

std::string capture_file(const char* stream) {
  std::string pattern = (std::filesystem::temp_directory_path() / "child-").string();
  pattern += stream;
  pattern += "-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd >= 0) close(fd);
  return pattern;
}

std::string slurp_and_remove(const std::string& path) {
  std::string text;
  {
    std::ifstream in(path, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(path.c_str());
  return text;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, const ProcessOptions& options)
    : out_path_(capture_file("out")), err_path_(capture_file("err")) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_ = fork();
  if (pid_ != 0) return;
  // Child: only async-signal-safe work from here on until exec.
  if (!options.working_directory.empty() && chdir(options.working_directory.c_str()) != 0)
    _exit(126);
  // The signals that end a run, as a user's shell hands them over, whatever the test runner
  // made of them.
  for (int signal_number : {SIGTERM, SIGINT, SIGHUP}) signal(signal_number, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  for (const auto& name : options.unset_environment) unsetenv(name.c_str());
  for (const auto& [name, value] : options.set_environment) setenv(name.c_str(), value.c_str(), 1);
  const int in = open("/dev/null", O_RDONLY);
  const int out = open(out_path_.c_str(), O_WRONLY | O_TRUNC);
  const int err = open(err_path_.c_str(), O_WRONLY | O_TRUNC);
  if (in < 0 || out < 0 || err < 0) _exit(126);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  execv(args[0], args.data());
  _exit(127);
}

ChildProcess::~ChildProcess() {
  kill();
  std::remove(out_path_.c_str());
  std::remove(err_path_.c_str());
}

bool ChildProcess::wait(int timeout_ms, ProcessResult* result) {
  if (pid_ <= 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid_, &status, timeout_ms < 0 ? 0 : WNOHANG);
    if (done == pid_) break;
    if (done < 0 && errno == EINTR) continue;  // a signal to the test itself: wait on
    if (done < 0) return false;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  result->exited = WIFEXITED(status);
  result->exit_status = result->exited ? WEXITSTATUS(status) : -1;
  result->signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  result->out = slurp_and_remove(out_path_);
  result->err = slurp_and_remove(err_path_);
  return true;
}

void ChildProcess::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

void ChildProcess::send_signal(int signal_number) {
  if (pid_ > 0) ::kill(pid_, signal_number);
}

ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& options) {
  ChildProcess child(argv, options);
  ProcessResult result;
  child.wait(-1, &result);
  return result;
}
