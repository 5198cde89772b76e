#include "tools/analysis/diagnostic_rules.h"

#include <cctype>
#include <map>

#include "compiler/error_codes.h"

namespace {

// What an error code's rule adds to its meaning (compiler/error_codes.cpp): why, and what to do.
struct ErrorRule {
  ErrorCode code;
  const char* full;  // said after the meaning
  const char* help;
};

const ErrorRule kErrorRules[] = {
    {kRouteTooLong, "The track cells cover at most 1,000,000 m of route.",
     "Give the route length in the general section as 1,000,000 m or less."},
    {kChainageNotOn50,
     "It is checked once both sources are read; its position and its value (with the flag's "
     "metres added) must fall on the 50 m grid.",
     "Move the chainage reference, or change its value, to a multiple of 50 m."},
    {kFirstRepetitionNotOn50, "Signal repetitions are placed on the 50 m grid.",
     "Write the first repetition distance as a multiple of 50 m."},
    {kSecondRepetitionNotOn50, "Signal repetitions are placed on the 50 m grid.",
     "Write the second repetition distance as a multiple of 50 m."},
    {kRepetitionCodeMissing, "The keyword of a signal repetition row names its codes, 4 or 9.",
     "Write the keyword with 4 or 9 in it."},
    {kSignboardCellTaken, "Each 50 m cell holds one object.",
     "Move the signboard, or the object already there, by 50 m or more."},
    {kRestrictionCellTaken, "Each 50 m cell holds one object.",
     "Move the 'abbattimento' point, or the object already there, by 50 m or more."},
    {kStationNotOn50, "A station's position falls on the 50 m grid.",
     "Write the station's position as a multiple of 50 m."},
    {kStationLengthNotOn100, "A station's length is counted in 100 m.",
     "Write the station's length as a multiple of 100 m."},
    {kStationsMeetSignboards,
     "Stations and signboard texts share the entries of the scenario table.",
     "Leave out stations or signboards."},
    {kNoRoomBeforeSignal,
     "A slowdown's warning near a signal needs a free cell before the signal for its speed "
     "restriction point.",
     "Move the slowdown or the signal so that a cell before the signal stays free."},
    {kNoFreeApproachCell,
     "A slowdown needs a free cell in the window before it for a speed restriction point.",
     "Move the objects before the slowdown apart, or move the slowdown."},
    {kNoFreeSpacingCell,
     "A slowdown needs free cells inside and after it for its speed restriction points.",
     "Move the objects inside and after the slowdown apart, or move the slowdown."},
    {kBeyondCells,
     "Features keep a margin before the last track cell, stations a wider one; the route "
     "length sets the last cell.",
     "Move the feature back within the route, or lengthen the route."},
    {kSignalCellTaken, "Each 50 m cell holds one object.",
     "Move the signal, or the object already there, by 50 m or more."},
    {kWarningCellTaken,
     "Each 50 m cell holds one object; a slowdown's warning point lies before it.",
     "Move the slowdown, or the object in its warning point's cell, by 50 m or more."},
    {kSlowdownStartCellTaken, "Each 50 m cell holds one object.",
     "Move the slowdown, or the object already there, by 50 m or more."},
    {kSlowdownEndCellTaken, "Each 50 m cell holds one object.",
     "Change the slowdown's length, or move the object already there, by 50 m or more."},
    {kWarningBoardCellTaken, "Each 50 m cell holds one object.",
     "Move the slowdown, or the object in its warning board's cell, by 50 m or more."},
    {kIndicatorCellTaken, "Each 50 m cell holds one object.",
     "Move the speed indicator, or the object already there, by 50 m or more."},
    {kStationsTooClose, "Stations keep at least 350 m between them.",
     "Move the station on, or shorten the one before it."},
    {kStationEndTooEarly, "A station's end lies past 100 m.",
     "Move the station on, or lengthen it."},
    {kRunTimeFailure,
     "The reading stops at the first field it cannot take; the diagnostic says which and why.",
     "Mend the field named: a number where a number is due, a value its field can hold, every "
     "value of the row."},
    {kNoLineSource, "A scenario is compiled from its line source and its train source.",
     "Name the line with --line, or put its source <line>_linea.txt in the folder."},
    {kNoGeneralSection, "The line source opens with its [generale] section.",
     "Begin the line source with [generale] and the route length."},
    {kBadCurve,
     "A curve keyword holds its curvature as a digit from 1 (the widest) to 6 (the sharpest); "
     "the line plan reaches at most 1,000,000 m.",
     "Write the curve keyword with a digit 1 to 6, as 'curvad4'."},
    {kNoRouteLength, "The route length sets the track cells.",
     "Give the route length in the general section: 'lunghezza percorso, <metres>'."},
};

// A warning kind of the lint or the timetable: its rule's texts.
struct WarningRule {
  const char* kind;
  const char* short_description;
  const char* full;
  const char* help;
};

const char kOutOfOrderFull[] =
    " row starts at or before the one before it: rows of a kind are compiled in the order they "
    "come, not sorted.";
const char kOutOfOrderHelp[] = "Put the rows of the kind in rising order of position.";

// The kinds of rows whose order the lint checks; each has its kind "<name> out of order".
// Only those whose order changes what is compiled: the runs laid with a cursor that moves
// forward, tunnels (one that starts before the one read before it ends takes kind 3) and
// stations (error 22); rows that put one object in a cell may come in any order.
const char* const kOrderedRows[] = {"gradient",    "curve",          "tunnel",
                                    "speed limit", "adhesion point", "station"};

const WarningRule kWarningRules[] = {
    {"curve overlapping the previous one", "A curve starts before the previous one ends.",
     "The line plan draws the curves one after the other as they come, so the overlap bends "
     "the line more than meant.",
     "Start the curve where the previous one ends, or shorten the previous one."},
    {"tunnel overlapping the previous one", "A tunnel starts before the previous one ends.",
     "Overlapping tunnels are compiled as they come.",
     "Start the tunnel after the previous one ends."},
    {"field matching no keyword", "A field matches no keyword and is passed over.",
     "The readers pass over a field they do not know without a word, so a misspelt keyword "
     "loses its whole row.",
     "Spell the keyword as the format has it (the warning names the closest), or remove the "
     "field."},
    {"comment", "A field written as a comment.",
     "The source format has no comments: the field is passed over when it holds no keyword and "
     "read as its row, numbers and all, when it does.",
     "Remove the field, or make sure it holds no keyword."},
    {"speed not a multiple of 5", "A speed that is not a multiple of 5 km/h.",
     "Speeds are stored in fifths of km/h: the value is compiled as the nearest one stored.",
     "Write the speed as a multiple of 5 km/h."},
    {"UTF-8 text", "A text the simulator shows is written in UTF-8.",
     "The simulator reads Windows-1252: characters beyond ASCII written in UTF-8 show as other "
     "characters.",
     "Save the source in Windows-1252."},
    {"tab in a field", "A tab inside a field.",
     "Only blanks are skipped around a field: a tab stays part of it, so a number field is no "
     "number and a text shows the tab.",
     "Use blanks instead of tabs."},
    {"fraction rounded away", "A number with a fraction.",
     "Numbers are whole: the fraction is rounded away, halves to the even one.",
     "Write a whole number."},
    {"decimal comma", "A decimal comma splits a number in two.",
     "A comma separates fields: the digits after it are read as a stray field, passed over.",
     "Write the fraction with a point, or a whole number."},
    {"curve side from a word", "A curve's side comes from a letter of a longer word.",
     "An 's' anywhere in a curve keyword turns the curve left.",
     "Write the curve keyword as 'curvad<digit>' or 'curvas<digit>'."},
    {"signboard without its text", "A signboard row without its text.",
     "A signboard's text follows its numbers: where it is missing, the signboard shows no text "
     "of its own, or takes the next row's keyword as its text and that row is lost.",
     "Give the signboard its text."},
    {"gradient out of range", "A gradient outside -100 to 155 per mille.",
     "A gradient outside what its field holds wraps: another gradient is compiled.",
     "Give a gradient from -100 to 155 per mille."},
    {"tunnel kind out of range", "A tunnel kind beyond what its field holds.",
     "The kind (less 10 above 10, which adds markers) is stored in 8 bits and wraps.",
     "Give a tunnel kind the field holds."},
    {"tunnel ending before it starts", "A tunnel ends before it starts.",
     "A tunnel whose end lies before its start is counted but marks no cell.",
     "Give the tunnel an end after its start."},
    {"stripes out of range", "A speed indicator's stripes beyond what their field holds.",
     "The first number of stripes times 10 plus the second is stored in 16 bits: outside "
     "-32768 to 32767 it wraps.",
     "Give stripes whose value lies from -32768 to 32767."},
    {"minutes or seconds of 60 or more", "A time with minutes or seconds of 60 or more.",
     "In a station's time they are carried over into the next minute or hour; the clock "
     "stores them as they are: either way the time is not the one it reads.",
     "Write minutes and seconds from 0 to 59."},
    {"adhesion out of range", "An adhesion outside 0 to 255.",
     "An adhesion is stored in 8 bits: outside 0 to 255 it wraps.",
     "Give an adhesion from 0 to 255."},
    {"restriction value out of range", "An 'abbattimento' value beyond 32767.",
     "An 'abbattimento' value is stored in 16 bits: beyond 32767 it wraps.",
     "Give a value of 32767 or less."},
    {"station without a name", "A station row without its name.",
     "A station's name follows its numbers: where it is empty, a section header or a number, "
     "the station shows no name of its own.",
     "Give the station its name."},
    {"station name with a comma", "A station name holding a comma.",
     "A comma ends the field: the name is cut there and the rest is a field of its own.",
     "Write the name without a comma."},
    {"station name that is a record keyword", "A station name that is a record keyword.",
     "The name is taken as the station's, though it reads as the start of a row: a field of the "
     "row is likely missing.",
     "Check the station row's numbers and give the station its own name."},
    {"station before the start clock", "The first station past 0 m comes before the start clock.",
     "The train stands at the start when the clock starts; a station time before it is a train "
     "starting late.",
     "Give the station a time after the start clock, or set the clock earlier."},
    {"station time earlier than the one before",
     "A station's time is earlier than the one before it in the timetable.",
     "The timetable runs in the order of its stations; a time less than half a day earlier is "
     "taken as earlier, not as one past midnight.",
     "Give the station a time after the one before it."},
    {"station time below the least running time",
     "A station's time leaves less than the least running time from the one before.",
     "The least running time is every 50 m cell between the two stations run at its line "
     "speed, with no acceleration, braking or standing time: no train makes it in less.",
     "Give the station a later time, or the line between a higher speed."},
};

std::vector<DiagnosticRule> make_rules() {
  std::vector<DiagnosticRule> rules;
  for (const ErrorRule& e : kErrorRules) {
    const std::string meaning = error_meaning(e.code);
    rules.push_back({"error-" + std::to_string(e.code), std::to_string(e.code), true, meaning,
                     "Error " + std::to_string(e.code) + ": " + meaning + ". " + e.full, e.help});
  }
  // The integrity check of the compiled output, whose numbers the installer shows too.
  for (const int code : {1250, 1251}) {
    const std::string slot = code == 1250 ? "version" : "checksum";
    rules.push_back(
        {"error-" + std::to_string(code), std::to_string(code), true,
         "The " + slot + " slot of table entry 85 or of track cell 1 is already taken.",
         "Errore n. " + std::to_string(code) + ": the compiler stamps the " + slot +
             " into table entry 85 and track cell 1 (0 to 50 m) last, and finds that a row wrote "
             "there first; it writes no compiled file.",
         "Move the row that writes there (a speed board, signboard or signal at 0 to 50 m) past "
         "the first 50 m."});
  }
  for (const char* name : kOrderedRows) {
    const std::string kind = std::string(name) + " out of order";
    rules.push_back({rule_id(kind), kind, false, "A " + std::string(name) + " row out of order.",
                     "A " + std::string(name) + kOutOfOrderFull, kOutOfOrderHelp});
  }
  for (const WarningRule& w : kWarningRules) {
    rules.push_back({rule_id(w.kind), w.kind, false, w.short_description, w.full, w.help});
  }
  rules.push_back({"usage", "usage", true, "The command line is refused.",
                   "An option, a name or an operand of the command line cannot be taken (a line "
                   "or train name that cannot name a file, a missing value); nothing was checked.",
                   "Mend the command line as the message says; 'scenario-tool help COMMAND' shows "
                   "its usage."});
  rules.push_back({"file", "file", true, "A file cannot be read or written.",
                   "A source, a text or a compiled file could not be read, or a file could not "
                   "be written; the diagnostic names it and says why.",
                   "Check that the file is there and that it may be read, or written where it "
                   "goes."});
  return rules;
}

}  // namespace

const std::vector<DiagnosticRule>& diagnostic_rules() {
  static const std::vector<DiagnosticRule> rules = make_rules();
  return rules;
}

size_t rule_index(const std::string& code) {
  static const std::map<std::string, size_t> index = [] {
    std::map<std::string, size_t> made;
    for (size_t i = 0; i < diagnostic_rules().size(); ++i) made[diagnostic_rules()[i].code] = i;
    return made;
  }();
  const auto found = index.find(code);
  return found != index.end() ? found->second : diagnostic_rules().size();
}

std::string rule_id(const std::string& code) {
  if (code.empty()) return "";
  if (code.find_first_not_of("0123456789") == std::string::npos) return "error-" + code;
  // Letters and digits in lower case; every run of anything else one '-', none at either end.
  std::string id;
  bool gap = false;
  for (const char c : code) {
    if (std::isalnum(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) < 0x80) {
      if (gap && !id.empty()) id.push_back('-');
      gap = false;
      id.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    } else {
      gap = true;
    }
  }
  return id.empty() ? "unnamed" : id;
}
