#include "support/run_check.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

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

std::optional<ProgramResult> RunProgramUnprivileged(const std::string& directory,
                                                    const std::vector<std::string>& args) {
  if (::geteuid() != 0) return RunProgram(directory, args);
  std::vector<std::string> argvStore{LOGVANE_BINARY};
  argvStore.insert(argvStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argvStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  int err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return std::nullopt;
  pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    int none = ::open("/dev/null", O_RDONLY);
    if (none < 0 || ::dup2(none, 0) < 0 || ::dup2(out[1], 1) < 0 || ::dup2(err[1], 2) < 0) {
      ::_exit(125);
    }
    ::close(out[0]);
    ::close(out[1]);
    ::close(err[0]);
    ::close(err[1]);
    constexpr uid_t kNobody = 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 ||
        ::chdir(directory.c_str()) != 0) {
      ::_exit(126);
    }
    ::execv(LOGVANE_BINARY, argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  ProgramResult result;
  char chunk[1 << 14];
  // Diagnostics are a few lines, far less than a pipe holds: standard
  // error can wait until standard output ends.
  for (ssize_t n; (n = ::read(out[0], chunk, sizeof(chunk))) > 0;) {
    result.output.append(chunk, static_cast<size_t>(n));
  }
  for (ssize_t n; (n = ::read(err[0], chunk, sizeof(chunk))) > 0;) {
    result.errors.append(chunk, static_cast<size_t>(n));
  }
  ::close(out[0]);
  ::close(err[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) >= 125) return std::nullopt;
  result.status = WEXITSTATUS(status);
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
