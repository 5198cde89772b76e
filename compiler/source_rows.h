// The rows of the sources that the readers stored, and where each stands: what lets the authors'
// tools lead from a compiled object back to its source line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "compiler/problem_log.h"

enum class RowKind {
  kGradient,          // position, a = gradient
  kCurve,             // start, a = length, b = curvature in 1/10000 a metre, negative to the left
  kTunnel,            // start, a = end, b = kind as stored
  kSpeedIndicator,    // position, a = its cell
  kSignboard,         // position, a = its cell, b = its table entry
  kSpeedLimit,        // position, a = speed in km/h
  kAdhesion,          // position, a = adhesion
  kSignal,            // position, a = its cell
  kSlowdown,          // start, a = speed in km/h, b = length
  kRestrictionPoint,  // position, a = value, b = its cell
  kStation,           // position, a = its table entry, b = kind
  kChainage,          // position, a = chainage value, b = flag (a general row)
};

struct SourceRow {
  RowKind kind = RowKind::kGradient;
  ProblemSource source = ProblemSource::kNone;
  size_t offset = 0;  // byte offset of the row's keyword field in its source
  int32_t position = 0;
  int32_t a = 0;
  int32_t b = 0;
};
