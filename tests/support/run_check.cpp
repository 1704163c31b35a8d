#include "support/run_check.h"

#include <cstring>

#include "driver/run_sequence.h"

namespace logvane::testing {

namespace {

// The asctime text and its line end.
constexpr size_t kTimeTextLength = 25;

void MaskAfter(std::string& console, const char* marker, size_t at) {
  if (at == std::string::npos) return;
  at += std::strlen(marker);
  if (at + kTimeTextLength <= console.size()) console.replace(at, kTimeTextLength, kFakeTime);
}

}  // namespace

ProgramResult RunInProcess(FaultEnv& machine, const std::vector<std::string>& args,
                           const std::string& input) {
  ProgramResult result;
  {
    Console console(&result.output);
    Console errors(&result.errors);
    ByteInput in(input);
    RunEnvironment env{console, in, machine, "lvipname.dat"};
    env.diagnostics = &errors;
    result.status = RunLogvane(args, env);
  }
  return result;
}

std::string UntidyDiagnostics(const std::string& errors, size_t maxLines) {
  size_t lines = 0;
  for (size_t start = 0; start < errors.size(); ++lines) {
    size_t end = errors.find('\n', start);
    if (end == std::string::npos) return "a diagnostic without its line end";
    std::string line = errors.substr(start, end - start);
    if (!line.starts_with("logvane: ")) return "a line without \"logvane: \": " + line;
    for (char c : line) {
      if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e) {
        return "a raw byte in: " + line;
      }
    }
    start = end + 1;
  }
  if (lines > maxLines) return std::to_string(lines) + " lines";
  return {};
}

std::string MaskRunTimes(std::string console) {
  MaskAfter(console, "started: ", console.find("started: "));
  MaskAfter(console, "finished: ", console.rfind("finished: "));
  return console;
}

LogRun RunOnLog(const TempDir& dir, const std::string& log, char lookup, const std::string& extra) {
  WriteFile(dir.File("access.log"), log);
  std::string params = "INFILE=access.log\nOUTFILE=report.html\nLOOKUP=";
  params.push_back(lookup);
  params.append("\n").append(extra);
  WriteFile(dir.File("lvparam.dat"), params);
  LogRun run;
  run.result = RunProgram(dir.path(), {});
  run.console = MaskRunTimes(run.result.output);
  if (FileExists(dir.File("report.html"))) run.report = ReadFile(dir.File("report.html"));
  return run;
}

std::string NormalEnd(const std::string& diagnostics, long long processed, bool lookups) {
  std::string text = "...... input file opened.\n - reading records...\n\nstarted: ";
  text.append(kFakeTime).append("\n").append(diagnostics).append("End of file...\n");
  text.append("completed reading... processed: ").append(std::to_string(processed));
  text.append(" records.\nsorting...\n\n\n");
  if (lookups) text.append("translating names...\n\n\n");
  text.append(
      "generating reports...\n...... new output file created.\n\n finished reporting...\n\n");
  text.append("finished: ").append(kFakeTime).append("\n");
  if (lookups) text.append("...... new cache file created - writing records.\n");
  text.append("closing...\n");
  return text;
}

}  // namespace logvane::testing
