#include "compiler/error_codes.h"

#include "common/people_text.h"

const char* error_meaning(int32_t code) {
  switch (code) {
    case kNoError:
      return tr_mark("no error");
    case kRouteTooLong:
      return tr_mark("route length above 1,000,000 m");
    case kChainageNotOn50:
      return tr_mark("a chainage reference has a position or value that is not a multiple of 50 m");
    case kFirstRepetitionNotOn50:
      return tr_mark("first signal repetition distance is not a multiple of 50 m");
    case kSecondRepetitionNotOn50:
      return tr_mark("second signal repetition distance is not a multiple of 50 m");
    case kRepetitionCodeMissing:
      return tr_mark("signal repetition keyword names neither 4 nor 9 codes");
    case kSignboardCellTaken:
      return tr_mark("a signboard falls on a 50 m cell that already holds an object");
    case kRestrictionCellTaken:
      return tr_mark("an 'abbattimento' point falls on a 50 m cell that already holds an object");
    case kStationNotOn50:
      return tr_mark("a station position is not a multiple of 50 m");
    case kStationLengthNotOn100:
      return tr_mark("a station length is not a multiple of 100 m");
    case kStationsMeetSignboards:
      return tr_mark("too many stations and signboard texts for the scenario table");
    case kNoRoomBeforeSignal:
      return tr_mark(
          "no room for a speed restriction point before a signal near a slowdown warning");
    case kNoFreeApproachCell:
      return tr_mark(
          "no free cell for a speed restriction point in an approach window before a slowdown");
    case kNoFreeSpacingCell:
      return tr_mark("no free cell for a speed restriction point inside or after a slowdown");
    case kBeyondCells:
      return tr_mark("a feature lies beyond the track cells of the route");
    case kSignalCellTaken:
      return tr_mark("a signal falls on a 50 m cell that already holds an object");
    case kWarningCellTaken:
      return tr_mark("a slowdown warning point falls on a 50 m cell that already holds an object");
    case kSlowdownStartCellTaken:
      return tr_mark("a slowdown start falls on a 50 m cell that already holds an object");
    case kSlowdownEndCellTaken:
      return tr_mark("a slowdown end falls on a 50 m cell that already holds an object");
    case kWarningBoardCellTaken:
      return tr_mark("a slowdown warning board falls on a 50 m cell that already holds an object");
    case kIndicatorCellTaken:
      return tr_mark("a speed indicator falls on a 50 m cell that already holds an object");
    case kStationsTooClose:
      return tr_mark("a station starts less than 350 m after the end of the previous one");
    case kStationEndTooEarly:
      return tr_mark("a station ends at 100 m or earlier");
    case kRunTimeFailure:
      return tr_mark(
          "the sources could not be read: a field is not a number, a value is out of range, "
          "a record is cut short at the end of the file, or a table is full");
    case kNoLineSource:
      return tr_mark("no line source file");
    case kNoGeneralSection:
      return tr_mark("the line source has no [generale] section");
    case kBadCurve:
      return tr_mark(
          "a curve keyword has no curvature digit 1 to 6, or the line plan passes 1,000,000 m");
    case kNoRouteLength:
      return tr_mark("the general section of the line source gives no route length");
    default:
      return tr_mark("unknown error code");
  }
}
