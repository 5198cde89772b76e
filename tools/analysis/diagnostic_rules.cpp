#include "tools/analysis/diagnostic_rules.h"

#include <cctype>
#include <map>

#include "compiler/error_codes.h"
#include "tools/language/translation.h"

namespace {

// What an error code's rule adds to its meaning (compiler/error_codes.cpp): why, and what to do.
struct ErrorRule {
  ErrorCode code;
  const char* full;  // said after the meaning
  const char* help;
};

const ErrorRule kErrorRules[] = {
    {kRouteTooLong, tr_mark("The track cells cover at most 1,000,000 m of route."),
     tr_mark("Give the route length in the general section as 1,000,000 m or less.")},
    {kChainageNotOn50,
     tr_mark(
         "It is checked once both sources are read; its position and its value (with the flag's "
         "metres added) must fall on the 50 m grid."),
     tr_mark("Move the chainage reference, or change its value, to a multiple of 50 m.")},
    {kFirstRepetitionNotOn50, tr_mark("Signal repetitions are placed on the 50 m grid."),
     tr_mark("Write the first repetition distance as a multiple of 50 m.")},
    {kSecondRepetitionNotOn50, tr_mark("Signal repetitions are placed on the 50 m grid."),
     tr_mark("Write the second repetition distance as a multiple of 50 m.")},
    {kRepetitionCodeMissing,
     tr_mark("The keyword of a signal repetition row names its codes, 4 or 9."),
     tr_mark("Write the keyword with 4 or 9 in it.")},
    {kSignboardCellTaken, tr_mark("Each 50 m cell holds one object."),
     tr_mark("Move the signboard, or the object already there, by 50 m or more.")},
    {kRestrictionCellTaken, tr_mark("Each 50 m cell holds one object."),
     tr_mark("Move the 'abbattimento' point, or the object already there, by 50 m or more.")},
    {kStationNotOn50, tr_mark("A station's position falls on the 50 m grid."),
     tr_mark("Write the station's position as a multiple of 50 m.")},
    {kStationLengthNotOn100, tr_mark("A station's length is counted in 100 m."),
     tr_mark("Write the station's length as a multiple of 100 m.")},
    {kStationsMeetSignboards,
     tr_mark("Stations and signboard texts share the entries of the scenario table."),
     tr_mark("Leave out stations or signboards.")},
    {kNoRoomBeforeSignal,
     tr_mark("A slowdown's warning near a signal needs a free cell before the signal for its speed "
             "restriction point."),
     tr_mark("Move the slowdown or the signal so that a cell before the signal stays free.")},
    {kNoFreeApproachCell,
     tr_mark("A slowdown needs a free cell in the window before it for a speed restriction point."),
     tr_mark("Move the objects before the slowdown apart, or move the slowdown.")},
    {kNoFreeSpacingCell,
     tr_mark("A slowdown needs free cells inside and after it for its speed restriction points."),
     tr_mark("Move the objects inside and after the slowdown apart, or move the slowdown.")},
    {kBeyondCells,
     tr_mark("Features keep a margin before the last track cell, stations a wider one; the route "
             "length sets the last cell."),
     tr_mark("Move the feature back within the route, or lengthen the route.")},
    {kSignalCellTaken, tr_mark("Each 50 m cell holds one object."),
     tr_mark("Move the signal, or the object already there, by 50 m or more.")},
    {kWarningCellTaken,
     tr_mark("Each 50 m cell holds one object; a slowdown's warning point lies before it."),
     tr_mark("Move the slowdown, or the object in its warning point's cell, by 50 m or more.")},
    {kSlowdownStartCellTaken, tr_mark("Each 50 m cell holds one object."),
     tr_mark("Move the slowdown, or the object already there, by 50 m or more.")},
    {kSlowdownEndCellTaken, tr_mark("Each 50 m cell holds one object."),
     tr_mark("Change the slowdown's length, or move the object already there, by 50 m or more.")},
    {kWarningBoardCellTaken, tr_mark("Each 50 m cell holds one object."),
     tr_mark("Move the slowdown, or the object in its warning board's cell, by 50 m or more.")},
    {kIndicatorCellTaken, tr_mark("Each 50 m cell holds one object."),
     tr_mark("Move the speed indicator, or the object already there, by 50 m or more.")},
    {kStationsTooClose, tr_mark("Stations keep at least 350 m between them."),
     tr_mark("Move the station on, or shorten the one before it.")},
    {kStationEndTooEarly, tr_mark("A station's end lies past 100 m."),
     tr_mark("Move the station on, or lengthen it.")},
    {kRunTimeFailure,
     tr_mark(
         "The reading stops at the first field it cannot take; the diagnostic says which and why."),
     tr_mark(
         "Mend the field named: a number where a number is due, a value its field can hold, every "
         "value of the row.")},
    {kNoLineSource, tr_mark("A scenario is compiled from its line source and its train source."),
     tr_mark("Name the line with --line, or put its source <line>_linea.txt in the folder.")},
    {kNoGeneralSection, tr_mark("The line source opens with its [generale] section."),
     tr_mark("Begin the line source with [generale] and the route length.")},
    {kBadCurve,
     tr_mark(
         "A curve keyword holds its curvature as a digit from 1 (the widest) to 6 (the sharpest); "
         "the line plan reaches at most 1,000,000 m."),
     tr_mark("Write the curve keyword with a digit 1 to 6, as 'curvad4'.")},
    {kNoRouteLength, tr_mark("The route length sets the track cells."),
     tr_mark("Give the route length in the general section: 'lunghezza percorso, <metres>'.")},
};

// A warning kind of the lint or the timetable: its rule's texts.
struct WarningRule {
  const char* kind;
  const char* short_description;
  const char* full;
  const char* help;
};

// The kinds of rows whose order the lint checks; each has its kind "<name> out of order".
// Only those whose order changes what is compiled: the runs laid with a cursor that moves
// forward, tunnels (one that starts before the one read before it ends takes kind 3) and
// stations (error 22); rows that put one object in a cell may come in any order. Each rule's
// texts are whole sentences, so that a translation can give each kind its own words.
struct OrderedRow {
  const char* name;
  const char* short_description;
  const char* full;
};
const OrderedRow kOrderedRows[] = {
    {"gradient", tr_mark("A gradient row out of order."),
     tr_mark("A gradient row starts at or before the one before it: rows of a kind are compiled "
             "in the order they come, not sorted.")},
    {"curve", tr_mark("A curve row out of order."),
     tr_mark("A curve row starts at or before the one before it: rows of a kind are compiled in "
             "the order they come, not sorted.")},
    {"tunnel", tr_mark("A tunnel row out of order."),
     tr_mark("A tunnel row starts at or before the one before it: rows of a kind are compiled in "
             "the order they come, not sorted.")},
    {"speed limit", tr_mark("A speed limit row out of order."),
     tr_mark("A speed limit row starts at or before the one before it: rows of a kind are "
             "compiled in the order they come, not sorted.")},
    {"adhesion point", tr_mark("A adhesion point row out of order."),
     tr_mark("A adhesion point row starts at or before the one before it: rows of a kind are "
             "compiled in the order they come, not sorted.")},
    {"station", tr_mark("A station row out of order."),
     tr_mark("A station row starts at or before the one before it: rows of a kind are compiled "
             "in the order they come, not sorted.")},
};
const char kOutOfOrderHelp[] = tr_mark("Put the rows of the kind in rising order of position.");

const WarningRule kWarningRules[] = {
    {"curve overlapping the previous one", tr_mark("A curve starts before the previous one ends."),
     tr_mark(
         "The line plan draws the curves one after the other as they come, so the overlap bends "
         "the line more than meant."),
     tr_mark("Start the curve where the previous one ends, or shorten the previous one.")},
    {"tunnel overlapping the previous one",
     tr_mark("A tunnel starts before the previous one ends."),
     tr_mark("Overlapping tunnels are compiled as they come."),
     tr_mark("Start the tunnel after the previous one ends.")},
    {"field matching no keyword", tr_mark("A field matches no keyword and is passed over."),
     tr_mark("The readers pass over a field they do not know without a word, so a misspelt keyword "
             "loses its whole row."),
     tr_mark(
         "Spell the keyword as the format has it (the warning names the closest), or remove the "
         "field.")},
    {"comment", tr_mark("A field written as a comment."),
     tr_mark(
         "The source format has no comments: the field is passed over when it holds no keyword and "
         "read as its row, numbers and all, when it does."),
     tr_mark("Remove the field, or make sure it holds no keyword.")},
    {"speed not a multiple of 5", tr_mark("A speed that is not a multiple of 5 km/h."),
     tr_mark(
         "Speeds are stored in fifths of km/h: the value is compiled as the nearest one stored."),
     tr_mark("Write the speed as a multiple of 5 km/h.")},
    {"UTF-8 text", tr_mark("A text the simulator shows is written in UTF-8."),
     tr_mark(
         "The simulator reads Windows-1252: characters beyond ASCII written in UTF-8 show as other "
         "characters."),
     tr_mark("Save the source in Windows-1252.")},
    {"tab in a field", tr_mark("A tab inside a field."),
     tr_mark(
         "Only blanks are skipped around a field: a tab stays part of it, so a number field is no "
         "number and a text shows the tab."),
     tr_mark("Use blanks instead of tabs.")},
    {"fraction rounded away", tr_mark("A number with a fraction."),
     tr_mark("Numbers are whole: the fraction is rounded away, halves to the even one."),
     tr_mark("Write a whole number.")},
    {"decimal comma", tr_mark("A decimal comma splits a number in two."),
     tr_mark(
         "A comma separates fields: the digits after it are read as a stray field, passed over."),
     tr_mark("Write the fraction with a point, or a whole number.")},
    {"curve side from a word", tr_mark("A curve's side comes from a letter of a longer word."),
     tr_mark("An 's' anywhere in a curve keyword turns the curve left."),
     tr_mark("Write the curve keyword as 'curvad<digit>' or 'curvas<digit>'.")},
    {"signboard without its text", tr_mark("A signboard row without its text."),
     tr_mark(
         "A signboard's text follows its numbers: where it is missing, the signboard shows no text "
         "of its own, or takes the next row's keyword as its text and that row is lost."),
     tr_mark("Give the signboard its text.")},
    {"gradient out of range", tr_mark("A gradient outside -100 to 155 per mille."),
     tr_mark("A gradient outside what its field holds wraps: another gradient is compiled."),
     tr_mark("Give a gradient from -100 to 155 per mille.")},
    {"tunnel kind out of range", tr_mark("A tunnel kind beyond what its field holds."),
     tr_mark("The kind (less 10 above 10, which adds markers) is stored in 8 bits and wraps."),
     tr_mark("Give a tunnel kind the field holds.")},
    {"tunnel ending before it starts", tr_mark("A tunnel ends before it starts."),
     tr_mark("A tunnel whose end lies before its start is counted but marks no cell."),
     tr_mark("Give the tunnel an end after its start.")},
    {"stripes out of range", tr_mark("A speed indicator's stripes beyond what their field holds."),
     tr_mark("The first number of stripes times 10 plus the second is stored in 16 bits: outside "
             "-32768 to 32767 it wraps."),
     tr_mark("Give stripes whose value lies from -32768 to 32767.")},
    {"minutes or seconds of 60 or more", tr_mark("A time with minutes or seconds of 60 or more."),
     tr_mark("In a station's time they are carried over into the next minute or hour; the clock "
             "stores them as they are: either way the time is not the one it reads."),
     tr_mark("Write minutes and seconds from 0 to 59.")},
    {"adhesion out of range", tr_mark("An adhesion outside 0 to 255."),
     tr_mark("An adhesion is stored in 8 bits: outside 0 to 255 it wraps."),
     tr_mark("Give an adhesion from 0 to 255.")},
    {"restriction value out of range", tr_mark("An 'abbattimento' value beyond 32767."),
     tr_mark("An 'abbattimento' value is stored in 16 bits: beyond 32767 it wraps."),
     tr_mark("Give a value of 32767 or less.")},
    {"station without a name", tr_mark("A station row without its name."),
     tr_mark(
         "A station's name follows its numbers: where it is empty, a section header or a number, "
         "the station shows no name of its own."),
     tr_mark("Give the station its name.")},
    {"station name with a comma", tr_mark("A station name holding a comma."),
     tr_mark("A comma ends the field: the name is cut there and the rest is a field of its own."),
     tr_mark("Write the name without a comma.")},
    {"station name that is a record keyword", tr_mark("A station name that is a record keyword."),
     tr_mark(
         "The name is taken as the station's, though it reads as the start of a row: a field of the "
         "row is likely missing."),
     tr_mark("Check the station row's numbers and give the station its own name.")},
    {"station before the start clock",
     tr_mark("The first station past 0 m comes before the start clock."),
     tr_mark(
         "The train stands at the start when the clock starts; a station time before it is a train "
         "starting late."),
     tr_mark("Give the station a time after the start clock, or set the clock earlier.")},
    {"station time earlier than the one before",
     tr_mark("A station's time is earlier than the one before it in the timetable."),
     tr_mark(
         "The timetable runs in the order of its stations; a time less than half a day earlier is "
         "taken as earlier, not as one past midnight."),
     tr_mark("Give the station a time after the one before it.")},
    {"station time below the least running time",
     tr_mark("A station's time leaves less than the least running time from the one before."),
     tr_mark("The least running time is every 50 m cell between the two stations run at its line "
             "speed, with no acceleration, braking or standing time: no train makes it in less."),
     tr_mark("Give the station a later time, or the line between a higher speed.")},
};

// The rules with their texts in the current language.
std::vector<DiagnosticRule> make_rules() {
  std::vector<DiagnosticRule> rules;
  for (const ErrorRule& e : kErrorRules) {
    const std::string code = std::to_string(e.code);
    const std::string meaning = tr(error_meaning(e.code));
    // TRANSLATORS: a rule's full description: {1} the error code, {2} what it means (without a
    // final full stop), {3} why, in whole sentences.
    rules.push_back({"error-" + code, code, true, meaning,
                     tr("Error {1}: {2}. {3}", {code, meaning, tr(e.full)}), tr(e.help)});
  }
  // The integrity check of the compiled output, whose numbers the installer shows too (in its
  // own words: "Errore n. 1250").
  rules.push_back(
      {"error-1250", "1250", true,
       tr("The version slot of table entry 85 or of track cell 1 is already taken."),
       tr("Errore n. 1250: the compiler stamps the version into table entry 85 and track cell 1 "
          "(0 to 50 m) last, and finds that a row wrote there first; it writes no compiled file."),
       tr("Move the row that writes there (a speed board, signboard or signal at 0 to 50 m) past "
          "the first 50 m.")});
  rules.push_back(
      {"error-1251", "1251", true,
       tr("The checksum slot of table entry 85 or of track cell 1 is already taken."),
       tr("Errore n. 1251: the compiler stamps the checksum into table entry 85 and track cell 1 "
          "(0 to 50 m) last, and finds that a row wrote there first; it writes no compiled file."),
       tr("Move the row that writes there (a speed board, signboard or signal at 0 to 50 m) past "
          "the first 50 m.")});
  for (const OrderedRow& row : kOrderedRows) {
    const std::string kind = std::string(row.name) + " out of order";
    rules.push_back(
        {rule_id(kind), kind, false, tr(row.short_description), tr(row.full), tr(kOutOfOrderHelp)});
  }
  for (const WarningRule& w : kWarningRules) {
    rules.push_back(
        {rule_id(w.kind), w.kind, false, tr(w.short_description), tr(w.full), tr(w.help)});
  }
  rules.push_back({"usage", "usage", true, tr("The command line is refused."),
                   tr("An option, a name or an operand of the command line cannot be taken (a "
                      "line or train name that cannot name a file, a missing value); nothing was "
                      "checked."),
                   tr("Mend the command line as the message says; 'scenario-tool help COMMAND' "
                      "shows its usage.")});
  rules.push_back({"file", "file", true, tr("A file cannot be read or written."),
                   tr("A source, a text or a compiled file could not be read, or a file could "
                      "not be written; the diagnostic names it and says why."),
                   tr("Check that the file is there and that it may be read, or written where "
                      "it goes.")});
  return rules;
}

}  // namespace

const std::vector<DiagnosticRule>& diagnostic_rules() {
  // Made once for each language, the first time it is asked for: the ids, codes and order are
  // the same in every language, only the texts differ.
  if (current_language() == Language::kItalian) {
    static const std::vector<DiagnosticRule> italian = make_rules();
    return italian;
  }
  static const std::vector<DiagnosticRule> english = make_rules();
  return english;
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
