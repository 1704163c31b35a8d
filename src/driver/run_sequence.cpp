#include "driver/run_sequence.h"

#include <memory>
#include <optional>

#include "driver/agent_rules_loading.h"
#include "driver/run_state.h"
#include "config/parameter_file.h"
#include "intake/gzip_source.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "names/name_phases.h"
#include "names/nations.h"
#include "names/report_totals.h"
#include "report/modern_report.h"
#include "report/report_writer.h"
#include "report/write_report.h"
#include "driver/check_mode.h"
#include "driver/command_line.h"
#include "driver/preflight.h"
#include "driver/run_settings_sources.h"
#include "driver/state_steps.h"
#include "driver/usage.h"
#include "intake/input_chain.h"
#include "platform/progress_line.h"
#include "intake/reading_summary.h"
#include "tally/sort_tallies.h"

namespace logvane {

namespace {

// Shows the prompt and reads one word into `answer`; an answer longer than
// the field is refused rather than cut. False when the run must end.
bool Prompt(RunEnvironment& env, std::string_view text, std::string_view what,
            std::string* answer) {
  env.console.Write(text);
  env.console.Flush();
  env.input.ReadWord(answer);
  if (answer->size() <= kFileNameWidth) return true;
  env.console.Write("\n*ERROR* ");
  env.console.Write(what);
  env.console.Write(" filename is longer than 119 characters.\n");
  return false;
}

// Each step of the run either hands on to the next or ends the run with
// the process's exit status.
using StepEnd = std::optional<int>;
constexpr StepEnd kGoOn = std::nullopt;

// A command line that cannot be used ends the run before anything is read
// or written; --help and --version answer and end it too.
StepEnd AnswerCommandLine(const std::vector<std::string>& args, RunEnvironment& env,
                          CommandLine* command) {
  Status parsed = ParseCommandLine(args, command);
  if (!parsed.ok()) {
    Diagnostics(env.diagnostics).Reason(parsed.message() + "; try 'logvane --help'");
    return kUsageStatus;
  }
  if (command->help) {
    env.console.Write(UsageText());
    return 0;
  }
  if (command->version) {
    env.console.Write(VersionLine());
    return 0;
  }
  if (command->dumpState) return DumpStateFile(*command->dumpState, env);
  if (command->check) return RunCheck(*command, env);
  return kGoOn;
}

// The one argument of old names a file that holds no keyword but log lines:
// the operator meant to analyse it.
StepEnd RefuseLogAsParameters(const CommandLine& command, RunEnvironment& env) {
  if (command.withOptions || !command.parameterFile) return kGoOn;
  std::string content;
  if (!ReadWholeFile(env.machine, *command.parameterFile, &content).ok()) return kGoOn;
  std::string hint = AccessLogHint(*command.parameterFile, content);
  if (hint.empty()) return kGoOn;
  Diagnostics(env.diagnostics).Reason(hint);
  return kEarlyEndStatus;
}

StepEnd StartSockets(RunEnvironment& env, RunSettings& settings) {
  if (!env.machine.StartSockets().ok()) {
    env.console.Write("*ERROR* Could not windows socket.");
    return kEarlyEndStatus;
  }
  std::string host;
  if (!env.machine.HostName(&host).ok()) {
    env.console.Write("*ERROR* Could not get host name.");
    return kEarlyEndStatus;
  }
  settings.hostName = host.substr(0, kHostNameWidth);
  env.console.Write(" (running on host: ");
  env.console.Write(settings.hostName);
  env.console.Write(")\n");
  return kGoOn;
}

// OUTFILE=- (or STATEFILE=-) takes standard output from the console, which
// then writes to standard error, everything held so far included; a
// terminal is refused, and so are both at once.
StepEnd ClaimStandardOutput(RunEnvironment& env, bool reportOnOutput, bool stateOnOutput) {
  const bool onOutput = reportOnOutput || stateOnOutput;
  if (onOutput && env.standardOutputTakesReport) env.console.Redirect(STDERR_FILENO);
  env.console.Release();
  if (reportOnOutput && stateOnOutput) {
    env.console.Write(
        "*ERROR* OUTFILE=- and STATEFILE=- both ask for standard output: name a file for "
        "one of them.\n");
    return kEarlyEndStatus;
  }
  if (!onOutput || env.standardOutputTakesReport) return kGoOn;
  env.console.Write(stateOnOutput
                        ? "*ERROR* STATEFILE=- writes the state to standard output, which is a "
                          "terminal: redirect it (logvane PARAMETER-FILE > run.state) or name "
                          "a file.\n"
                        : "*ERROR* OUTFILE=- writes the report to standard output, which is a "
                          "terminal: redirect it (logvane PARAMETER-FILE > report.html) or name "
                          "a file.\n");
  return kEarlyEndStatus;
}

// With state files a run may leave out the log (MERGE and no INFILE) or the
// report (STATEFILE and no OUTFILE); without, it has both, asked for when
// the parameter file leaves them open.
bool WantsLogs(const RunSettings& s) {
  return s.mergeStates.empty() || !s.inputFile.empty() || !s.inputFiles.empty();
}
bool WantsReport(const RunSettings& s) { return s.stateFile.empty() || !s.outputFile.empty(); }

// Standard input can feed one thing: states, a log or the prompts.
StepEnd RefuseSharedInput(RunEnvironment& env, const RunSettings& s) {
  bool statesOnInput = false;
  for (const std::string& name : s.mergeStates) statesOnInput |= IsStandardInputName(name);
  if (!statesOnInput) return kGoOn;
  bool logOnInput = IsStandardInputName(s.inputFile);
  for (const std::string& name : s.inputFiles) logOnInput |= IsStandardInputName(name);
  if (logOnInput) {
    env.console.Write(
        "*ERROR* MERGE=- and INFILE=- both read standard input: name a file for one of "
        "them.\n");
    return kEarlyEndStatus;
  }
  if (WantsReport(s) && s.outputFile.empty()) {
    env.console.Write(
        "*ERROR* States are read from standard input (MERGE=-): name the report with OUTFILE "
        "in the parameter file.\n");
    return kEarlyEndStatus;
  }
  return kGoOn;
}

// The logs of the run: every INFILE with options, else the last one (or
// the prompt's answer); a rotated set stands for its files.
StepEnd NameLogs(RunEnvironment& env, RunSettings& settings, std::vector<std::string>* names) {
  std::vector<std::string> given;
  if (settings.severalInputs) given = settings.inputFiles;
  if (given.empty()) {
    const bool inputAsked = settings.inputFile.empty();
    if (inputAsked &&
        !Prompt(env, "Please enter the input log filename: ", "Input", &settings.inputFile)) {
      return kEarlyEndStatus;
    }
    // "-" typed at the prompt: the log starts on the line after the answer.
    if (IsStandardInputName(settings.inputFile) && inputAsked) env.input.SkipLineEnd();
    given.push_back(settings.inputFile);
  }
  for (const std::string& name : given) {
    std::string base;
    if (!IsRotatedSetName(env.machine, name, &base)) {
      names->push_back(name);
      continue;
    }
    std::vector<std::string> files;
    Status found = RotatedSet(env.machine, base, &files);
    if (!found.ok()) {
      env.console.Write("*ERROR* Could not open input file.");
      Diagnostics(env.diagnostics)
          .Reason("cannot open input file " + Quoted(name) + ": " + found.Reason());
      return kEarlyEndStatus;
    }
    names->insert(names->end(), files.begin(), files.end());
  }
  return kGoOn;
}

// Opens every log before any is read: one that cannot be opened ends the
// run with its name and why.
StepEnd OpenLogs(RunEnvironment& env, RunSettings& settings, std::unique_ptr<InputChain>* chain) {
  std::vector<std::string> names;
  if (StepEnd end = NameLogs(env, settings, &names)) return end;
  std::string failed;
  Status opened = OpenInputChain(env.machine, names, env.input, chain, &failed);
  size_t good = opened.ok() ? names.size() : 0;
  while (!opened.ok() && good < names.size() && names[good] != failed) ++good;
  for (size_t i = 0; i < good; ++i) env.console.Write("...... input file opened.\n");
  if (opened.ok()) return kGoOn;
  env.console.Write("*ERROR* Could not open input file.");
  Diagnostics(env.diagnostics)
      .Reason("cannot open input file " + Quoted(failed) + ": " +
              (failed.empty() ? "no file name was given" : SystemReason(opened.sysError())));
  return kEarlyEndStatus;
}

// The name the diagnostics give the log: its own, or the first of several.
std::string LogName(const InputChain& chain) {
  const std::vector<InputRecord>& inputs = chain.inputs();
  if (inputs.size() == 1) return inputs[0].name;
  return inputs[0].name + " and " + std::to_string(inputs.size() - 1) + " more";
}

// The report's name from the parameter file or the prompt.
StepEnd NameReport(RunEnvironment& env, RunSettings& settings) {
  bool logOnInput = IsStandardInputName(settings.inputFile) && WantsLogs(settings);
  for (const std::string& name : settings.inputFiles) {
    logOnInput = logOnInput || (settings.severalInputs && IsStandardInputName(name));
  }
  if (settings.outputFile.empty() && logOnInput) {
    // Standard input is the log: no answer can be read from it.
    env.console.Write(
        "*ERROR* The log is read from standard input (INFILE=-): "
        "name the report with OUTFILE in the parameter file.\n");
    return kEarlyEndStatus;
  }
  if (settings.outputFile.empty() &&
      !Prompt(env, "Enter the output filename (to be created): ", "Output", &settings.outputFile)) {
    return kEarlyEndStatus;
  }
  Diagnostics diagnostics(env.diagnostics);
  WarnBeforeReading(env.machine, settings, diagnostics);
  return kGoOn;
}

// The console says the country database cannot be used, standard error
// why; nations then go by top-level domain.
void WarnGeoip(RunEnvironment& env, const Status& failure) {
  env.console.Write("*WARNING* GeoIP database not usable: ");
  env.console.Write(GeoReason(failure));
  env.console.Write("\n");
  if (env.diagnostics == nullptr) return;
  env.diagnostics->Write("logvane: GeoIP database not usable, nations go by top-level domain: ");
  env.diagnostics->Write(GeoDetail(failure));
  env.diagnostics->Write("\n");
}

// The country database GEOIP names, loaded before the log is read so that a
// bad one shows at once. Only the nations section uses it.
void LoadCountryDatabase(RunEnvironment& env, RunState& state) {
  const RunSettings& settings = state.settings;
  if (!settings.showNations || !GeoipWanted(settings.geoipDatabase)) return;
  auto database = std::make_unique<GeoDatabase>();
  Status loaded = LoadGeoDatabase(env.machine, settings.geoipDatabase, *database);
  if (!loaded.ok()) {
    WarnGeoip(env, loaded);
    return;
  }
  state.geoip = std::move(database);
}

// The layout of the log and the fields of the extra sections, checked
// before anything is read.
StepEnd CompileFormat(RunEnvironment& env, const RunSettings& settings, LogFormat* format) {
  std::string reason;
  if (CompileLogFormat(settings.logFormat, settings.extra1Field, settings.extra2Field, format,
                       &reason, settings.timeField)) {
    return kGoOn;
  }
  env.console.Write("*ERROR* The log format cannot be used: ");
  env.console.Write(reason);
  env.console.Write("\n");
  return kEarlyEndStatus;
}

// Text from the log as the operator may safely see it: control bytes,
// bytes above 126 and backslashes as \xHH and \\, and not more than a
// screen line or two.
std::string VisibleText(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  return Visible(text, 300);
}

// Lines that did not fit the configured format feed nothing; the operator
// learns how many there were and sees the first.
void NoteUnmatchedLines(RunEnvironment& env, const RunCounters& counters) {
  if (counters.unmatchedLines == 0 || env.diagnostics == nullptr) return;
  Console& errors = *env.diagnostics;
  errors.Write("logvane: ");
  errors.WriteNumber(counters.unmatchedLines);
  errors.Write(counters.unmatchedLines == 1 ? " line does" : " lines do");
  errors.Write(" not match the log format and fed nothing; the first: ");
  errors.Write(VisibleText(counters.firstUnmatched));
  errors.Write("\n");
  errors.Flush();
}

// The reading phase's threads, and its progress line on a terminal for the
// time the object lives.
class ReadingScope {
 public:
  ReadingScope(RunEnvironment& env, const RunState& state, const InputChain* log) : env_(env) {
    plan.threads =
        state.settings.readingThreads != 0 ? state.settings.readingThreads : SystemOnlineCores();
    plan.blockLines = env.readBlockLines;
    // The progress line shares standard error with the diagnostics, and the
    // terminal with the console when standard output is that terminal.
    if (log == nullptr || !env.progressOnTerminal || env.diagnostics == nullptr) return;
    progress_.emplace(STDERR_FILENO);
    progress_->Start(&log->bytesRead(), log->totalBytes());
    plan.progress = ProgressTick(&*progress_);
    env.diagnostics->ShareTerminal(&*progress_);
    // OUTFILE=- (or STATEFILE=-) moved the console to standard error itself.
    const bool consoleOnErrors = (IsStandardOutputName(state.settings.outputFile) ||
                                  IsStandardOutputName(state.settings.stateFile)) &&
                                 env.standardOutputTakesReport;
    if (env.consoleSharesTerminal || consoleOnErrors) env.console.ShareTerminal(&*progress_);
  }
  ~ReadingScope() { Finish(); }
  void Finish() {
    if (!progress_) return;
    progress_->Finish();
    env_.diagnostics->ShareTerminal(nullptr);
    env_.console.ShareTerminal(nullptr);
    progress_.reset();
  }
  ReadingPlan plan;

 private:
  RunEnvironment& env_;
  std::optional<ProgressLine> progress_;
};

// What the operator hears of the reading phase: lines that fit no format,
// a read that failed, rejected lines and full tables.
void SummarizeTallies(RunEnvironment& env, const RunState& state, const InputChain* log) {
  NoteUnmatchedLines(env, state.counters);
  Diagnostics diagnostics(env.diagnostics);
  const RunCounters& counters = state.counters;
  if (counters.readError && log != nullptr) {
    // A read that failed without an errno met damaged compressed data.
    diagnostics.Reason("cannot read input file " + Quoted(log->current().name) + ": " +
                       (counters.readErrno != 0 ? SystemReason(counters.readErrno)
                                                : "the compressed data is damaged or cut short"));
  }
  SummarizeReading(counters, state.tallies, log != nullptr ? LogName(*log) : "merged states",
                   diagnostics);
  if (DateRangeOn(state.settings)) {
    SummarizeDateRange(state.settings, counters, log != nullptr ? LogName(*log) : "merged states",
                       diagnostics);
  }
}

void PrepareReport(RunEnvironment& env, RunState& state);

// Reads the log into the tallies, sorts them and translates the users.
// False when the log could not be read to its end.
bool TallyLog(RunEnvironment& env, RunState& state, const LogFormat& format, InputChain& log,
              AgentRulesLoading& agents) {
  LogLineReader reader(log, PieceWidthFor(format));
  ReadingScope scope(env, state, &log);
  scope.plan.agents = agents.pending();
  ReadRecords(state.settings, format, state.tallies, state.counters, reader, env.console,
              env.machine, scope.plan);
  scope.Finish();
  agents.Finish(env.console, env.diagnostics);
  SummarizeTallies(env, state, &log);
  PrepareReport(env, state);
  return !state.counters.readError;
}

// Sorts the tallies, translates the users and derives the report's totals.
void PrepareReport(RunEnvironment& env, RunState& state) {
  SortTallies(state.settings, state.counters, state.tallies, env.console);
  if (!LookupsOff(state.settings)) {
    env.console.Write("translating names...\n\n\n");
    TranslateUserNames(state.settings, state.tallies.users, state.cache, state.userAddresses,
                       env.console, env.machine);
  }
  if (!state.geoip) {
    (void)DeriveReportTotals(state.settings, state.tallies);
    return;
  }
  NationsByAddress byAddress{*state.geoip, state.userAddresses};
  Status derived = DeriveReportTotals(state.settings, state.tallies, &byAddress);
  if (!derived.ok()) {
    WarnGeoip(env, derived);
  } else if (state.settings.showNations) {
    state.nationSource = GeoAttribution(*state.geoip);
  }
}

StepEnd WriteReportFile(RunEnvironment& env, RunState& state, bool reportOnOutput) {
  Console& console = env.console;
  console.Write("generating reports...\n");
  std::unique_ptr<ReportWriter> report;
  Status created;
  if (reportOnOutput) {
    report = ReportWriter::ForStandardOutput(env.machine);
  } else {
    created = ReportWriter::Create(env.machine, state.settings.outputFile, &report);
  }
  if (!created.ok()) {
    console.Write("*ERROR* Could not open output file.");
    Diagnostics(env.diagnostics)
        .Reason("cannot create output file " + Quoted(state.settings.outputFile) + ": " +
                (state.settings.outputFile.empty() ? "no file name was given"
                                                   : SystemReason(created.sysError())));
    return kEarlyEndStatus;
  }
  console.Write("...... new output file created.\n");
  if (state.settings.reportStyle == ReportStyle::kModern) {
    WriteModernReport(state, *report, env.machine);
  } else {
    WriteReport(state, *report, env.machine);
  }
  Status written = report->Close();
  if (!written.ok()) {
    console.Write("*ERROR* Could not write output file.\n");
    Diagnostics(env.diagnostics)
        .Reason("cannot write output file " + Quoted(state.settings.outputFile) + ": " +
                SystemReason(written.sysError()));
    return kEarlyEndStatus;
  }
  console.Write("\n finished reporting...\n\n");
  console.Write("finished: ");
  console.Write(env.machine.LocalTimeText());
  console.Write("\n");
  return kGoOn;
}

// The name cache, when names are looked up at all.
void LoadNameCacheFile(RunEnvironment& env, RunState& state) {
  if (LookupsOff(state.settings)) return;
  Status loaded = LoadNameCache(env.machine, state.cache, env.cacheFile, env.console);
  // A missing cache is the usual first run, already noted on the console.
  if (!loaded.ok() && loaded.code() != StatusCode::kNotFound) {
    // A failure with a place in the file came after the records before it
    // were loaded.
    Diagnostics(env.diagnostics)
        .Reason((loaded.where().empty() ? "cannot open cache file " + Quoted(env.cacheFile)
                                        : "cannot read cache file " + Quoted(env.cacheFile) +
                                              " after " + loaded.where()) +
                ": " + SystemReason(loaded.sysError()));
  }
}

void SaveNameCacheFile(RunEnvironment& env, RunState& state) {
  if (LookupsOff(state.settings)) return;
  Status saved = SaveNameCache(env.machine, state.cache, env.cacheFile, env.console);
  if (!saved.ok()) {
    Diagnostics(env.diagnostics)
        .Reason("cannot write cache file " + Quoted(env.cacheFile) + ": " +
                SystemReason(saved.sysError()));
  }
}

// A run with STATEFILE or MERGE: the states merged, each log read on its
// own and merged, the state written before the tables are sorted, and the
// report (when one is wanted) from the merged tallies. Names, the cache and
// the country database belong to the run that writes a report.
StepEnd RunWithStates(RunEnvironment& env, RunState& state, const LogFormat& format,
                      bool reportOnOutput) {
  RunSettings& settings = state.settings;
  const bool report = WantsReport(settings);
  if (report) {
    LoadNameCacheFile(env, state);
    LoadCountryDatabase(env, state);
  }
  std::unique_ptr<InputChain> log;
  if (WantsLogs(settings)) {
    if (StepEnd end = OpenLogs(env, settings, &log)) return end;
    log->FingerprintInputs();
    log->ReadOneAtATime();
  }
  if (report) {
    if (StepEnd end = NameReport(env, settings)) return end;
  } else {
    Diagnostics diagnostics(env.diagnostics);
    WarnBeforeReading(env.machine, settings, diagnostics);
  }
  // The agent rules are read before the states are compared with the run.
  AgentRulesLoading agents;
  agents.Start(env.machine, settings, env.console, env.diagnostics);
  StateRun run = NewStateRun();
  run.agentRules = agents.marks();
  {
    ReadingScope scope(env, state, log.get());
    scope.plan.agents = agents.pending();
    if (StepEnd end = TallyWithStates(env, state, format, log.get(), scope.plan, run)) return end;
  }
  run.agentsLost =
      agents.pending().valid() && agents.Finish(env.console, env.diagnostics) == nullptr;
  SummarizeTallies(env, state, log.get());
  if (!settings.stateFile.empty()) {
    if (StepEnd end = WriteStateFile(env, state, run)) return end;
  }
  if (report) {
    PrepareReport(env, state);
    if (StepEnd end = WriteReportFile(env, state, reportOnOutput)) return end;
  }
  env.machine.StopSockets();
  if (report) SaveNameCacheFile(env, state);
  env.console.Write("closing...\n");
  // A log cut short outweighs an input refused: then no state was written
  // and the report holds part of a log, which a script must hear first.
  if (state.counters.readError) return kLogCutShortStatus;
  return run.refused ? kRefusedInputStatus : 0;
}

StepEnd RunSteps(const std::vector<std::string>& args, RunEnvironment& env) {
  Console& console = env.console;
  CommandLine command;
  if (StepEnd end = AnswerCommandLine(args, env, &command)) return end;
  if (StepEnd end = RefuseLogAsParameters(command, env)) return end;
  console.SetQuiet(command.quiet);
  if (command.quiet) env.progressOnTerminal = false;

  // Nothing reaches the console until the parameter file has said whether
  // standard output is the report's; nothing before that waits for input.
  console.Hold();
  console.Write(BannerLine());
  RunStatePtr state = NewRunState();
  RunSettings& settings = state->settings;
  if (StepEnd end = StartSockets(env, settings)) return end;
  if (StepEnd end =
          ReadSettings(command, ParameterFileOf(env.machine, command), env, *state, false)) {
    return end;
  }
  // Only OUTFILE=- means standard output; "-" typed at the prompt stays a
  // file of that name.
  const bool reportOnOutput = IsStandardOutputName(settings.outputFile);
  const bool stateOnOutput = IsStandardOutputName(settings.stateFile);
  if (StepEnd end = ClaimStandardOutput(env, reportOnOutput, stateOnOutput)) return end;
  if (UsesStateFiles(settings)) {
    if (StepEnd end = RefuseSharedInput(env, settings)) return end;
  }
  LogFormat format;
  if (StepEnd end = CompileFormat(env, settings, &format)) return end;
  if (UsesStateFiles(settings)) return RunWithStates(env, *state, format, reportOnOutput);
  LoadNameCacheFile(env, *state);
  LoadCountryDatabase(env, *state);
  AgentRulesLoading agents;
  agents.Start(env.machine, settings, console, env.diagnostics);

  std::unique_ptr<InputChain> log;
  if (StepEnd end = OpenLogs(env, settings, &log)) return end;
  if (StepEnd end = NameReport(env, settings)) return end;
  const bool logReadWhole = TallyLog(env, *state, format, *log, agents);
  if (StepEnd end = WriteReportFile(env, *state, reportOnOutput)) return end;
  env.machine.StopSockets();
  SaveNameCacheFile(env, *state);
  console.Write("closing...\n");
  // The report stands, but for part of the log only: a script must know.
  return logReadWhole ? 0 : kLogCutShortStatus;
}

}  // namespace

int RunLogvane(const std::vector<std::string>& args, RunEnvironment& env) {
  return RunSteps(args, env).value_or(0);
}

}  // namespace logvane
