#include "driver/run_settings_sources.h"

#include <functional>

#include "common/ascii_text.h"
#include "config/parameter_file.h"
#include "platform/env.h"

namespace logvane {

namespace {

constexpr const char* kDefaultParameterFile = "lvparam.dat";

// One line of a log in the common or combined format: a date in brackets
// ("[07/Oct/1998:13:55:36") and a quoted request after it.
bool LooksLikeLogLine(std::string_view line) {
  if (line.starts_with("{\"")) return line.find("\":") != std::string_view::npos;
  size_t bracket = line.find('[');
  if (bracket == 0 || bracket == std::string_view::npos || line.size() < bracket + 22) return false;
  std::string_view d = line.substr(bracket + 1, 21);
  auto digits = [&](size_t at, size_t n) {
    for (size_t i = at; i < at + n; ++i) {
      if (!IsDigit(d[i])) return false;
    }
    return true;
  };
  return digits(0, 2) && d[2] == '/' && d[6] == '/' && digits(7, 4) && d[11] == ':' &&
         digits(12, 2) && line.find('"', bracket) != std::string_view::npos;
}

// `name` as a shell would take it back: in single quotes unless it is
// made of plain characters.
std::string ShellWord(const std::string& name) {
  bool plain = !name.empty();
  for (char c : name) {
    plain = plain && (IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                      std::string_view("/._-+,:@%").find(c) != std::string_view::npos);
  }
  if (plain) return name;
  std::string quoted = "'";
  for (char c : name) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// "access.html" for "/var/log/nginx/access.log.2.gz".
std::string ReportNameFor(const std::string& log) {
  std::string name = log.substr(log.rfind('/') == std::string::npos ? 0 : log.rfind('/') + 1);
  if (name.ends_with(".gz")) name.resize(name.size() - 3);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot + 1 < name.size()) {
    bool number = true;
    for (size_t i = dot + 1; i < name.size(); ++i) number = number && IsDigit(name[i]);
    if (number) name.resize(dot);
  }
  for (std::string_view ext : {".log", ".txt"}) {
    if (name.size() > ext.size() && name.ends_with(ext)) name.resize(name.size() - ext.size());
  }
  if (name.empty() || name[0] == '.') name = "report" + name;
  return name + ".html";
}

// A parameter file's path: at most 99 characters, not empty.
std::optional<int> TakeParameterFileName(const std::string& name, Console& console) {
  if (name.empty()) {
    console.Write("*ERROR* Invalid parameter filename given.\n");
    return 0;
  }
  if (name.size() > kParameterFileWidth) {
    console.Write("*ERROR* Parameter filename is longer than 99 characters.\n");
    return kEarlyEndStatus;
  }
  return std::nullopt;
}

}  // namespace

bool LooksLikeAccessLog(std::string_view text) {
  if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0x1f &&
      static_cast<unsigned char>(text[1]) == 0x8b) {
    return true;
  }
  // The first three lines that hold anything all read as log lines.
  int seen = 0;
  while (!text.empty() && seen < 3) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) continue;
    if (!LooksLikeLogLine(line)) return false;
    ++seen;
  }
  return seen > 0;
}

std::string AccessLogHint(const std::string& name, const std::string& content) {
  if (HoldsKeywordLine(content) || !LooksLikeAccessLog(content)) return {};
  return name + " looks like an access log, not a parameter file; to analyse it: logvane -o " +
         ShellWord(ReportNameFor(name)) + " " + ShellWord(name);
}

std::optional<std::string> ParameterFileOf(Env& env, const CommandLine& command) {
  if (command.parameterFile) return command.parameterFile;
  if (!command.withOptions) return std::string(kDefaultParameterFile);
  // With options the default file is read only when it is there.
  FileInfo info;
  if (env.Stat(kDefaultParameterFile, &info).ok()) return std::string(kDefaultParameterFile);
  return std::nullopt;
}

namespace {

// Reads the parameter file `file`, naming it on the console when it is
// `announced`: an exit status when the run ends there.
std::optional<int> ReadNamedParameterFile(const std::string& file, bool announced, bool checking,
                                          RunEnvironment& env, RunState& state,
                                          const std::function<void()>& lowerPriority,
                                          Diagnostics& diagnostics) {
  Console& console = env.console;
  RunSettings& settings = state.settings;
  // --check has tested the name already.
  if (announced && !checking) {
    if (std::optional<int> end = TakeParameterFileName(file, console)) return end;
  }
  settings.parameterFile = file;
  if (!checking && announced) {
    console.Write("PARAMETER file: ");
    console.Write(file);
    console.Write("\n\n");
  }
  std::string text;
  Status read = ReadWholeFile(env.machine, file, &text);
  if (!read.ok()) {
    if (!checking) console.Write("*ERROR* Could not open parameters file.");
    diagnostics.Reason("cannot open parameter file " + Quoted(file) + ": " +
                       SystemReason(read.sysError()));
    return kEarlyEndStatus;
  }
  if (checking) {
    console.Write("Checking parameter file: ");
    console.Write(file);
    console.Write("\n\n");
  } else {
    console.Write("...... parameters file opened.\n");
  }
  if (!ReadParameterFile(text, settings, state.labels, console, lowerPriority, &diagnostics,
                         file)) {
    return kEarlyEndStatus;
  }
  if (!checking) console.Write("...... parameters file closed.\n\n");
  return std::nullopt;
}

}  // namespace

std::optional<int> ReadSettings(const CommandLine& command, const std::optional<std::string>& file,
                                RunEnvironment& env, RunState& state, bool checking) {
  Console& console = env.console;
  RunSettings& settings = state.settings;
  Diagnostics diagnostics(env.diagnostics);
  // PLOW changes nothing while checking.
  Env& machine = env.machine;
  std::function<void()> lowerPriority;
  if (!checking) lowerPriority = [&machine] { machine.LowerPriority(); };
  // Without options a named file is announced, lvparam.dat is not, as
  // always; with options a file read is always named, since it was maybe
  // not asked for.
  const bool announced = command.withOptions || command.parameterFile.has_value();
  settings.severalInputs = command.withOptions;
  if (file) {
    if (std::optional<int> end = ReadNamedParameterFile(*file, announced, checking, env, state,
                                                        lowerPriority, diagnostics)) {
      return end;
    }
  } else {
    // A run from the command line alone sends no reverse lookups unless
    // asked to.
    settings.lookupMode = 'N';
  }
  if (command.lines.empty()) return std::nullopt;
  std::string lines;
  for (const std::string& line : command.lines) lines += line + "\n";
  if (!ReadParameterFile(lines, settings, state.labels, console, lowerPriority, &diagnostics,
                         "command line")) {
    return kEarlyEndStatus;
  }
  console.Write("\n");
  return std::nullopt;
}

}  // namespace logvane
