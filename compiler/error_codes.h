// The codes the compiler records in its error state, and what each means to a scenario author.
#pragma once

#include <cstdint>

enum ErrorCode : int32_t {
  kNoError = 0,
  kRouteTooLong = 1,     // route length above 1,000,000 m
  kChainageNotOn50 = 2,  // a chainage reference off the 50 m grid
  kFirstRepetitionNotOn50 = 3,
  kSecondRepetitionNotOn50 = 4,
  kRepetitionCodeMissing = 5,  // repetition keyword with neither "4" nor "9"
  kSignboardCellTaken = 6,
  kRestrictionCellTaken = 7,  // "abbattimento" point on an occupied cell
  kStationNotOn50 = 8,
  kStationLengthNotOn100 = 9,
  kStationsMeetSignboards = 10,
  kNoRoomBeforeSignal = 11,
  kNoFreeApproachCell = 12,
  kNoFreeSpacingCell = 13,
  kBeyondCells = 15,  // a feature beyond (or before) the track cells
  kSignalCellTaken = 16,
  kWarningCellTaken = 17,
  kSlowdownStartCellTaken = 18,
  kSlowdownEndCellTaken = 19,
  kWarningBoardCellTaken = 20,
  kIndicatorCellTaken = 21,
  kStationsTooClose = 22,
  kStationEndTooEarly = 24,
  kRunTimeFailure = 25,
  kNoLineSource = 101,
  kNoGeneralSection = 102,
  kBadCurve = 103,       // curve without a curvature digit, or plan past 1,000,000 m
  kNoRouteLength = 104,  // the general section gave no route length
};

// One line in English saying what the code means, for people; "unknown error code" for codes
// the compiler never records.
const char* error_meaning(int32_t code);
