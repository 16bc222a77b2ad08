// Runs a program as a child process and captures standard output, standard
// error and the exit status, with a timeout after which the child is killed.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace plix::test {

struct ProcessResult {
  std::string out;
  std::string err;
  int status = -1;         ///< exit status; 128+N when killed by signal N
  bool timed_out = false;
  long max_rss_kb = 0;     ///< the child's peak resident memory
};

struct ProcessOptions {
  std::vector<std::string> env;  ///< the child's whole environment, NAME=value
  std::string stdin_text;
  std::string cwd;  ///< empty: inherit
  std::chrono::milliseconds timeout{20000};
  /// When not 0, the child's RLIMIT_FSIZE (bytes), with SIGXFSZ ignored.
  unsigned long file_size_limit = 0;
};

/// Starts argv[0] (a path) with the arguments; never throws on child failure.
ProcessResult run_process(const std::vector<std::string>& argv, const ProcessOptions& opts);

/// Shorthand: the given environment, no input, the default timeout.
ProcessResult run_process(const std::vector<std::string>& argv, std::vector<std::string> env);

/// The environment a test child starts from: PATH and the sanitizer options
/// of the test process, nothing else.
std::vector<std::string> base_environment();

}  // namespace plix::test
