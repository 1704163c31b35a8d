#include "driver/run_sequence.h"

#include <cerrno>

#include "common/run_state.h"
#include "config/parameter_file.h"
#include "intake/gzip_source.h"
#include "intake/log_reader.h"
#include "intake/log_source.h"
#include "intake/read_records.h"
#include "names/name_phases.h"
#include "report/report_writer.h"
#include "report/write_report.h"
#include "driver/check_mode.h"
#include "driver/preflight.h"
#include "driver/usage.h"
#include "intake/reading_summary.h"
#include "platform/read_file.h"
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


}  // namespace

int RunLogvane(const std::vector<std::string>& args, RunEnvironment& env) {
  Console& console = env.console;
  const Platform& platform = env.platform;
  Diagnostics diagnostics(env.errors);

  if (!args.empty()) {
    switch (InfoRequestOf(args[0])) {
      case InfoRequest::kCheck:
        return RunCheck(args, env);
      case InfoRequest::kHelp:
        console.Write(UsageText());
        return 0;
      case InfoRequest::kVersion:
        console.Write(kVersionLine);
        return 0;
      case InfoRequest::kNone:
        break;
    }
  }

  console.Write("[Quorvel Logvane (v1.7.8)]\n");
  std::unique_ptr<RunState> state = NewRunState();
  RunSettings& settings = state->settings;

  if (!platform.startSockets()) {
    console.Write("*ERROR* Could not windows socket.");
    return kEarlyEndStatus;
  }
  std::optional<std::string> host = platform.hostName();
  if (!host) {
    console.Write("*ERROR* Could not get host name.");
    return kEarlyEndStatus;
  }
  settings.hostName = host->substr(0, kHostNameWidth);
  console.Write(" (running on host: ");
  console.Write(settings.hostName);
  console.Write(")\n");

  if (!args.empty()) {
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
  }

  std::string parameterText;
  int error = 0;
  if (!ReadWholeFile(settings.parameterFile, &parameterText, &error)) {
    console.Write("*ERROR* Could not open parameters file.");
    diagnostics.Reason("cannot open parameter file " + Quoted(settings.parameterFile) + ": " +
                       SystemReason(error));
    return kEarlyEndStatus;
  }
  console.Write("...... parameters file opened.\n");
  if (!ReadParameterFile(parameterText, settings, state->labels, console,
                         platform.lowerPriority, &diagnostics, settings.parameterFile)) {
    return kEarlyEndStatus;
  }
  console.Write("...... parameters file closed.\n\n");

  if (!LookupsOff(settings)) LoadNameCache(state->cache, env.cacheFile, console);

  const bool inputAsked = settings.inputFile.empty();
  if (inputAsked &&
      !Prompt(env, "Please enter the input log filename: ", "Input", &settings.inputFile)) {
    return kEarlyEndStatus;
  }
  const bool logOnInput = IsStandardInputName(settings.inputFile);
  // "-" typed at the prompt: the log starts on the line after the answer.
  if (logOnInput && inputAsked) env.input.SkipLineEnd();
  std::unique_ptr<LogSource> log =
      logOnInput ? LogFromInput(env.input) : OpenLogFile(settings.inputFile);
  if (!log) {
    console.Write("*ERROR* Could not open input file.");
    diagnostics.Reason("cannot open input file " + Quoted(settings.inputFile) + ": " +
                       LogFileProblem(settings.inputFile));
    return kEarlyEndStatus;
  }
  console.Write("...... input file opened.\n");

  if (settings.outputFile.empty() && logOnInput) {
    // Standard input is the log: no answer can be read from it.
    console.Write("*ERROR* The log is read from standard input (INFILE=-): "
                  "name the report with OUTFILE in the parameter file.\n");
    return kEarlyEndStatus;
  }
  if (settings.outputFile.empty() &&
      !Prompt(env, "Enter the output filename (to be created): ", "Output",
              &settings.outputFile)) {
    return kEarlyEndStatus;
  }

  WarnBeforeReading(settings, diagnostics);

  log = DecompressIfGzip(std::move(log));
  LogLineReader reader(*log);
  errno = 0;
  ReadRecords(*state, reader, console, platform);
  if (state->counters.readError) {
    diagnostics.Reason("cannot read input file " + Quoted(settings.inputFile) + ": " +
                       (state->counters.readErrno != 0 ? SystemReason(state->counters.readErrno)
                                                       : "the data cannot be read"));
  }
  SummarizeReading(state->counters, state->tallies, settings.inputFile, diagnostics);
  SortTallies(*state, console);
  if (!LookupsOff(settings)) {
    console.Write("translating names...\n\n\n");
    TranslateUserNames(*state, console, platform);
  }

  console.Write("generating reports...\n");
  std::unique_ptr<ReportWriter> report = ReportWriter::Create(settings.outputFile);
  if (!report) {
    int createError = errno;
    console.Write("*ERROR* Could not open output file.");
    diagnostics.Reason("cannot create output file " + Quoted(settings.outputFile) + ": " +
                       (settings.outputFile.empty() ? "no file name was given"
                                                    : SystemReason(createError)));
    return kEarlyEndStatus;
  }
  console.Write("...... new output file created.\n");
  WriteReport(*state, *report, platform);
  if (!report->Close()) {
    console.Write("*ERROR* Could not write output file.\n");
    diagnostics.Reason("cannot write output file " + Quoted(settings.outputFile) + ": " +
                       SystemReason(report->error()));
    return kEarlyEndStatus;
  }
  console.Write("\n finished reporting...\n\n");
  console.Write("finished: ");
  console.Write(platform.localTimeText());
  console.Write("\n");
  platform.stopSockets();

  if (!LookupsOff(settings)) SaveNameCache(state->cache, env.cacheFile, console);
  console.Write("closing...\n");
  return 0;
}

}  // namespace logvane
