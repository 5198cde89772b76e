#include "compiler/error_codes.h"

const char* error_meaning(int32_t code) {
  switch (code) {
    case kNoError:
      return "no error";
    case kRouteTooLong:
      return "route length above 1,000,000 m";
    case kChainageNotOn50:
      return "a chainage reference has a position or value that is not a multiple of 50 m";
    case kFirstRepetitionNotOn50:
      return "first signal repetition distance is not a multiple of 50 m";
    case kSecondRepetitionNotOn50:
      return "second signal repetition distance is not a multiple of 50 m";
    case kRepetitionCodeMissing:
      return "signal repetition keyword names neither 4 nor 9 codes";
    case kSignboardCellTaken:
      return "a signboard falls on a 50 m cell that already holds an object";
    case kRestrictionCellTaken:
      return "an 'abbattimento' point falls on a 50 m cell that already holds an object";
    case kStationNotOn50:
      return "a station position is not a multiple of 50 m";
    case kStationLengthNotOn100:
      return "a station length is not a multiple of 100 m";
    case kStationsMeetSignboards:
      return "too many stations and signboard texts for the scenario table";
    case kNoRoomBeforeSignal:
      return "no room for a speed restriction point before a signal near a slowdown warning";
    case kNoFreeApproachCell:
      return "no free cell for a speed restriction point in an approach window before a slowdown";
    case kNoFreeSpacingCell:
      return "no free cell for a speed restriction point inside or after a slowdown";
    case kBeyondCells:
      return "a feature lies beyond the track cells of the route";
    case kSignalCellTaken:
      return "a signal falls on a 50 m cell that already holds an object";
    case kWarningCellTaken:
      return "a slowdown warning point falls on a 50 m cell that already holds an object";
    case kSlowdownStartCellTaken:
      return "a slowdown start falls on a 50 m cell that already holds an object";
    case kSlowdownEndCellTaken:
      return "a slowdown end falls on a 50 m cell that already holds an object";
    case kWarningBoardCellTaken:
      return "a slowdown warning board falls on a 50 m cell that already holds an object";
    case kIndicatorCellTaken:
      return "a speed indicator falls on a 50 m cell that already holds an object";
    case kStationsTooClose:
      return "a station starts less than 350 m after the end of the previous one";
    case kStationEndTooEarly:
      return "a station ends at 100 m or earlier";
    case kRunTimeFailure:
      return "the sources could not be read: a field is not a number, a value is out of range, "
             "a record is cut short at the end of the file, or a table is full";
    case kNoLineSource:
      return "no line source file";
    case kNoGeneralSection:
      return "the line source has no [generale] section";
    case kBadCurve:
      return "a curve keyword has no curvature digit 1 to 6, or the line plan passes 1,000,000 m";
    case kNoRouteLength:
      return "the general section of the line source gives no route length";
    default:
      return "unknown error code";
  }
}
