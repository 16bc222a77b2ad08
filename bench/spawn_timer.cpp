// Times commands: starts each of them N times and prints the median wall
// time of one run of each, in milliseconds, one line per command ("%.3f\n").
//
//   spawn_timer N COMMAND [--- COMMAND]...
//   COMMAND: [NAME=VALUE]... PROGRAM [ARG]...
//
// The runs go round-robin (one run of every command, then the next round),
// so that a change in the machine's load falls on all commands alike. Each
// command inherits the timer's environment, with its own NAME=VALUE words
// added or replaced, as env(1) would do but without env's extra exec. Its
// stdout and stderr go to /dev/null. A run that does not exit with status 0
// stops the timing with a message and exit status 1. posix_spawn keeps the
// timer's own share of each run small next to a shell's fork of itself.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Command {
  std::vector<std::string> env;  // the full environment of the child
  std::vector<char*> envp;
  std::vector<char*> argv;
  std::vector<double> ms;
};

std::string env_name(const char* assignment) {
  const char* eq = std::strchr(assignment, '=');
  return eq ? std::string(assignment, eq) : std::string(assignment);
}

// Splits argv at "---" into commands; false when a command names no program.
bool parse_commands(int argc, char** argv, std::vector<Command>& out) {
  int i = 0;
  while (i < argc) {
    Command c;
    for (char** e = environ; *e; ++e) c.env.emplace_back(*e);
    for (; i < argc && std::strchr(argv[i], '=') && argv[i][0] != '/'; ++i) {
      std::string name = env_name(argv[i]);
      std::erase_if(c.env, [&](const std::string& v) { return env_name(v.c_str()) == name; });
      c.env.emplace_back(argv[i]);
    }
    for (; i < argc && std::strcmp(argv[i], "---") != 0; ++i) c.argv.push_back(argv[i]);
    ++i;  // the separator
    if (c.argv.empty()) return false;
    c.argv.push_back(nullptr);
    out.push_back(std::move(c));
  }
  for (Command& c : out) {
    for (std::string& v : c.env) c.envp.push_back(v.data());
    c.envp.push_back(nullptr);
  }
  return !out.empty();
}

// One run: the wall time in ms, or a negative value when it failed.
double run_once(Command& c, const posix_spawn_file_actions_t* actions) {
  auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  int err = posix_spawn(&pid, c.argv[0], actions, nullptr, c.argv.data(), c.envp.data());
  if (err != 0) {
    std::fprintf(stderr, "spawn_timer: cannot start %s: %s\n", c.argv[0], std::strerror(err));
    return -1;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  auto t1 = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "spawn_timer: %s failed (wait status %d)\n", c.argv[0], status);
    return -1;
  }
  return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

double median(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::size_t n = ms.size();
  return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc >= 3 ? std::atoi(argv[1]) : 0;
  std::vector<Command> commands;
  if (runs <= 0 || !parse_commands(argc - 2, argv + 2, commands)) {
    std::fprintf(stderr, "usage: spawn_timer N [NAME=VALUE]... PROGRAM [ARG]... [--- ...]\n");
    return 1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  for (int r = 0; r < runs; ++r) {
    for (Command& c : commands) {
      double t = run_once(c, &actions);
      if (t < 0) return 1;
      c.ms.push_back(t);
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  for (const Command& c : commands) std::printf("%.3f\n", median(c.ms));
  return 0;
}
