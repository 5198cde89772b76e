// What a harness holds true of every input: a broken condition stops the run, naming it, so
// that libFuzzer keeps the input as a crash.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void fuzz_require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "failed: %s\n", what);
  std::abort();
}

#define REQUIRE(condition) fuzz_require(condition, #condition)
