// Runs the site_probe helper program (tests/support/site_probe.cpp) under
// fake users, with extra environment entries.
#pragma once

#include <string>
#include <vector>

#include "tests/support/fake_users.h"
#include "tests/support/process.h"

namespace plix::test {

inline ProcessResult run_site_probe(const FakeUsers& users, const std::vector<std::string>& args,
                                    const std::vector<std::string>& extra_env = {}) {
  std::vector<std::string> env = users.env(base_environment());
  env.insert(env.end(), extra_env.begin(), extra_env.end());
  std::vector<std::string> argv{PLIX_BINARY_DIR "/site_probe"};
  argv.insert(argv.end(), args.begin(), args.end());
  ProcessOptions opts;
  opts.env = std::move(env);
  return run_process(argv, opts);
}

}  // namespace plix::test
