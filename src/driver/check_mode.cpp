#include "driver/check_mode.h"

#include "driver/run_state.h"
#include "config/parameter_file.h"
#include "driver/preflight.h"
#include "intake/log_source.h"
#include "names/name_phases.h"

namespace logvane {

namespace {

constexpr int kCheckFailed = 1;

void Setting(Console& console, std::string_view name, std::string_view value) {
  console.Write("  ");
  console.Write(name);
  for (size_t i = name.size(); i < 18; ++i) console.WriteChar(' ');
  console.Write(value);
  console.Write("\n");
}

std::string OnOff(bool on) { return on ? "on" : "off"; }

std::string LookupText(const RunSettings& s) {
  if (LookupsOff(s)) return "off: no names, no cache file";
  std::string text = CacheOnly(s)
                         ? "names from " + std::string(kNameCacheFile) + " only"
                         : "names from " + std::string(kNameCacheFile) + ", then reverse lookups";
  text += "; time-out " + std::to_string(s.lookupTimeout) + " s, " + std::to_string(s.dnsThreads) +
          " at a time; tracing " + OnOff(TraceLookups(s));
  return text;
}

std::string SectionsOff(const RunSettings& s) {
  struct Section {
    bool on;
    const char* name;
  };
  const Section sections[] = {{s.showUsers, "users"},     {s.showDates, "dates"},
                              {s.showDays, "days"},       {s.showHours, "hours"},
                              {s.showPages, "pages"},     {s.showDirs, "directories"},
                              {s.showNations, "nations"}, {s.showCodes, "codes"}};
  std::string off;
  for (const Section& section : sections) {
    if (section.on) continue;
    if (!off.empty()) off += ", ";
    off += section.name;
  }
  return off.empty() ? "none" : off;
}

void PrintSettings(const RunSettings& s, Console& console) {
  console.Write("\nEffective settings:\n");
  const std::string asked = "(asked for at the start)";
  Setting(console, "input log", s.inputFile.empty() ? asked : Quoted(s.inputFile));
  Setting(console, "report", s.outputFile.empty() ? asked : Quoted(s.outputFile));
  Setting(console, "title", Quoted(s.reportTitle));
  Setting(console, "reverse lookups", LookupText(s));
  Setting(console, "rows",
          "users " + std::to_string(s.maxUsers) + ", pages " + std::to_string(s.maxPages) +
              ", directories " + std::to_string(s.maxDirs) + ", not found " +
              std::to_string(s.maxNotFound) + ", nations " + std::to_string(s.maxNations) +
              ", extra 1 " + std::to_string(s.maxExtra1) + ", extra 2 " +
              std::to_string(s.maxExtra2));
  Setting(
      console, "bar graph",
      std::to_string(s.graphWidth) + " pixels, image " + Quoted(s.barImageLocation + "/hstb.gif"));
  Setting(console, "sections off", SectionsOff(s));
  Setting(console, "hour offset", std::to_string(s.hourOffset));
  Setting(console, "selection", s.selectOn ? Quoted(s.selectText) : "every request");
  Setting(console, "exclusions",
          std::to_string(s.excludedAddresses.size()) + " addresses, " +
              std::to_string(s.excludedTypes.size()) + " types, " +
              std::to_string(s.excludedExtra1.size()) + " extra 1, " +
              std::to_string(s.excludedExtra2.size()) + " extra 2");
  Setting(console, "log kind", s.proxyMode ? "proxy" : "web server");
  Setting(console, "user",
          s.userFromField2 ? "ident/authuser field when present" : "client address");
  Setting(console, "pages", s.fullPageDetails ? "with query" : "query cut");
  Setting(console, "robots", EqualsFolded(s.robotsMode, "RPT") ? "marked" : "not marked");
  Setting(console, "parameters block", OnOff(s.showParameters));
}

// The log and the report: can the run open and create them?
void CheckFiles(Env& env, const RunSettings& s, Diagnostics& diagnostics) {
  if (s.inputFile.empty()) {
    diagnostics.Report(Severity::kNote, "", "INFILE is not set: a run asks for the log's name");
  } else if (IsStandardInputName(s.inputFile)) {
    if (s.outputFile.empty()) {
      diagnostics.Report(Severity::kError, "",
                         "INFILE=- reads the log from standard input, so OUTFILE must name "
                         "the report");
    }
  } else {
    std::unique_ptr<SequentialFile> log;
    Status opened = env.OpenForReading(s.inputFile, &log);
    if (!opened.ok()) {
      diagnostics.Reason("cannot open input file " + Quoted(s.inputFile) + ": " +
                         SystemReason(opened.sysError()));
    }
  }
  if (s.outputFile.empty()) {
    diagnostics.Report(Severity::kNote, "", "OUTFILE is not set: a run asks for the report's name");
  }
  WarnBeforeReading(env, s, diagnostics);
}

}  // namespace

int RunCheck(const std::vector<std::string>& args, RunEnvironment& env) {
  Console& console = env.console;
  Diagnostics diagnostics(env.diagnostics);
  RunStatePtr state = NewRunState();
  RunSettings& settings = state->settings;
  if (args.size() > 1) settings.parameterFile = args[1];
  if (settings.parameterFile.empty() || settings.parameterFile.size() > kParameterFileWidth) {
    diagnostics.Report(Severity::kError, "",
                       "the parameter file's name must have 1 to " +
                           std::to_string(kParameterFileWidth) + " characters");
    return kCheckFailed;
  }

  std::string text;
  Status read = ReadWholeFile(env.machine, settings.parameterFile, &text);
  if (!read.ok()) {
    diagnostics.Reason("cannot open parameter file " + Quoted(settings.parameterFile) + ": " +
                       SystemReason(read.sysError()));
    return kCheckFailed;
  }
  console.Write("Checking parameter file: ");
  console.Write(settings.parameterFile);
  console.Write("\n\n");
  // The echoes a run would print; PLOW changes nothing here.
  bool complete = ReadParameterFile(text, settings, state->labels, console, nullptr, &diagnostics,
                                    settings.parameterFile);
  if (!complete) return kCheckFailed;
  CheckFiles(env.machine, settings, diagnostics);
  PrintSettings(settings, console);
  return diagnostics.worst() == Severity::kNote ? 0 : kCheckFailed;
}

}  // namespace logvane
