#include "driver/run_sequence.h"

#include <cerrno>
#include <memory>
#include <optional>

#include "driver/run_state.h"
#include "config/parameter_file.h"
#include "intake/gzip_source.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "names/name_phases.h"
#include "names/nations.h"
#include "platform/file_io.h"
#include "report/modern_report.h"
#include "report/report_writer.h"
#include "report/write_report.h"
#include "driver/check_mode.h"
#include "driver/command_line.h"
#include "driver/preflight.h"
#include "driver/run_settings_sources.h"
#include "driver/usage.h"
#include "intake/input_chain.h"
#include "platform/progress_line.h"
#include "intake/reading_summary.h"
#include "tally/sort_tallies.h"
#include "tally/weekdays.h"

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
  if (command->check) return RunCheck(*command, env);
  return kGoOn;
}

// The one argument of old names a file that holds no keyword but log lines:
// the operator meant to analyse it.
StepEnd RefuseLogAsParameters(const CommandLine& command, RunEnvironment& env) {
  if (command.withOptions || !command.parameterFile) return kGoOn;
  std::string content;
  if (!ReadWholeFile(*command.parameterFile, &content)) return kGoOn;
  std::string hint = AccessLogHint(*command.parameterFile, content);
  if (hint.empty()) return kGoOn;
  Diagnostics(env.diagnostics).Reason(hint);
  return kEarlyEndStatus;
}

StepEnd StartSockets(RunEnvironment& env, RunSettings& settings) {
  if (!env.platform.startSockets()) {
    env.console.Write("*ERROR* Could not windows socket.");
    return kEarlyEndStatus;
  }
  std::optional<std::string> host = env.platform.hostName();
  if (!host) {
    env.console.Write("*ERROR* Could not get host name.");
    return kEarlyEndStatus;
  }
  settings.hostName = host->substr(0, kHostNameWidth);
  env.console.Write(" (running on host: ");
  env.console.Write(settings.hostName);
  env.console.Write(")\n");
  return kGoOn;
}

// OUTFILE=- takes standard output from the console, which then writes
// to standard error, everything held so far included; a terminal is refused.
StepEnd ClaimStandardOutput(RunEnvironment& env, bool reportOnOutput) {
  if (reportOnOutput && env.standardOutputTakesReport) env.console.Redirect(STDERR_FILENO);
  env.console.Release();
  if (!reportOnOutput || env.standardOutputTakesReport) return kGoOn;
  env.console.Write(
      "*ERROR* OUTFILE=- writes the report to standard output, which is a "
      "terminal: redirect it (logvane PARAMETER-FILE > report.html) or name "
      "a file.\n");
  return kEarlyEndStatus;
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
    if (!IsRotatedSetName(name, &base)) {
      names->push_back(name);
      continue;
    }
    std::vector<std::string> files;
    Status found = RotatedSet(base, &files);
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
  Status opened = OpenInputChain(names, env.input, chain, &failed);
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
  bool logOnInput = IsStandardInputName(settings.inputFile);
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
  WarnBeforeReading(settings, diagnostics);
  return kGoOn;
}

// The console says the country database cannot be used, standard error
// why; nations then go by top-level domain.
void WarnGeoip(RunEnvironment& env, const GeoFailure& failure) {
  env.console.Write("*WARNING* GeoIP database not usable: ");
  env.console.Write(failure.reason);
  env.console.Write("\n");
  if (env.diagnostics == nullptr) return;
  env.diagnostics->Write("logvane: GeoIP database not usable, nations go by top-level domain: ");
  env.diagnostics->Write(failure.detail);
  env.diagnostics->Write("\n");
}

// The country database GEOIP names, loaded before the log is read so that a
// bad one shows at once. Only the nations section uses it.
void LoadCountryDatabase(RunEnvironment& env, RunState& state) {
  const RunSettings& settings = state.settings;
  if (!settings.showNations || !GeoipWanted(settings.geoipDatabase)) return;
  auto database = std::make_unique<GeoDatabase>();
  GeoFailure failure;
  if (!LoadGeoDatabase(settings.geoipDatabase, *database, failure)) {
    WarnGeoip(env, failure);
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

// Reads the log into the tallies, sorts them and translates the users.
void TallyLog(RunEnvironment& env, RunState& state, const LogFormat& format, InputChain& log) {
  LogLineReader reader(log, PieceWidthFor(format));
  ReadingPlan plan;
  plan.threads =
      state.settings.readingThreads != 0 ? state.settings.readingThreads : SystemOnlineCores();
  plan.blockLines = env.readBlockLines;
  // The progress line shares standard error with the diagnostics, and the
  // terminal with the console when standard output is that terminal.
  std::optional<ProgressLine> progress;
  if (env.progressOnTerminal && env.diagnostics != nullptr) {
    progress.emplace(STDERR_FILENO);
    progress->Start(&log.bytesRead(), log.totalBytes());
    plan.progress = ProgressTick(&*progress);
    env.diagnostics->ShareTerminal(&*progress);
    // OUTFILE=- moved the console to standard error itself.
    const bool consoleOnErrors =
        IsStandardOutputName(state.settings.outputFile) && env.standardOutputTakesReport;
    if (env.consoleSharesTerminal || consoleOnErrors) env.console.ShareTerminal(&*progress);
  }
  ReadRecords(state.settings, format, state.tallies, state.counters, reader, env.console,
              env.platform, plan);
  if (progress) {
    progress->Finish();
    env.diagnostics->ShareTerminal(nullptr);
    env.console.ShareTerminal(nullptr);
  }
  NoteUnmatchedLines(env, state.counters);
  Diagnostics diagnostics(env.diagnostics);
  const RunCounters& counters = state.counters;
  if (counters.readError) {
    // A read that failed without an errno met damaged compressed data.
    diagnostics.Reason("cannot read input file " + Quoted(log.current().name) + ": " +
                       (counters.readErrno != 0 ? SystemReason(counters.readErrno)
                                                : "the compressed data is damaged or cut short"));
  }
  SummarizeReading(counters, state.tallies, LogName(log), diagnostics);
  if (DateRangeOn(state.settings)) {
    SummarizeDateRange(state.settings, counters, LogName(log), diagnostics);
  }
  SortTallies(state.settings, state.counters, state.tallies, env.console);
  if (!LookupsOff(state.settings)) {
    env.console.Write("translating names...\n\n\n");
    TranslateUserNames(state.settings, state.tallies.users, state.cache, state.userAddresses,
                       env.console, env.platform);
  }
  if (!state.geoip) {
    DeriveReportTotals(state.settings, state.tallies);
    return;
  }
  NationsByAddress byAddress{*state.geoip, state.userAddresses};
  GeoFailure failure;
  if (!DeriveReportTotals(state.settings, state.tallies, &byAddress, &failure)) {
    WarnGeoip(env, failure);
  } else if (state.settings.showNations) {
    state.nationSource = GeoAttribution(*state.geoip);
  }
}

StepEnd WriteReportFile(RunEnvironment& env, RunState& state, bool reportOnOutput) {
  Console& console = env.console;
  console.Write("generating reports...\n");
  std::unique_ptr<ReportWriter> report = reportOnOutput
                                             ? ReportWriter::ForStandardOutput()
                                             : ReportWriter::Create(state.settings.outputFile);
  if (!report) {
    int createError = errno;
    console.Write("*ERROR* Could not open output file.");
    Diagnostics(env.diagnostics)
        .Reason("cannot create output file " + Quoted(state.settings.outputFile) + ": " +
                (state.settings.outputFile.empty() ? "no file name was given"
                                                   : SystemReason(createError)));
    return kEarlyEndStatus;
  }
  console.Write("...... new output file created.\n");
  if (state.settings.reportStyle == ReportStyle::kModern) {
    WriteModernReport(state, *report, env.platform);
  } else {
    WriteReport(state, *report, env.platform);
  }
  if (!report->Close()) {
    console.Write("*ERROR* Could not write output file.\n");
    Diagnostics(env.diagnostics)
        .Reason("cannot write output file " + Quoted(state.settings.outputFile) + ": " +
                SystemReason(report->error()));
    return kEarlyEndStatus;
  }
  console.Write("\n finished reporting...\n\n");
  console.Write("finished: ");
  console.Write(env.platform.localTimeText());
  console.Write("\n");
  return kGoOn;
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
  if (StepEnd end = ReadSettings(command, ParameterFileOf(command), env, *state, false)) {
    return end;
  }
  // Only OUTFILE=- means standard output; "-" typed at the prompt stays a
  // file of that name.
  const bool reportOnOutput = IsStandardOutputName(settings.outputFile);
  if (StepEnd end = ClaimStandardOutput(env, reportOnOutput)) return end;
  LogFormat format;
  if (StepEnd end = CompileFormat(env, settings, &format)) return end;
  if (!LookupsOff(settings)) {
    int error = LoadNameCache(state->cache, env.cacheFile, console);
    // A missing cache is the usual first run, already noted on the console.
    if (error != 0 && error != ENOENT) {
      Diagnostics(env.diagnostics)
          .Reason("cannot open cache file " + Quoted(env.cacheFile) + ": " + SystemReason(error));
    }
  }
  LoadCountryDatabase(env, *state);

  std::unique_ptr<InputChain> log;
  if (StepEnd end = OpenLogs(env, settings, &log)) return end;
  if (StepEnd end = NameReport(env, settings)) return end;
  TallyLog(env, *state, format, *log);
  if (StepEnd end = WriteReportFile(env, *state, reportOnOutput)) return end;
  env.platform.stopSockets();

  if (!LookupsOff(settings)) {
    int error = SaveNameCache(state->cache, env.cacheFile, console);
    if (error != 0) {
      Diagnostics(env.diagnostics)
          .Reason("cannot write cache file " + Quoted(env.cacheFile) + ": " + SystemReason(error));
    }
  }
  console.Write("closing...\n");
  return 0;
}

}  // namespace

bool DeriveReportTotals(const RunSettings& settings, Tallies& tallies,
                        const NationsByAddress* byAddress, GeoFailure* failure) {
  if (settings.showDays) AverageWeekdays(tallies.dates, tallies.weekdays);
  if (!settings.showNations) return true;
  GeoFailure ignored;
  if (byAddress != nullptr &&
      TallyNationsByAddress(tallies.users, byAddress->addresses, byAddress->database,
                            tallies.nations, failure != nullptr ? *failure : ignored)) {
    return true;
  }
  TallyNations(tallies.users, tallies.nations);
  return byAddress == nullptr;
}

int RunLogvane(const std::vector<std::string>& args, RunEnvironment& env) {
  return RunSteps(args, env).value_or(0);
}

}  // namespace logvane
