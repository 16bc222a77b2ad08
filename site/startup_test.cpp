#include "site/startup.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "recstore/temp_files.h"
#include "tests/support/recstore_env.h"

namespace plix {
namespace {

// A child makes a temporary file and ends by `how`; the file must go.
TEST(Startup, TemporaryFilesGoHoweverTheRunEnds) {
  for (int how : {0, SIGTERM, SIGHUP, SIGPIPE}) {
    SCOPED_TRACE(how);
    test::RecstoreEnv env;
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (how != 0) ::signal(how, SIG_DFL);  // the test runner may ignore it
      clean_up_on_signals();
      int fd = create_temp_file(*plixtempnam(env.tmp(), "dfile"), 0600);
      if (fd < 0) ::_exit(9);
      if (how != 0) ::raise(how);
      std::exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    if (how == 0)
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    else
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == how);
    EXPECT_TRUE(env.tmp_files().empty());
  }
}

}  // namespace
}  // namespace plix
