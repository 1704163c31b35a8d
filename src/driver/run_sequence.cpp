#include "driver/run_sequence.h"

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
#include "names/report_totals.h"
#include "report/modern_report.h"
#include "report/report_writer.h"
#include "report/write_report.h"
#include "driver/check_mode.h"
#include "driver/preflight.h"
#include "driver/usage.h"
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

// --help and --version answer and end the run before anything else.
StepEnd AnswerInfoRequest(const std::vector<std::string>& args, RunEnvironment& env) {
  if (args.empty()) return kGoOn;
  Console& console = env.console;
  switch (InfoRequestOf(args[0])) {
    case InfoRequest::kCheck: return RunCheck(args, env);
    case InfoRequest::kHelp: console.Write(UsageText()); return 0;
    case InfoRequest::kVersion: console.Write(VersionLine()); return 0;
    case InfoRequest::kNone: break;
  }
  return kGoOn;
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

// The parameter file named on the command line, if one is.
StepEnd TakeParameterFileName(const std::vector<std::string>& args, Console& console,
                              RunSettings& settings) {
  if (args.empty()) return kGoOn;
  const std::string& argument = args[0];
  if (argument.empty()) {
    console.Write("*ERROR* Invalid parameter filename given.\n");
    return 0;
  }
  if (argument.size() > kParameterFileWidth) {
    console.Write("*ERROR* Parameter filename is longer than 99 characters.\n");
    return kEarlyEndStatus;
  }
  console.Write("PARAMETER file: ");
  console.Write(argument);
  console.Write("\n\n");
  settings.parameterFile = argument;
  return kGoOn;
}

StepEnd ReadParameters(RunEnvironment& env, RunState& state) {
  std::string parameterText;
  Diagnostics diagnostics(env.diagnostics);
  Status read = ReadWholeFile(env.machine, state.settings.parameterFile, &parameterText);
  if (!read.ok()) {
    env.console.Write("*ERROR* Could not open parameters file.");
    diagnostics.Reason("cannot open parameter file " + Quoted(state.settings.parameterFile) + ": " +
                       SystemReason(read.sysError()));
    return kEarlyEndStatus;
  }
  env.console.Write("...... parameters file opened.\n");
  Env& machine = env.machine;
  if (!ReadParameterFile(
          parameterText, state.settings, state.labels, env.console,
          [&machine] { machine.LowerPriority(); }, &diagnostics, state.settings.parameterFile)) {
    return kEarlyEndStatus;
  }
  env.console.Write("...... parameters file closed.\n\n");
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

// Opens the log named in the parameter file or at the prompt.
StepEnd OpenLog(RunEnvironment& env, RunSettings& settings, std::unique_ptr<LogSource>* log) {
  const bool inputAsked = settings.inputFile.empty();
  if (inputAsked &&
      !Prompt(env, "Please enter the input log filename: ", "Input", &settings.inputFile)) {
    return kEarlyEndStatus;
  }
  const bool logOnInput = IsStandardInputName(settings.inputFile);
  // "-" typed at the prompt: the log starts on the line after the answer.
  if (logOnInput && inputAsked) env.input.SkipLineEnd();
  Status opened;
  if (logOnInput) {
    *log = LogFromInput(env.input);
  } else {
    opened = OpenLogFile(env.machine, settings.inputFile, log);
  }
  if (!opened.ok()) {
    env.console.Write("*ERROR* Could not open input file.");
    Diagnostics(env.diagnostics)
        .Reason("cannot open input file " + Quoted(settings.inputFile) + ": " +
                (settings.inputFile.empty() ? "no file name was given"
                                            : SystemReason(opened.sysError())));
    return kEarlyEndStatus;
  }
  env.console.Write("...... input file opened.\n");
  return kGoOn;
}

// The report's name from the parameter file or the prompt.
StepEnd NameReport(RunEnvironment& env, RunSettings& settings) {
  if (settings.outputFile.empty() && IsStandardInputName(settings.inputFile)) {
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
                       &reason)) {
    return kGoOn;
  }
  env.console.Write("*ERROR* The log format cannot be used: ");
  env.console.Write(reason);
  env.console.Write("\n");
  return kEarlyEndStatus;
}

// Text from the log as the operator may safely see it: control bytes as
// \xHH, and not more than a screen line or two.
std::string VisibleText(std::string_view text) {
  constexpr size_t kShown = 300;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  std::string out;
  for (size_t i = 0; i < text.size() && i < kShown; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7f) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  if (text.size() > kShown) out += "...";
  return out;
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
// False when the log could not be read to its end.
bool TallyLog(RunEnvironment& env, RunState& state, const LogFormat& format,
              std::unique_ptr<LogSource> log) {
  log = DecompressIfGzip(std::move(log));
  LogLineReader reader(*log);
  ReadingPlan plan;
  plan.threads =
      state.settings.readingThreads != 0 ? state.settings.readingThreads : SystemOnlineCores();
  plan.blockLines = env.readBlockLines;
  ReadRecords(state.settings, format, state.tallies, state.counters, reader, env.console,
              env.machine, plan);
  NoteUnmatchedLines(env, state.counters);
  Diagnostics diagnostics(env.diagnostics);
  const RunCounters& counters = state.counters;
  if (counters.readError) {
    // A read that failed without an errno met damaged compressed data.
    diagnostics.Reason("cannot read input file " + Quoted(state.settings.inputFile) + ": " +
                       (counters.readErrno != 0 ? SystemReason(counters.readErrno)
                                                : "the compressed data is damaged or cut short"));
  }
  SummarizeReading(counters, state.tallies, state.settings.inputFile, diagnostics);
  SortTallies(state.settings, state.counters, state.tallies, env.console);
  if (!LookupsOff(state.settings)) {
    env.console.Write("translating names...\n\n\n");
    TranslateUserNames(state.settings, state.tallies.users, state.cache, state.userAddresses,
                       env.console, env.machine);
  }
  if (!state.geoip) {
    (void)DeriveReportTotals(state.settings, state.tallies);
    return !counters.readError;
  }
  NationsByAddress byAddress{*state.geoip, state.userAddresses};
  Status derived = DeriveReportTotals(state.settings, state.tallies, &byAddress);
  if (!derived.ok()) {
    WarnGeoip(env, derived);
  } else if (state.settings.showNations) {
    state.nationSource = GeoAttribution(*state.geoip);
  }
  return !counters.readError;
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

StepEnd RunSteps(const std::vector<std::string>& args, RunEnvironment& env) {
  Console& console = env.console;
  if (StepEnd end = AnswerInfoRequest(args, env)) return end;

  // Nothing reaches the console until the parameter file has said whether
  // standard output is the report's; nothing before that waits for input.
  console.Hold();
  console.Write(BannerLine());
  RunStatePtr state = NewRunState();
  RunSettings& settings = state->settings;
  if (StepEnd end = StartSockets(env, settings)) return end;
  if (StepEnd end = TakeParameterFileName(args, console, settings)) return end;
  if (StepEnd end = ReadParameters(env, *state)) return end;
  // Only OUTFILE=- means standard output; "-" typed at the prompt stays a
  // file of that name.
  const bool reportOnOutput = IsStandardOutputName(settings.outputFile);
  if (StepEnd end = ClaimStandardOutput(env, reportOnOutput)) return end;
  LogFormat format;
  if (StepEnd end = CompileFormat(env, settings, &format)) return end;
  if (!LookupsOff(settings)) {
    Status loaded = LoadNameCache(env.machine, state->cache, env.cacheFile, console);
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
  LoadCountryDatabase(env, *state);

  std::unique_ptr<LogSource> log;
  if (StepEnd end = OpenLog(env, settings, &log)) return end;
  if (StepEnd end = NameReport(env, settings)) return end;
  const bool logReadWhole = TallyLog(env, *state, format, std::move(log));
  if (StepEnd end = WriteReportFile(env, *state, reportOnOutput)) return end;
  env.machine.StopSockets();

  if (!LookupsOff(settings)) {
    Status saved = SaveNameCache(env.machine, state->cache, env.cacheFile, console);
    if (!saved.ok()) {
      Diagnostics(env.diagnostics)
          .Reason("cannot write cache file " + Quoted(env.cacheFile) + ": " +
                  SystemReason(saved.sysError()));
    }
  }
  console.Write("closing...\n");
  // The report stands, but for part of the log only: a script must know.
  return logReadWhole ? 0 : kLogCutShortStatus;
}

}  // namespace

int RunLogvane(const std::vector<std::string>& args, RunEnvironment& env) {
  return RunSteps(args, env).value_or(0);
}

}  // namespace logvane
