// A fresh directory for one test, removed with everything in it when the object goes.
#pragma once

#include <string>
#include <vector>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // Full path of `name` inside the directory.
  std::string file(const std::string& name) const;
  // Names of the entries in the directory, sorted.
  std::vector<std::string> list() const;

 private:
  std::string path_;
};

// Every file and folder under `root`, as paths relative to it, sorted: what a run left anywhere
// below a folder.
std::vector<std::string> everything_under(const std::string& root);

// The whole content of the file at `path`; fails the current test when it cannot be read.
std::string read_file_bytes(const std::string& path);

// Writes `bytes` to `path`, replacing any file there.
void write_file_bytes(const std::string& path, const std::string& bytes);
