#include "driver/command_line.h"

#include <set>

#include "common/ascii_text.h"
#include "config/report_labels.h"

namespace logvane {

namespace {

using A = OptionAction;
using G = KeywordGroup;

// The keyword a parameter-file line begins with, if any.
const KeywordInfo* KeywordOf(std::string_view line) {
  static const std::vector<KeywordInfo> keywords = ParameterKeywords();
  for (const KeywordInfo& keyword : keywords) {
    if (StartsWithFolded(line, keyword.name)) return &keyword;
  }
  return nullptr;
}

// A --set line is one parameter-file line: it must be one the reader takes
// whole, or it would do nothing (or, with a line end in it, two things).
Status CheckSetLine(std::string_view option, std::string_view line) {
  auto refuse = [&](const std::string& why) {
    return Status::Invalid("", "", std::string(option) + " '" + std::string(line) + "': " + why);
  };
  if (line.find_first_of(std::string_view("\n\r\0", 3)) != std::string_view::npos) {
    return refuse("a setting is one line");
  }
  if (const KeywordInfo* keyword = KeywordOf(line)) {
    if (!keyword->value.empty() && line.find('=') == std::string_view::npos) {
      return refuse(std::string(keyword->name) + " needs =VALUE");
    }
    return Status::Ok();
  }
  ReportLabels scratch;
  if (ApplyLabelLine(scratch, line)) return Status::Ok();
  return refuse("no keyword");
}

Status Refuse(const std::string& text) { return Status::Invalid("", "", text); }

}  // namespace

const std::vector<OptionEntry>& Options() {
  // An option that stands for a keyword is one entry: its value becomes the
  // line KEYWORD=VALUE, read after the parameter file like --set's.
  static const std::vector<OptionEntry> options = {
      {"rotated", 0, A::kKeyword, "INFILE", "*", "BASE", true, G::kInput,
       "a logrotate set: BASE.N.gz ... BASE.1, BASE"},
      {"from", 0, A::kKeyword, "FROM", "", "WHEN", false, G::kInput,
       "count the records from WHEN on (FROM)"},
      {"until", 0, A::kKeyword, "UNTIL", "", "WHEN", false, G::kInput,
       "count the records before WHEN (UNTIL)"},
      {"agents", 0, A::kKeyword, "AGENTS", "", "Y|FILE", false, G::kInput,
       "classify the user agents (AGENTS)"},
      {"format", 'f', A::kKeyword, "LOGFORMAT", "", "FORMAT", false, G::kFormats,
       "the log's layout (LOGFORMAT)"},
      {"geoip", 0, A::kKeyword, "GEOIP", "", "Y|FILE", false, G::kNames,
       "nations from a country database (GEOIP)"},
      {"title", 0, A::kKeyword, "TITLE", "", "TEXT", false, G::kReport,
       "the report's title (TITLE)"},
      {"style", 0, A::kKeyword, "STYLE", "", "classic|modern", false, G::kReport,
       "the classic report or the modern page (STYLE)"},
      {"output", 'o', A::kKeyword, "OUTFILE", "", "FILE", false, G::kOutput,
       "the report; - for standard output (OUTFILE)"},
      {"state", 0, A::kKeyword, "STATEFILE", "", "FILE", false, G::kOutput,
       "write the tally state; - for stdout (STATEFILE)"},
      {"merge", 0, A::kKeyword, "MERGE", "", "FILE", true, G::kInput,
       "merge a state first; - for stdin (MERGE)"},
      {"dump-state", 0, A::kDumpState, "", "", "FILE", false, G::kRun,
       "write a state file as JSON and end"},
      {"params", 'p', A::kParams, "", "", "FILE", false, G::kRun,
       "the parameter file (default: lvparam.dat if any)"},
      {"set", 's', A::kSet, "", "", "KEYWORD=VALUE", true, G::kRun,
       "a parameter-file line, after the file's"},
      {"threads", 0, A::kKeyword, "THREADS", "", "N", false, G::kRun,
       "threads of the reading phase (THREADS)"},
      {"quiet", 'q', A::kQuiet, "", "", "", false, G::kRun,
       "no console lines but errors, no progress line"},
      {"check", 0, A::kCheck, "", "", "", false, G::kRun,
       "check settings, logs and report; read no log"},
      {"help", 'h', A::kHelp, "", "", "", false, G::kRun, "this help"},
      {"version", 0, A::kVersion, "", "", "", false, G::kRun, "the version"},
  };
  return options;
}

namespace {

// What the arguments read so far have given.
struct ParseState {
  std::vector<std::string> bare;
  // Lines and logs keep the command line's order: a bare argument is
  // remembered as its INFILE line, at its place.
  std::vector<std::string> lines;
  std::set<std::string_view> given;
  bool anyOption = false;  // other than --check
};

Status NeedsFileName(std::string_view shown) {
  return Refuse("option " + std::string(shown) + " needs a file name");
}

Status NeedsValue(std::string_view shown, const OptionEntry& option) {
  return Refuse("option " + std::string(shown) + " needs a value (" +
                std::string(option.valueName) + ")");
}

Status ApplyOption(const OptionEntry& option, std::string_view shown, const std::string& value,
                   ParseState& state, CommandLine* out) {
  if (!option.repeatable && !state.given.insert(option.longName).second) {
    return Refuse("option " + std::string(shown) + " given twice");
  }
  if (option.action != A::kCheck) state.anyOption = true;
  switch (option.action) {
    case A::kKeyword: {
      std::string line = std::string(option.keyword) + "=" + value + std::string(option.suffix);
      if (Status s = CheckSetLine(shown, line); !s.ok()) return s;
      state.lines.push_back(std::move(line));
      break;
    }
    case A::kSet:
      if (Status s = CheckSetLine(shown, value); !s.ok()) return s;
      state.lines.push_back(value);
      break;
    case A::kParams:
      if (value.empty()) return NeedsFileName(shown);
      out->parameterFile = value;
      break;
    case A::kDumpState:
      if (value.empty()) return NeedsFileName(shown);
      out->dumpState = value;
      break;
    case A::kQuiet: out->quiet = true; break;
    case A::kCheck: out->check = true; break;
    case A::kHelp: out->help = true; break;
    case A::kVersion: out->version = true; break;
  }
  return Status::Ok();
}

// --name, --name=value or --name value; *i moves past a value taken from
// the next argument.
Status ParseLongOption(const std::vector<std::string>& args, size_t* i, ParseState& state,
                       CommandLine* out) {
  const std::string& arg = args[*i];
  size_t equals = arg.find('=');
  std::string_view name = std::string_view(arg).substr(2, equals - 2);
  const OptionEntry* option = nullptr;
  for (const OptionEntry& o : Options()) {
    if (o.longName == name) option = &o;
  }
  std::string shown = "--" + std::string(name);
  if (option == nullptr) return Refuse("unknown option '" + shown + "'");
  std::string value;
  if (option->valueName.empty()) {
    if (equals != std::string::npos) return Refuse("option " + shown + " takes no value");
  } else if (equals != std::string::npos) {
    value = arg.substr(equals + 1);
  } else if (*i + 1 < args.size()) {
    value = args[++*i];
  } else {
    return NeedsValue(shown, *option);
  }
  return ApplyOption(*option, shown, value, state, out);
}

// Short options, which may share one argument: -qo report.html.
Status ParseShortOptions(const std::vector<std::string>& args, size_t* i, ParseState& state,
                         CommandLine* out) {
  const std::string& arg = args[*i];
  for (size_t k = 1; k < arg.size(); ++k) {
    const OptionEntry* option = nullptr;
    for (const OptionEntry& o : Options()) {
      if (o.shortName != 0 && o.shortName == arg[k]) option = &o;
    }
    std::string shown(2, '-');
    shown[1] = arg[k];
    if (option == nullptr) {
      // "-help" is more likely a long option with one dash than -h -e...
      std::string text = "unknown option '";
      text.append(shown).append("'");
      if (arg.size() > 2) text.append(" in '").append(arg).append("' (long options begin with --)");
      return Refuse(text);
    }
    std::string value;
    if (!option->valueName.empty()) {
      if (k + 1 < arg.size()) {
        value = arg.substr(k + 1);
      } else if (*i + 1 < args.size()) {
        value = args[++*i];
      } else {
        return NeedsValue(shown, *option);
      }
      k = arg.size();
    }
    if (Status s = ApplyOption(*option, shown, value, state, out); !s.ok()) return s;
  }
  return Status::Ok();
}

Status FinishCommandLine(ParseState& state, CommandLine* out) {
  out->withOptions = state.anyOption;
  if (!state.anyOption) {
    // The form of old: the first argument names the parameter file, and
    // any others are ignored.
    if (!state.bare.empty()) out->parameterFile = state.bare[0];
    return Status::Ok();
  }
  // A log's name becomes an INFILE line: it must stay one line.
  for (const std::string& log : state.bare) {
    if (log.find_first_of("\r\n") != std::string::npos) {
      return Refuse("log '" + log + "': a setting is one line");
    }
  }
  out->lines = std::move(state.lines);
  return Status::Ok();
}

}  // namespace

Status ParseCommandLine(const std::vector<std::string>& args, CommandLine* out) {
  ParseState state;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    Status parsed;
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      state.bare.push_back(arg);
      state.lines.push_back("INFILE=" + arg);
    } else if (arg == "--") {
      optionsEnded = true;
      state.anyOption = true;
    } else if (arg[1] == '-') {
      parsed = ParseLongOption(args, &i, state, out);
    } else {
      parsed = ParseShortOptions(args, &i, state, out);
    }
    if (!parsed.ok()) return parsed;
  }
  return FinishCommandLine(state, out);
}

}  // namespace logvane
