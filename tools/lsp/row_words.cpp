#include "tools/lsp/row_words.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "compiler/line_plan.h"
#include "tools/language/translation.h"

namespace {

// "station field 6" is the 6th field of the row, keyword included: value 5.
constexpr int kFirstStationField = 3;  // the value of field 4

const char* const kOnlySimulator =
    tr_mark("only the simulator reads it; the compiler stores it as is");

std::string lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

}  // namespace

std::string units_of(const std::string& name) {
  const struct {
    const char* word;
    const char* units;
  } kUnits[] = {
      {"position", tr_mark("metres along the line")},
      {"start", tr_mark("metres along the line")},
      {"end", tr_mark("metres along the line")},
      {"length", tr_mark("metres")},
      {"gradient", tr_mark("per mille; stored -100..155, a value outside wraps")},
      {"speed", tr_mark("km/h; stored in steps of 5 (a speed not a multiple of 5 is cut)")},
      {"adhesion", tr_mark("0..255; a value outside wraps")},
      {"hours", tr_mark("hours of the clock")},
      {"minutes", tr_mark("0..59")},
      {"seconds", tr_mark("0..59")},
      {"kind", tr_mark("a number the simulator knows")},
      {"name", tr_mark("text up to the line's end")},
      {"text", tr_mark("text, each (...) a line of the board")},
  };
  for (const auto& u : kUnits) {
    if (name.find(u.word) != std::string::npos) return tr(u.units);
  }
  return "";
}

std::string value_use(const RowGrammar& row, int k) {
  switch (row.id) {
    case RowId::kStation: {
      // The ten values the simulator has, by the entry field each is stored in.
      static const struct {
        const char* field;
        const char* use;
      } kFields[] = {
          {tr_mark("flag_a, one byte (0 to 255)"), kOnlySimulator},
          {tr_mark("flag_e, one byte (0 to 255)"),
           tr_mark("stored as 0 for a station shorter than 600 m and for the first station; "
                   "otherwise only the simulator reads it")},
          {tr_mark("flag_d, one byte (0 to 255)"),
           tr_mark("not 0: the station's end lies 50 m further (kinds other than 5 to 8); "
                   "stored as 0 for kinds 5 to 8 and for the first station (which keeps the "
                   "50 m); otherwise only the simulator reads it")},
          {tr_mark("value_1, -32768 to 32767"), kOnlySimulator},
          {tr_mark("value_2, -32768 to 32767"), kOnlySimulator},
          {tr_mark("flag_b, one byte (0 to 255)"), kOnlySimulator},
          {tr_mark("value_3, -32768 to 32767"), kOnlySimulator},
          {tr_mark("value_4, -32768 to 32767"), kOnlySimulator},
          {tr_mark("value_5, -32768 to 32767"), kOnlySimulator},
          {tr_mark("flag_c, one byte (0 to 255)"), kOnlySimulator},
      };
      if (k >= kFirstStationField && k < kFirstStationField + 10) {
        const auto& f = kFields[k - kFirstStationField];
        // TRANSLATORS: {1} is the entry's field ("flag_a, one byte (0 to 255)"), {2} what is
        // done with it.
        return tr("entry field {1}: {2}", {tr(f.field), tr(f.use)});
      }
      if (k == 0) return tr("a multiple of 50 (error 8)");
      if (k == 1)
        return tr(
            "0 to 255: 5, 6 run from position - length to position + 150; 7, 8 from "
            "position - length to position + length; any other from position - length / 2 "
            "to position + length / 2; 25 and above get no end object");
      if (k == 2) return tr("a multiple of 100 (error 9)");
      if (k <= 15)
        return tr(
            "the timetable time: whether arrival or departure is the simulator's; only the "
            "sum must fit 32 bits");
      return "";
    }
    case RowId::kChainage1:
    case RowId::kChainage2:
    case RowId::kChainage3:
      if (k < 2) return tr("a multiple of 50 (error 2)");
      return tr("1 adds 100 m to the value; any other is stored and adds nothing");
    case RowId::kRouteLength:
      return tr("at most 1,000,000; required");
    case RowId::kRepetition:
      return tr("a multiple of 50 (errors 3, 4)");
    case RowId::kTunnel:
      if (k == 2)
        return tr(
            "0: no tunnel in the cells; 1 to 10: that kind; above 10: kind - 10 and a marker "
            "in every 4th cell; 3 when it starts at most 150 m after the tunnel before");
      return "";
    case RowId::kSignal:
      if (k == 0) return tr("325 m or more: its approach markers reach 8 cells back (error 15)");
      return tr("only the simulator reads it, combined into the signal's cell");
    case RowId::kSlowdown:
      if (k >= 3) return tr("only the simulator reads it (flag 2 not 0: four warning boards)");
      return "";
    case RowId::kRestrictionPoint:
      if (k == 1)
        return tr(
            "above 0: a speed restriction point holding it; 0 or less: a point "
            "without restriction");
      return "";
    case RowId::kBackground1:
    case RowId::kBackground2:
    case RowId::kBackground3:
    case RowId::kCars:
    case RowId::kBrakedMass:
    case RowId::kSand:
    case RowId::kAdhesion:
      if (k == row.values_count() - 1) return tr(kOnlySimulator);
      return "";
    default:
      return "";
  }
}

std::string short_value_name(const RowGrammar& row, int k) {
  const std::string name = tr(row.names[k]);
  if (row.values_count() < 2) return name;
  // The longest start, up to a blank, that every name of the row has.
  size_t common = name.size();
  for (int v = 0; v < row.values_count(); ++v) {
    const std::string other = tr(row.names[v]);
    size_t same = 0;
    while (same < common && same < other.size() && other[same] == name[same]) ++same;
    common = same;
  }
  const size_t blank = name.rfind(' ', common == 0 ? 0 : common - 1);
  if (common != 0 && blank != std::string::npos && blank + 1 <= common)
    return name.substr(blank + 1);
  // Else the longest end, from a blank, that every name has: a language may write the row's
  // word last ("tipo della stazione").
  common = name.size();
  for (int v = 0; v < row.values_count(); ++v) {
    const std::string other = tr(row.names[v]);
    size_t same = 0;
    while (same < common && same < other.size() &&
           other[other.size() - 1 - same] == name[name.size() - 1 - same])
      ++same;
    common = same;
  }
  const size_t end = name.find(' ', name.size() - common);
  if (common == 0 || end == std::string::npos || end == 0) return name;
  return name.substr(0, end);
}

std::string row_meaning(const RowGrammar& row) {
  switch (row.id) {
    case RowId::kRouteLength:
      return tr("The route's length; required.");
    case RowId::kChainage1:
    case RowId::kChainage2:
    case RowId::kChainage3:
      return tr(
          "A chainage reference (kilometre post): the chainage at a position on the line, "
          "up to three of them (uno, due, tre); the kilometres shown along the line count "
          "from them.");
    case RowId::kBackground1:
    case RowId::kBackground2:
    case RowId::kBackground3:
      return tr("A background value, stored as is for the simulator.");
    case RowId::kRepetition:
      return tr(
          "The signals' repetition distances; the keyword holds the number of codes, 4 or "
          "9.");
    case RowId::kGradient:
      return tr("A gradient (pendenza), from the cell of its position to the next one.");
    case RowId::kCurve:
      return tr(
          "A curve of the line plan (curva): the lowest digit 1 to 6 in the keyword gives "
          "its radius (1: 10000 m, 2: 5000 m, 3: 2500 m, 4: 1000 m, 5: 500 m, 6: 333 m); an "
          "s turns it left (curvas4), else it turns right (curvad4).");
    case RowId::kTunnel:
      return tr("A tunnel (montagna) from its start to its end, its kind in each of its cells.");
    case RowId::kSpeedIndicator:
      return tr(
          "A speed board (indicatore di velocità massima): three speeds and their stripes, "
          "and three second speeds and theirs.");
    case RowId::kSignboard:
      return tr(
          "A lineside signboard (cartello indicatore); its text shares the scenario table "
          "with the stations' names (80 texts at most).");
    case RowId::kBrakedMass:
      return tr(
          "The train's braked mass (percentuale di massa frenata), stored as is for the "
          "simulator.");
    case RowId::kCars:
      return tr("The number of cars (vetture), stored as is for the simulator.");
    case RowId::kSpeedLimit:
      return tr("A line speed limit (velocità), from the cell of its position to the next one.");
    case RowId::kAdhesion:
      return tr("The adhesion (aderenza) from the cell of its position to the next one.");
    case RowId::kClock:
      return tr("The clock (orologio) when the run starts; blanks alone may separate its values.");
    case RowId::kSand:
      return tr("The sand (sabbia), stored as is for the simulator.");
    case RowId::kSignal:
      return tr(
          "A signal (segnale) in the cell of its position, with its approach markers in the "
          "cells before it.");
    case RowId::kSlowdown:
      return tr(
          "A slowdown (rallentamento): from its start, its length at its speed, with a "
          "warning point 1200 m before it.");
    case RowId::kRestrictionPoint:
      return tr("A speed restriction point (abbattimento) in the cell of its position.");
    case RowId::kStation:
      return tr(
          "A station (stazione): its position, kind and length give its extent, its name "
          "and time go to the timetable; it starts at least 350 m after the end of the "
          "station before it.");
  }
  return "";
}

std::string markdown_escaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (std::string("\\`*_[]<>#|").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string row_documentation(const RowGrammar& row) {
  std::string text = markdown_escaped(row_meaning(row)) + "\n\n";
  for (int v = 0; v < row.values_count(); ++v) {
    const std::string units = units_of(row.names[v]);
    text += std::to_string(v + 1) + ". " + markdown_escaped(tr(row.names[v])) +
            (units.empty() ? "" : " (" + markdown_escaped(units) + ")") + "\n";
  }
  return text;
}

std::optional<CurveRadius> curve_radius(const std::string& field) {
  const int digit = curve_digit(field);
  if (digit == 0) return std::nullopt;
  CurveRadius radius;
  radius.digit = digit;
  radius.metres = int(std::lround(1 / kCurveCurvatures[digit - 1]));
  radius.left = curve_curvature(field) < 0;
  return radius;
}

std::string curve_radius_text(const CurveRadius& radius) {
  const std::string metres = std::to_string(radius.metres);
  return radius.left ? tr("radius {1} m to the left", {metres})
                     : tr("radius {1} m to the right", {metres});
}

const std::vector<SectionHeader>& section_headers() {
  static const std::vector<SectionHeader> kHeaders = {
      {"[generale]",
       true,
       tr_mark("where the reading begins: the route length and the chainage"),
       {RowId::kRouteLength, RowId::kChainage1, RowId::kChainage2, RowId::kChainage3,
        RowId::kBackground1, RowId::kBackground2, RowId::kBackground3, RowId::kRepetition}},
      {"[curve]",
       true,
       tr_mark("the curves; the first header after [generale] begins the features"),
       {RowId::kCurve}},
      {"[pendenze]", true, tr_mark("the gradients"), {RowId::kGradient}},
      {"[montagne]", true, tr_mark("the tunnels"), {RowId::kTunnel}},
      {"[cartelli]", true, tr_mark("the lineside signboards"), {RowId::kSignboard}},
      {"[indicazioni]", true, tr_mark("the speed boards"), {RowId::kSpeedIndicator}},
      {"[fine]", true, tr_mark("the end: the last field of a source is never read"), {}},
      {"[generale]",
       false,
       tr_mark("where the reading begins: the train's cars, brakes, sand and clock"),
       {RowId::kCars, RowId::kBrakedMass, RowId::kSand, RowId::kClock}},
      {"[aderenze]", false, tr_mark("the adhesion"), {RowId::kAdhesion}},
      {"[vel_limite]", false, tr_mark("the line speed limits"), {RowId::kSpeedLimit}},
      {"[stazioni]", false, tr_mark("the stations"), {RowId::kStation}},
      {"[rallentamenti]", false, tr_mark("the slowdowns"), {RowId::kSlowdown}},
      {"[segnali]", false, tr_mark("the signals"), {RowId::kSignal}},
      {"[codici]", false, tr_mark("the speed restriction points"), {RowId::kRestrictionPoint}},
      {"[fine]", false, tr_mark("the end: the last field of a source is never read"), {}},
  };
  return kHeaders;
}

namespace {

// The first non-blank character of line `line`, or its end.
size_t line_text_start(const SourceText& text, size_t line) {
  size_t at = text.line_start(line);
  const size_t end = text.line_end(line);
  while (at < end && (text.bytes()[at] == ' ' || text.bytes()[at] == '\t')) ++at;
  return at;
}

}  // namespace

const SectionHeader* section_at(const SourceText& text, size_t offset, bool line_source) {
  const size_t line = text.position_of_byte(offset, PositionUnits::kUtf32).line;
  for (size_t l = line; l-- > 0;) {
    const size_t at = line_text_start(text, l);
    const size_t end = text.line_end(l);
    if (at >= end || text.bytes()[at] != '[') continue;
    const size_t close = text.bytes().find(']', at);
    if (close == std::string::npos || close >= end) continue;
    const std::string header = lowered(text.bytes().substr(at, close + 1 - at));
    for (const SectionHeader& h : section_headers()) {
      if (h.line_source == line_source && header == h.header) return &h;
    }
    return nullptr;
  }
  return nullptr;
}

SourcePart part_at(const SourceText& text, size_t offset, bool line_source) {
  if (!line_source) return SourcePart::kTrain;
  const size_t line = text.position_of_byte(offset, PositionUnits::kUtf32).line;
  for (size_t l = 0; l < line; ++l) {
    const size_t at = line_text_start(text, l);
    if (at < text.bytes().size() && text.bytes()[at] == '[' &&
        text.bytes().compare(at, 10, "[generale]") != 0) {
      return SourcePart::kFeatures;
    }
  }
  return SourcePart::kGeneral;
}
