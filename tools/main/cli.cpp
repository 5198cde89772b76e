#include "tools/main/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "common/file_io.h"
#include "common/file_path.h"
#include "common/windows_1252.h"
#include "tools/commands/author_sources.h"
#include "tools/language/translation.h"

CommandLine::CommandLine(CommonArguments* common)
    : app_(std::make_unique<CLI::App>()), common_(common) {
  CLI::App& app = *app_;
  app.set_help_flag();  // each command's help is its own text
  // Only an argument that starts with '-' is an option. CLI11 would also take "/name" and
  // "/name:value" for one when built for Windows, which makes a folder given as "/tmp/x" or "Z:"
  // style paths with forward slashes under Wine "one directory only".
  app.allow_windows_style_options(false);
  // A flag takes no value ("--force=no" is refused); of an option given twice, the last counts.
  app.option_defaults()->disable_flag_override()->multi_option_policy(
      CLI::MultiOptionPolicy::TakeLast);
  app.add_option("DIR", common->directory);
  // TRANSLATORS: the words in capitals are the placeholders of the usage lines, which the help
  // under them names too: the folder of the scenario, the line's name, the train's number...
  usage_words_.push_back(tr("DIR"));
  option("--line", tr_mark("NAME"), &common->scenario.line_name);
  option("--train", tr_mark("NUMBER"), &common->scenario.train_number);
  app.add_flag("-h,--help", common->help);
}

CommandLine::~CommandLine() = default;

void CommandLine::flag(const char* name, bool* value) {
  app_->add_flag(name, *value);
  usage_words_.push_back(std::string("[") + name + "]");
}

void CommandLine::file_operand(const char* name) {
  file_operand_ = true;
  usage_words_ = {tr(name)};
  app_->remove_option(app_->get_option("--line"));
  app_->remove_option(app_->get_option("--train"));
}

void CommandLine::two_operands(const char* first, const char* second, std::string* second_value) {
  two_operands_ = true;
  usage_words_[0] = std::string(first) + " " + second;
  app_->add_option(second, *second_value);
}

void CommandLine::names_needed() {
  app_->get_option("--line")->required();
  app_->get_option("--train")->required();
  usage_words_[1] = std::string("--line ") + tr("NAME");
  usage_words_[2] = std::string("--train ") + tr("NUMBER");
}

void CommandLine::folder_made() {
  folder_made_ = true;
}

namespace {

// The usage of an option; its value's name (marked with tr_mark where it is declared) in the
// current language.
std::string usage_word(const char* name, const char* english_value_name, Shown shown) {
  const char* value_name = tr(english_value_name);
  switch (shown) {
    case Shown::kNeeded:
      return std::string(name) + " " + value_name;
    case Shown::kJoined:
      return std::string("[") + name + "=" + value_name + "]";
    case Shown::kOptional:
      break;
  }
  return std::string("[") + name + " " + value_name + "]";
}

}  // namespace

void CommandLine::option(const char* name, const char* value_name, std::string* value,
                         Shown shown) {
  app_->add_option(name, *value)->type_name(value_name);
  usage_words_.push_back(usage_word(name, value_name, shown));
}

void CommandLine::checked(const char* name, const char* value_name,
                          std::function<std::string(const std::string&)> take, Shown shown) {
  app_->add_option_function<std::string>(name,
                                         [take](const std::string& value) {
                                           const std::string wrong = take(value);
                                           if (!wrong.empty()) throw CLI::ValidationError(wrong);
                                         })
      ->type_name(value_name);
  usage_words_.push_back(usage_word(name, value_name, shown));
}

std::string CommandLine::parse(std::vector<std::string> args) {
  std::reverse(args.begin(), args.end());  // CLI11 takes the arguments last first
  try {
    app_->parse(args);
  } catch (const CLI::ExtrasError&) {
    // Options are matched whole: what is left over is an option this command does not take
    // ("--no", "--js"), or a second directory.
    const std::string extra = app_->remaining().front();
    return !extra.empty() && extra[0] == '-' ? tr("unknown option {1}", {extra})
                                             : std::string(tr("one directory only"));
  } catch (const CLI::ArgumentMismatch& e) {
    // In the words of the rest of the tool: "--line needs a value", "--force takes no value".
    const std::string what = e.what();
    const size_t required = what.find(": 1 required ");
    if (required != std::string::npos) return tr("{1} needs a value", {what.substr(0, required)});
    const size_t override_at = what.find(" was given a disallowed flag override");
    if (override_at != std::string::npos)
      return tr("{1} takes no value", {"--" + what.substr(0, override_at)});
    return what;
  } catch (const CLI::RequiredError& e) {
    if (common_->help) return "";
    const std::string what = e.what();  // "--line is required"
    const size_t required = what.find(" is required");
    return required == std::string::npos ? what : tr("{1} is needed", {what.substr(0, required)});
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  CommonArguments* a = common_;
  if (a->help) return "";
  // A folder that holds the sources of one scenario only needs no names.
  if (!file_operand_ && !two_operands_ && !a->directory.empty()) {
    take_names_from_folder(a->directory, app_->count("--line") > 0, app_->count("--train") > 0,
                           &a->scenario);
  }
  // The names go into the scenario table as Windows-1252, the simulator's code page; file
  // names keep the platform's own form.
  const struct {
    const char* option;
    const std::string& name;
  } names[] = {{"--line", a->scenario.line_name}, {"--train", a->scenario.train_number}};
  for (const auto& n : names) {
    if (windows_1252_from_utf8(n.name)) continue;
    if (!is_utf8(n.name)) {
      return tr("{1} \"{2}\" is not UTF-8 text", {n.option, n.name});
    }
    return tr(
        "{1} \"{2}\" holds a character that Windows-1252, the code page of the "
        "simulator's files, cannot represent",
        {n.option, n.name});
  }
  // Every file name is built from the two names: neither may lead out of DIR or mean anything
  // but a plain file there, on Linux or on Windows.
  const std::string refused = scenario_names_refusal(a->scenario, "--line", "--train");
  if (!refused.empty()) return refused;
  if (two_operands_) {
    if (a->directory.empty() ||
        app_->count(usage_words_[0].substr(usage_words_[0].find(' ') + 1)) == 0)
      return tr("two scenarios are needed: {1}", {usage_words_[0]});
    return "";
  }
  if (file_operand_) {
    if (a->directory.empty()) return tr("{1} is needed", {usage_words_[0]});
    return "";
  }
  if (a->directory.empty()) return tr("a directory is needed");
  if (!folder_made_ && (!file_exists(a->directory) || is_regular_file(a->directory))) {
    return tr("{1} is not a directory", {a->directory});
  }
  // Trailing separators go, but not the one of a root ("/", "C:\\").
  while (a->directory.size() > 1 &&
         (a->directory.back() == '/' || a->directory.back() == kPathSeparator) &&
         a->directory[a->directory.size() - 2] != ':') {
    a->directory.pop_back();
  }
  return "";
}

std::optional<int64_t> kilometre_in_metres(const std::string& text) {
  const size_t plus = text.find('+');
  char* end = nullptr;
  if (plus != std::string::npos) {
    const std::string km = text.substr(0, plus), m = text.substr(plus + 1);
    const long whole = std::strtol(km.c_str(), &end, 10);
    if (km.empty() || *end != '\0' || whole < 0) return std::nullopt;
    const long metres = std::strtol(m.c_str(), &end, 10);
    if (m.empty() || *end != '\0' || metres < 0 || metres > 999) return std::nullopt;
    return int64_t(whole) * 1000 + metres;
  }
  const double km = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !(km >= 0 && km <= 1e6)) return std::nullopt;
  return std::llround(km * 1000);
}

namespace {

void declare_max_warnings(CommandLine& line, size_t* max_warnings) {
  line.checked("--max-warnings", "N", [max_warnings](const std::string& value) -> std::string {
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
      return tr("--max-warnings needs a count (0 for all)");
    }
    *max_warnings = std::stoul(value);
    return "";
  });
}

// What check, compile and package share after their own options: how problems are reported.
template <typename Arguments>
void declare_reporting(CommandLine& line, Arguments* a) {
  declare_max_warnings(line, &a->max_warnings);
  line.flag("--werror", &a->werror);
  line.checked(
      "--color", tr_mark("WHEN"),
      [a](const std::string& value) -> std::string {
        if (value != "auto" && value != "always" && value != "never") {
          return tr("--color is auto, always or never");
        }
        a->color = value;
        return "";
      },
      Shown::kJoined);
  line.checked(
      "--format", tr_mark("FORM"),
      [a](const std::string& value) -> std::string {
        if (value != "text" && value != "json" && value != "sarif") {
          return tr("--format is text, json or sarif");
        }
        a->format = value;
        return "";
      },
      Shown::kJoined);
}

// plot and view: the file made, and the stretch shown.
void declare_picture(CommandLine& line, PlotArguments* a, const char* file) {
  line.option("-o", file, &a->output, Shown::kNeeded);
  const struct {
    const char* name;
    std::optional<int64_t>* chainage;
  } stretch[] = {{"--from", &a->from_chainage}, {"--to", &a->to_chainage}};
  for (const auto& end : stretch) {
    line.checked(end.name, "KM", [chainage = end.chainage](const std::string& value) {
      if (value.empty()) return std::string();
      *chainage = kilometre_in_metres(value);
      return *chainage ? std::string()
                       : tr("'{1}' is not a kilometre (37, 37.25 or 37+250)", {value});
    });
  }
}

}  // namespace

void declare_check(CommandLine& line, CheckArguments* a) {
  line.flag("--no-plan", &a->no_plan);
  line.flag("--fix", &a->fix);
  declare_reporting(line, a);
}

void declare_compile(CommandLine& line, CompileArguments* a) {
  line.flag("--no-plan", &a->check.no_plan);
  line.flag("--force", &a->force);
  line.checked("--wait", "S", [a](const std::string& value) -> std::string {
    char* end = nullptr;
    const double seconds = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || *end != '\0' || !(seconds >= 0 && seconds <= 3600)) {
      return tr("--wait needs a number of seconds from 0 to 3600");
    }
    a->wait_milliseconds = static_cast<int>(seconds * 1000);
    return "";
  });
  declare_reporting(line, &a->check);
}

void declare_dump(CommandLine& line, DumpArguments* a) {
  line.flag("--json", &a->json);
}

void declare_plot(CommandLine& line, PlotArguments* a) {
  declare_picture(line, a, "FILE.svg");
}

void declare_view(CommandLine& line, ViewArguments* a) {
  declare_picture(line, &a->page, "FILE.html");
  line.flag("--no-plan", &a->no_plan);
  line.flag("--watch", &a->watch);
  line.checked("--editor-url", tr_mark("PATTERN"), [a](const std::string& value) -> std::string {
    if (value.find("{path}") == std::string::npos) {
      return tr("--editor-url needs {path} in its pattern (and {line} where the line goes)");
    }
    a->editor_url = value;
    return "";
  });
}

void declare_package(CommandLine& line, PackageArguments* a) {
  line.option("--notes", "FILE", &a->notes, Shown::kNeeded);
  line.option("--sheet", "FILE", &a->sheet, Shown::kNeeded);
  line.option("--slowdowns", "FILE", &a->slowdowns, Shown::kNeeded);
  line.option("-o", tr_mark("OUT"), &a->output);
  line.option("--target", "windows|linux", &a->target);
  line.option("--installer", tr_mark("PROGRAM"), &a->installer);
  declare_reporting(line, a);
}

void declare_extract(CommandLine& line, ExtractArguments* a) {
  line.file_operand(tr_mark("INSTALLER"));
  line.option("-o", tr_mark("DIR"), &a->output, Shown::kNeeded);
  line.flag("--force", &a->force);
}

void declare_init(CommandLine& line, InitArguments* a) {
  line.names_needed();
  line.folder_made();
  line.flag("--force", &a->force);
}

void declare_decompile(CommandLine& line, DecompileArguments* a) {
  line.option("-o", tr_mark("OUT"), &a->output, Shown::kNeeded);
  line.flag("--force", &a->force);
}

void declare_diff(CommandLine& line, DiffArguments* a) {
  line.two_operands("A", "B", &a->second);
  line.checked(
      "--format", tr_mark("FORM"),
      [a](const std::string& value) -> std::string {
        if (value != "text" && value != "json") return tr("--format is text or json");
        a->format = value;
        return "";
      },
      Shown::kJoined);
}

void declare_format(CommandLine& line, FormatArguments* a) {
  line.flag("--check", &a->check);
}
