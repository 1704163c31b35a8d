#include "driver/check_mode.h"

#include "driver/agent_rules_loading.h"
#include "driver/run_state.h"
#include "config/parameter_file.h"
#include "driver/preflight.h"
#include "driver/run_settings_sources.h"
#include "intake/input_chain.h"
#include "intake/log_format.h"
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
  std::string logs;
  for (const std::string& log : s.severalInputs ? s.inputFiles : std::vector<std::string>()) {
    logs += (logs.empty() ? "" : ", ") + Quoted(log);
  }
  if (!s.severalInputs && !s.inputFile.empty()) logs = Quoted(s.inputFile);
  Setting(console, "input log", logs.empty() ? asked : logs);
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
  if (AgentsWanted(s)) {
    Setting(console, "user agents",
            Quoted(AgentRegexesPath(s)) +
                (s.botsFile.empty() ? "" : ", crawlers also from " + Quoted(s.botsFile)) +
                (s.excludeBots ? ", bots in the crawler section only" : ""));
  }
  // Lines only for the keywords given, so that a check without them reads
  // as before.
  if (s.summaryTables) Setting(console, "full tables", "keep their heaviest keys (summary)");
  if (s.distinctInClassic) Setting(console, "distinct counts", "in the classic report too");
}

// The logs and the report: can the run open and create them? Each log is
// opened (a rotated set's every file) and closed again.
void CheckFiles(Env& env, const RunSettings& s, Diagnostics& diagnostics) {
  std::vector<std::string> logs = s.severalInputs ? s.inputFiles : std::vector<std::string>();
  if (!s.severalInputs && !s.inputFile.empty()) logs.push_back(s.inputFile);
  bool logOnInput = false;
  if (logs.empty()) {
    diagnostics.Report(Severity::kNote, "", "INFILE is not set: a run asks for the log's name");
  }
  for (const std::string& log : logs) {
    std::string base;
    std::vector<std::string> files{log};
    if (IsRotatedSetName(env, log, &base)) {
      Status found = RotatedSet(env, base, &files);
      if (!found.ok()) {
        diagnostics.Reason("cannot open input file " + Quoted(log) + ": " + found.Reason());
        continue;
      }
    }
    for (const std::string& file : files) {
      if (IsStandardInputName(file)) {
        logOnInput = true;
        continue;
      }
      std::unique_ptr<SequentialFile> opened;
      Status status = env.OpenForReading(file, &opened);
      if (!status.ok()) {
        diagnostics.Reason("cannot open input file " + Quoted(file) + ": " +
                           SystemReason(status.sysError()));
      }
    }
  }
  if (logOnInput && s.outputFile.empty()) {
    diagnostics.Report(Severity::kError, "",
                       "INFILE=- reads the log from standard input, so OUTFILE must name "
                       "the report");
  }
  if (s.outputFile.empty()) {
    diagnostics.Report(Severity::kNote, "", "OUTFILE is not set: a run asks for the report's name");
  }
  WarnBeforeReading(env, s, diagnostics);
}

// The log format and the extra fields, compiled as the run compiles them.
void CheckFormat(const RunSettings& s, Diagnostics& diagnostics) {
  LogFormat format;
  std::string reason;
  if (!CompileLogFormat(s.logFormat, s.extra1Field, s.extra2Field, &format, &reason, s.timeField)) {
    diagnostics.Report(Severity::kError, "", "the log format cannot be used: " + reason);
  }
}

// The user-agent files, read and parsed as a run reads them; a run would
// go on without the user-agent sections.
void CheckAgents(Env& env, const RunSettings& s, Diagnostics& diagnostics) {
  if (!AgentsWanted(s)) return;
  UapRegexes regexes;
  AgentRules rules;
  Status status = ReadAgentFiles(env, s, &regexes, &rules);
  if (!status.ok()) {
    diagnostics.Report(Severity::kWarning, "",
                       "user agents would not be classified: " + status.ToString());
  }
}

}  // namespace

int RunCheck(const CommandLine& command, RunEnvironment& env) {
  Console& console = env.console;
  Diagnostics diagnostics(env.diagnostics);
  RunStatePtr state = NewRunState();
  std::optional<std::string> file = ParameterFileOf(env.machine, command);
  if (file && (file->empty() || file->size() > kParameterFileWidth)) {
    diagnostics.Report(Severity::kError, "",
                       "the parameter file's name must have 1 to " +
                           std::to_string(kParameterFileWidth) + " characters");
    return kCheckFailed;
  }
  // The echoes a run would print; PLOW changes nothing here.
  if (ReadSettings(command, file, env, *state, true)) return kCheckFailed;
  const RunSettings& settings = state->settings;
  CheckFormat(settings, diagnostics);
  CheckFiles(env.machine, settings, diagnostics);
  CheckAgents(env.machine, settings, diagnostics);
  PrintSettings(settings, console);
  return diagnostics.worst() == Severity::kNote ? 0 : kCheckFailed;
}

}  // namespace logvane
