// Entry point: the system's services, standard input and output, and the
// run sequence.
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include "driver/run_sequence.h"
#include "names/name_phases.h"
#include "platform/progress_line.h"

int main(int argc, char** argv) {
  // A closed console pipe must fail a write, not end the process before
  // the report and the cache are written.
  std::signal(SIGPIPE, SIG_IGN);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  logvane::SystemEnv machine;
  logvane::Console console(STDOUT_FILENO);
  logvane::ByteInput input(STDIN_FILENO);
  logvane::Console errors(STDERR_FILENO);
  logvane::RunEnvironment env{console, input, machine, logvane::kNameCacheFile};
  env.diagnostics = &errors;
  // OUTFILE=- may give standard output to the report unless it is a terminal.
  env.standardOutputTakesReport = !logvane::StandardOutputIsTerminal();
  env.progressOnTerminal = logvane::StandardErrorIsTerminal();
  env.consoleSharesTerminal = logvane::StandardOutputSharesStandardError();
  int status = logvane::RunLogvane(args, env);
  console.Flush();
  errors.Flush();
  return status;
}
