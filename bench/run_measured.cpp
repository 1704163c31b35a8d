// Runs one command and prints its wall time in seconds, its peak resident
// set in KiB and its exit status, for the comparison script:
//   run_measured [--stdin FILE] [--stdout FILE] -- COMMAND ARGS...
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::string in = "/dev/null", out = "/dev/null";
  int i = 1;
  for (; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--stdin") == 0 && i + 1 < argc)
      in = argv[++i];
    else if (std::strcmp(argv[i], "--stdout") == 0 && i + 1 < argc)
      out = argv[++i];
  }
  if (i + 1 >= argc) {
    std::fprintf(stderr, "usage: run_measured [--stdin F] [--stdout F] -- COMMAND ARGS...\n");
    return 2;
  }
  char** command = argv + i + 1;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int fin = open(in.c_str(), O_RDONLY);
    int fout = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fin < 0 || fout < 0) _exit(126);
    dup2(fin, 0);
    dup2(fout, 1);
    dup2(fout, 2);
    execvp(command[0], command);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.4f %ld %d\n", seconds, usage.ru_maxrss,
              WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  return 0;
}
