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
  return run_as(users, PLIX_BINARY_DIR "/site_probe", args, extra_env);
}

}  // namespace plix::test
