#include "tools/recover/scenario_diff.h"

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>

#include "common/windows_1252.h"
#include "compiler/compiled_records.h"
#include "tools/language/translation.h"

namespace {

std::string number(int64_t v) {
  return std::to_string(v);
}

std::string joined(const int32_t* values, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += (i == 0 ? "" : ", ") + number(values[i]);
  return s;
}

// A name or text of the files (Windows-1252) as the report shows it.
std::string shown(const std::string& text) {
  return printable_utf8_from_windows_1252(text);
}

// A text of the report twice: in English, as the JSON document gives it in every language, and
// in the tool's language, for people. Values of the files (numbers, names) are the same in both.
struct Said {
  std::string english, shown;
  Said() = default;
  Said(std::string same) : english(same), shown(std::move(same)) {}  // NOLINT: data
  Said(const char* same) : Said(std::string(same)) {}                // NOLINT: data
  Said(std::string e, std::string s) : english(std::move(e)), shown(std::move(s)) {}
};

// `message` (marked with tr_mark) with {1}, {2}, ... filled in from `values` (at most five), in
// both forms.
Said said(const char* message, std::initializer_list<Said> values = {}) {
  std::string e[5], s[5];
  size_t i = 0;
  for (const Said& v : values) {
    if (i == 5) break;
    e[i] = v.english;
    s[i++] = v.shown;
  }
  return {fill_placeholders(message, {e[0], e[1], e[2], e[3], e[4]}),
          fill_placeholders(tr(message), {s[0], s[1], s[2], s[3], s[4]})};
}

Said operator+(const Said& a, const Said& b) {
  return {a.english + b.english, a.shown + b.shown};
}

std::string clock_time(int32_t seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", seconds / 3600, seconds % 3600 / 60,
                seconds % 60);
  return text;
}

// The source lines of one side, found from the rows the compiler stored, looked up by kind and
// position.
class Places {
 public:
  explicit Places(const DiffSide& side, const char* label) : side_(side), label_(label) {
    if (!side.has_sources) return;
    for (const std::string* text : {&side.line_text, &side.train_text}) {
      std::vector<size_t> starts = {0};
      for (size_t i = 0; i < text->size(); ++i) {
        if ((*text)[i] == '\n') starts.push_back(i + 1);
      }
      line_starts_.push_back(std::move(starts));
    }
    for (const SourceRow& row : side.rows) rows_.insert({{int(row.kind), row.position}, &row});
  }

  // The rows of `kind` at `low` to `high` metres for which `match` holds, as "A path:line".
  template <typename Match>
  void add(RowKind kind, int64_t low, int64_t high, Match match,
           std::vector<std::string>* places) const {
    const auto first = rows_.lower_bound({int(kind), low});
    const auto last = rows_.upper_bound({int(kind), high});
    for (auto it = first; it != last; ++it) {
      if (match(*it->second)) add_row(*it->second, places);
    }
  }

  // The rows of a run that lay the cells from `from` to `to`, or the row before them.
  void add_run(RowKind kind, int64_t from, int64_t to, std::vector<std::string>* places) const {
    const size_t before = places->size();
    const auto laid_at = [](const SourceRow& r) {
      return int64_t(area_cell(r.position)) * kCellMetres;
    };
    add(
        kind, from - kCellMetres, to + kCellMetres,
        [&](const SourceRow& r) { return laid_at(r) >= from && laid_at(r) < to; }, places);
    if (places->size() != before) return;
    auto it = rows_.lower_bound({int(kind), from - kCellMetres});
    while (it != rows_.end() && it->first.first == int(kind) && laid_at(*it->second) < from) ++it;
    if (it == rows_.begin()) return;
    --it;
    if (it->first.first != int(kind)) return;
    const int64_t at = it->first.second;
    add(
        kind, at, at, [](const SourceRow&) { return true; }, places);
  }

 private:
  void add_row(const SourceRow& row, std::vector<std::string>* places) const {
    const bool line = row.source == ProblemSource::kLineSource;
    const std::vector<size_t>& starts = line_starts_[line ? 0 : 1];
    const size_t n = std::upper_bound(starts.begin(), starts.end(), row.offset) - starts.begin();
    places->push_back(label_ + (line ? side_.line_path : side_.train_path) + ":" + number(n));
  }

  const DiffSide& side_;
  std::string label_;
  std::vector<std::vector<size_t>> line_starts_;
  std::multimap<std::pair<int, int64_t>, const SourceRow*> rows_;
};

struct Comparison {
  const DiffSide& a;
  const DiffSide& b;
  Places places_a, places_b;
  std::vector<Change> changes;

  Comparison(const DiffSide& a_, const DiffSide& b_)
      : a(a_), b(b_), places_a(a_, "A "), places_b(b_, "B ") {}

  void add(Change change) { changes.push_back(std::move(change)); }

  // A change of `kind`, its values in A and B, in both forms.
  static Change change(const Said& kind, const char* what, int64_t from, int64_t to,
                       const Said& before, const Said& after) {
    return {kind.english,  what, from,       to,           before.english,
            after.english, {},   kind.shown, before.shown, after.shown};
  }

  // A value of the train or the general section.
  void field(const Said& kind, const Said& before, const Said& after) {
    if (before.english != after.english) add(change(kind, "changed", 0, 0, before, after));
  }

  // A value laid along the line from row to row: each stretch where A and B differ, as one
  // change while the two values stay the same.
  void runs(const Said& kind, const char* unit, RowKind row_kind,
            const std::vector<RecoveredLine::Value>& va,
            const std::vector<RecoveredLine::Value>& vb) {
    std::vector<int64_t> edges;
    for (const auto* v : {&va, &vb}) {
      for (const auto& row : *v) edges.push_back(row.position);
    }
    if (edges.empty()) return;
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    edges.push_back(edges.back() + kCellMetres);
    const auto value_at = [unit](const std::vector<RecoveredLine::Value>& rows, int64_t m) {
      // The rows rise: the last one at or before m holds.
      auto it = std::upper_bound(rows.begin(), rows.end(), m,
                                 [](int64_t x, const auto& row) { return x < row.position; });
      return it == rows.begin() ? said(tr_mark("none"))
                                : Said(number(std::prev(it)->value) + (*unit ? " " : "") + unit);
    };
    size_t first = changes.size();
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
      const Said x = value_at(va, edges[i]), y = value_at(vb, edges[i]);
      if (x.english == y.english) continue;
      if (changes.size() > first && changes.back().to == edges[i] &&
          changes.back().before == x.english && changes.back().after == y.english) {
        changes.back().to = edges[i + 1];
      } else {
        add(change(kind, "changed", edges[i], edges[i + 1], x, y));
      }
    }
    for (; first < changes.size(); ++first) {
      Change& c = changes[first];
      places_a.add_run(row_kind, c.from, c.to, &c.places);
      places_b.add_run(row_kind, c.from, c.to, &c.places);
    }
  }

  // Objects in a place of their own, matched by that place: added, removed or changed.
  struct Item {
    int64_t position = 0;
    int64_t end = 0;
    Said values;
  };
  template <typename CellOf>
  void items(const Said& kind, RowKind row_kind, CellOf cell_of, const std::vector<Item>& ia,
             const std::vector<Item>& ib) {
    std::multimap<int64_t, const Item*> in_b;
    for (const Item& item : ib) in_b.insert({item.position, &item});
    const auto place = [&](Change* c, const Places& p, int64_t position) {
      const int64_t cell = cell_of(position);
      p.add(
          row_kind, position - 2 * kCellMetres, position + 2 * kCellMetres,
          [&](const SourceRow& r) { return cell_of(r.position) == cell; }, &c->places);
    };
    for (const Item& x : ia) {
      auto it = in_b.find(x.position);
      if (it == in_b.end()) {
        Change c = change(kind, "removed", x.position, x.end, x.values, "");
        place(&c, places_a, x.position);
        add(std::move(c));
        continue;
      }
      const Item& y = *it->second;
      in_b.erase(it);
      if (x.values.english == y.values.english && x.end == y.end) continue;
      Change c = change(kind, "changed", x.position, std::max(x.end, y.end), x.values, y.values);
      place(&c, places_a, x.position);
      place(&c, places_b, y.position);
      add(std::move(c));
    }
    for (const auto& [position, y] : in_b) {
      Change c = change(kind, "added", y->position, y->end, "", y->values);
      place(&c, places_b, y->position);
      add(std::move(c));
    }
  }

  void stations() {
    const auto& sa = a.scenario.train.stations;
    const auto& sb = b.scenario.train.stations;
    std::vector<bool> matched_b(sb.size(), false), matched_a(sa.size(), false);
    const auto place = [&](Change* c, const Places& p, int32_t position) {
      p.add(
          RowKind::kStation, position, position, [](const SourceRow&) { return true; }, &c->places);
    };
    const auto fields = [](const RecoveredTrain::Station& s) {
      return said(tr_mark("kind {1}, length {2}, {3}"),
                  {number(s.kind), number(s.length), joined(s.values, 10)});
    };
    const auto station = [](const std::string& name) {
      return said(tr_mark("station {1}"), {shown(name)});
    };
    const auto compare = [&](size_t i, size_t j) {
      const auto& x = sa[i];
      const auto& y = sb[j];
      matched_a[i] = matched_b[j] = true;
      const auto change = [&](const char* what, const Said& before, const Said& after) {
        Change c = Comparison::change(station(y.name.empty() ? x.name : y.name), what, x.position,
                                      y.position, before, after);
        place(&c, places_a, x.position);
        place(&c, places_b, y.position);
        add(std::move(c));
      };
      if (x.name != y.name) change("renamed", shown(x.name), shown(y.name));
      if (x.position != y.position)
        change("moved", place_on_line(a.chainage, x.position),
               place_on_line(b.chainage, y.position));
      if (x.time != y.time) change("retimed", clock_time(x.time), clock_time(y.time));
      if (fields(x).english != fields(y).english) change("changed", fields(x), fields(y));
    };
    // By name first, then the ones left by place.
    for (size_t i = 0; i < sa.size(); ++i) {
      for (size_t j = 0; j < sb.size(); ++j) {
        if (!matched_b[j] && !matched_a[i] && sa[i].name == sb[j].name) compare(i, j);
      }
    }
    for (size_t i = 0; i < sa.size(); ++i) {
      for (size_t j = 0; j < sb.size(); ++j) {
        if (!matched_b[j] && !matched_a[i] && sa[i].position == sb[j].position) compare(i, j);
      }
    }
    for (size_t i = 0; i < sa.size(); ++i) {
      if (matched_a[i]) continue;
      Change c = change(station(sa[i].name), "removed", sa[i].position, sa[i].position,
                        fields(sa[i]) + Said(", " + clock_time(sa[i].time)), "");
      place(&c, places_a, sa[i].position);
      add(std::move(c));
    }
    for (size_t j = 0; j < sb.size(); ++j) {
      if (matched_b[j]) continue;
      Change c = change(station(sb[j].name), "added", sb[j].position, sb[j].position, "",
                        fields(sb[j]) + Said(", " + clock_time(sb[j].time)));
      place(&c, places_b, sb[j].position);
      add(std::move(c));
    }
  }
};

int64_t point_cell_of(int64_t position) {
  return point_cell(static_cast<int32_t>(position));
}
int64_t area_cell_of(int64_t position) {
  return area_cell(static_cast<int32_t>(position));
}

std::vector<Comparison::Item> signal_items(const RecoveredScenario& s) {
  std::vector<Comparison::Item> items;
  for (const auto& x : s.train.signals)
    items.push_back({x.position, x.position, joined(x.values, 10)});
  std::sort(items.begin(), items.end(),
            [](const auto& p, const auto& q) { return p.position < q.position; });
  return items;
}

std::vector<Comparison::Item> board_items(const RecoveredScenario& s) {
  std::vector<Comparison::Item> items;
  for (const auto& x : s.line.boards) {
    const int32_t v[8] = {x.speeds[0],        x.speeds[1],        x.speeds[2],
                          x.stripes,          x.second_speeds[0], x.second_speeds[1],
                          x.second_speeds[2], x.second_stripes};
    items.push_back({x.position, x.position, joined(v, 8)});
  }
  return items;
}

std::vector<Comparison::Item> signboard_items(const RecoveredScenario& s) {
  std::vector<Comparison::Item> items;
  for (const auto& x : s.line.signboards) items.push_back({x.position, x.position, shown(x.text)});
  return items;
}

std::vector<Comparison::Item> slowdown_items(const RecoveredScenario& s) {
  std::vector<Comparison::Item> items;
  for (const auto& x : s.train.slowdowns) {
    items.push_back({x.start, int64_t(x.start) + x.length,
                     said(tr_mark("{1} km/h over {2} m, flag {3}, boards {4}, second speed {5}"),
                          {number(x.speed), number(x.length), number(x.flag),
                           number(x.warning_boards), number(x.second_speed)})});
  }
  return items;
}

std::vector<Comparison::Item> tunnel_items(const RecoveredScenario& s, const Chainage& chainage) {
  std::vector<Comparison::Item> items;
  for (const auto& x : s.line.tunnels)
    items.push_back(
        {x.start, x.end,
         said(tr_mark("to {1}, kind {2}"), {place_on_line(chainage, x.end), number(x.kind)})});
  return items;
}

std::vector<Comparison::Item> curve_items(const RecoveredScenario& s) {
  std::vector<Comparison::Item> items;
  for (const auto& x : s.line.curves) {
    items.push_back({x.start, int64_t(x.start) + x.length,
                     std::string("curva") + (x.left ? "s" : "d") + number(x.digit) + ", " +
                         number(x.length) + " m"});
  }
  return items;
}

std::vector<Comparison::Item> restriction_items(const RecoveredScenario& s) {
  std::vector<Comparison::Item> items;
  for (const auto& x : s.train.restriction_points)
    items.push_back({x.position, x.position, number(x.value)});
  return items;
}

}  // namespace

std::string place_on_line(const Chainage& chainage, int64_t metres) {
  const std::optional<int64_t> km = chainage.at_metres(metres);
  if (!km) return number(metres) + " m";
  return formatted("km %lld+%03lld", static_cast<long long>(*km / 1000),
                   static_cast<long long>(*km % 1000));
}

std::vector<Change> compare_scenarios(const DiffSide& a, const DiffSide& b) {
  Comparison c(a, b);
  const RecoveredLine& la = a.scenario.line;
  const RecoveredLine& lb = b.scenario.line;
  const RecoveredTrain& ta = a.scenario.train;
  const RecoveredTrain& tb = b.scenario.train;
  c.field(said(tr_mark("route length")), number(la.route_length) + " m",
          number(lb.route_length) + " m");
  const char* names[3] = {"uno", "due", "tre"};
  for (int i = 0; i < 3; ++i) {
    const auto text = [](const RecoveredLine::Chainage& x) {
      return number(x.position) + ", " + number(x.value) + ", " + number(x.flag);
    };
    // TRANSLATORS: {1} is "uno", "due" or "tre", as the keyword of the line source.
    c.field(said(tr_mark("chainage reference {1}"), {names[i]}), text(la.chainage[i]),
            text(lb.chainage[i]));
    // TRANSLATORS: {1} is "uno", "due" or "tre", as the keyword of the line source.
    c.field(said(tr_mark("background {1}"), {names[i]}), number(la.background[i]),
            number(lb.background[i]));
  }
  const auto repetition = [](const RecoveredLine& l) {
    return said(tr_mark("{1} codes, {2}, {3}"),
                {number(l.repetition_codes), number(l.repetition[0]), number(l.repetition[1])});
  };
  c.field(said(tr_mark("signal repetition")), repetition(la), repetition(lb));
  c.field(said(tr_mark("train cars")), number(ta.cars), number(tb.cars));
  c.field(said(tr_mark("train braked mass")), number(ta.braked_mass) + " %",
          number(tb.braked_mass) + " %");
  c.field(said(tr_mark("train sand")), number(ta.sand), number(tb.sand));
  c.field(said(tr_mark("train clock")), joined(ta.clock, 3), joined(tb.clock, 3));

  c.runs(said(tr_mark("gradient")), "per mille", RowKind::kGradient, la.gradients, lb.gradients);
  c.runs(said(tr_mark("speed limit")), "km/h", RowKind::kSpeedLimit, ta.speeds, tb.speeds);
  c.runs(said(tr_mark("adhesion")), "", RowKind::kAdhesion, ta.adhesions, tb.adhesions);
  c.stations();
  c.items(said(tr_mark("signal")), RowKind::kSignal, point_cell_of, signal_items(a.scenario),
          signal_items(b.scenario));
  c.items(said(tr_mark("speed board")), RowKind::kSpeedIndicator, point_cell_of,
          board_items(a.scenario), board_items(b.scenario));
  c.items(said(tr_mark("signboard")), RowKind::kSignboard, point_cell_of,
          signboard_items(a.scenario), signboard_items(b.scenario));
  c.items(said(tr_mark("slowdown")), RowKind::kSlowdown, point_cell_of, slowdown_items(a.scenario),
          slowdown_items(b.scenario));
  c.items(said(tr_mark("tunnel")), RowKind::kTunnel, area_cell_of,
          tunnel_items(a.scenario, a.chainage), tunnel_items(b.scenario, b.chainage));
  c.items(said(tr_mark("restriction point")), RowKind::kRestrictionPoint, area_cell_of,
          restriction_items(a.scenario), restriction_items(b.scenario));
  if (la.plan_known && lb.plan_known) {
    c.items(said(tr_mark("curve")), RowKind::kCurve, area_cell_of, curve_items(a.scenario),
            curve_items(b.scenario));
  } else if (la.plan_known != lb.plan_known) {
    const auto plan = [](bool known) {
      return known ? said(tr_mark("known")) : said(tr_mark("no line plan"));
    };
    c.add(Comparison::change(said(tr_mark("curves")), "unknown", 0, 0, plan(la.plan_known),
                             plan(lb.plan_known)));
  }
  return c.changes;
}

std::string diff_text(const std::vector<Change>& changes, const Chainage& reference) {
  std::string out;
  for (const Change& c : changes) {
    const bool stretch = c.to != c.from;
    const bool field = c.from == 0 && c.to == 0 && c.kind.rfind("station", 0) != 0;
    std::string line;
    if (c.what == "moved") {
      // TRANSLATORS: {1} is a station, {2} its places in A and B ("km 0+200 → km 0+300").
      line = tr("{1} moved: {2}", {c.shown_kind, c.shown_before + " → " + c.shown_after});
    } else {
      // TRANSLATORS: a place on the line, after "changed", "added", ...: {1} and {2} are
      // "km 3+450" or "12300 m".
      const std::string place =
          field     ? ""
          : stretch ? tr(" from {1} to {2}",
                         {place_on_line(reference, c.from), place_on_line(reference, c.to)})
                    // TRANSLATORS: {1} is "km 3+450" or "12300 m".
                    : tr(" at {1}", {place_on_line(reference, c.from)});
      const std::string values = c.before.empty()  ? c.shown_after
                                 : c.after.empty() ? c.shown_before
                                                   : c.shown_before + " → " + c.shown_after;
      // TRANSLATORS: {1} is the kind of row ("signal", "station ATTIGLIANO"), {2} where
      // (" from km 1+000 to km 2+000", " at km 1+000", or nothing), {3} its values in A → B.
      const char* said = c.what == "added"     ? tr_mark("{1} added{2}: {3}")
                         : c.what == "removed" ? tr_mark("{1} removed{2}: {3}")
                         : c.what == "renamed" ? tr_mark("{1} renamed{2}: {3}")
                         : c.what == "retimed" ? tr_mark("{1} retimed{2}: {3}")
                         : c.what == "unknown" ? tr_mark("{1} unknown{2}: {3}")
                                               : tr_mark("{1} changed{2}: {3}");
      line = tr(said, {c.shown_kind, place, values});
    }
    out += line + "\n";
    for (const std::string& place : c.places) out += "    " + place + "\n";
  }
  out += changes.empty() ? std::string(tr("no differences"))
                         : tr_n("{1} difference", "{1} differences", changes.size(),
                                {number(int64_t(changes.size()))});
  out += "\n";
  return out;
}

std::string diff_json(const std::vector<Change>& changes) {
  nlohmann::ordered_json all = nlohmann::ordered_json::array();
  for (const Change& c : changes) {
    nlohmann::ordered_json o;
    o["kind"] = c.kind;
    o["what"] = c.what;
    o["from"] = c.from;
    o["to"] = c.to;
    o["before"] = c.before;
    o["after"] = c.after;
    o["places"] = c.places;
    all.push_back(std::move(o));
  }
  return all.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
