// Arithmetic as the compiler's readers and stores need it: whole numbers that must fit their
// targets, and rounding to the nearest whole number with halves going to the even neighbour.
// A result that does not fit is a run-time failure of the reading step (RunTimeFailure).
#pragma once

#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/people_text.h"

// A run-time failure while the sources are read: a field that is not a number, a value out of
// range for its target, a read past the last field, a full table. Only the reading step's own
// handler catches it, and turns it into error code 25.
//
// Its words are `message`, marked with tr_mark, with {1}, {2}, ... filled in from `values`;
// what() is them in English. When `named`, the first value is the name of the value the reading
// failed on ("curve length"), marked with tr_mark where it is written, so that the authors'
// tool can say the whole failure in its language.
class RunTimeFailure : public std::runtime_error {
 public:
  RunTimeFailure(const char* message, std::initializer_list<std::string> values, bool named = false)
      : std::runtime_error(fill_placeholders(message, values)),
        message_(message),
        values_(values),
        named_(named) {}
  const char* message() const { return message_; }
  const std::vector<std::string>& values() const { return values_; }
  bool named() const { return named_; }

 private:
  const char* message_;
  std::vector<std::string> values_;
  bool named_;
};

// `value` as a T, or a RunTimeFailure naming `what` when it does not fit.
template <typename T>
T fit(int64_t value, const char* what) {
  if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
    throw RunTimeFailure(tr_mark("{1}: {2} is out of range"), {what, std::to_string(value)}, true);
  }
  return static_cast<T>(value);
}

// x rounded to the nearest whole number, halves to the even neighbour.
double round_half_even(double x);

// nearest(x) as a T: rounded half to even, a RunTimeFailure when it does not fit.
template <typename T>
T nearest(double x, const char* what) {
  const double rounded = round_half_even(x);
  if (!(rounded >= static_cast<double>(std::numeric_limits<T>::min()) &&
        rounded <= static_cast<double>(std::numeric_limits<T>::max()))) {
    throw RunTimeFailure(tr_mark("{1}: {2} is out of range"), {what, std::to_string(x)}, true);
  }
  return static_cast<T>(rounded);
}

// Sum and product of 32-bit values in 32 bits, failing on overflow.
inline int32_t add32(int64_t a, int64_t b, const char* what) {
  return fit<int32_t>(a + b, what);
}
inline int32_t mul32(int64_t a, int64_t b, const char* what) {
  return fit<int32_t>(a * b, what);
}
