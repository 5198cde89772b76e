// Result of an operation that can fail for a reason outside the program, such as a file that
// cannot be written. An ok status carries nothing; a failed one carries a one-line message that
// names what failed and why, ready to be shown to the user as it is.
#pragma once

#include <string>
#include <utility>

class Status {
 public:
  Status() = default;

  static Status Ok() { return Status(); }
  static Status Error(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }

 private:
  explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  std::string message_;
};
