// The compiler's error state: a code (0 for none) and the position along the line, in metres,
// where it was found. A later problem overwrites an earlier one. The installer goes on whatever
// it holds, and names it only when nothing could be compiled; the authors' tool reports it.
#pragma once

#include <cstdint>

struct ErrorState {
  int32_t code = 0;
  int32_t position = 0;

  // Records a problem that has a place on the line.
  void set(int32_t new_code, int32_t new_position) {
    code = new_code;
    position = new_position;
  }
  // Records a problem without a place: the position keeps its last value.
  void set(int32_t new_code) { code = new_code; }
};
