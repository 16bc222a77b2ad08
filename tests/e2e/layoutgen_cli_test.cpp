// The layoutgen command line, run as a real process on a fixture home with
// fake users: usage paths, option conflicts, action prefixes, browser names,
// the transition state check and cached_query.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_users.h"
#include "tests/support/process.h"
#include "tests/support/temp_home.h"

namespace plix::test {
namespace {

const std::string kProg = PLIX_BINARY_DIR "/layoutgen";

std::string usage() {
  const std::string p = kProg;
  return "Usage:\n" + p + " -a submit {-c <class> | -p <project>} [-v] [-m] [-b <browser>]\n" + p +
         " -a query -c <class> [-v] [-b <browser>]\n" + p +
         " -a display [ -t <template> ] -i <bugid> [-v] [-b <browser>]\n" + p +
         " -a modify -i <bugid> [-v] [-m] [-b <browser>]\n" + p +
         " -a clone -i <bugid> [-v] [-m] [-b <browser>]\n" + p +
         " -a add_enclosure [ -t <template> ] -i <bugid> [-v] [-b <browser>]\n" + p +
         " -a transition -i <bugid> -s <state> [-v] [-m] [-b <browser>]\n" +
         "\t-a <action> is the action being performed\n"
         "\t-i <bugid> is the bug identifier \n"
         "\t-s <state> is the state you're going to\n"
         "\t-c <class> is the class for this bug\n"
         "\t-p <project> is the project for this bug\n"
         "\t-v enables a verbose mode that makes the output more readable for humans\n"
         "\t-m enables 'Mozilla' mode and outputs JavaScript for dependent picklists.\n"
         "\t-b <browser> enables 'MSIE', 'Netscape', 'Netscape7'\n";
}

class LayoutgenCli : public ::testing::Test {
 protected:
  void SetUp() override {
    users_.add_user("plix", 4242, home_.path());
    users_.current_user_as("www");
    home_.file("etc/cache_conf", "Headline: yes\n");
  }

  ProcessResult run(const std::vector<std::string>& args,
                    const std::vector<std::string>& env = {}) {
    return run_as(users_, kProg, args, env);
  }

  TempHome home_;
  FakeUsers users_;
};

TEST_F(LayoutgenCli, UsageTextForEveryRefusedCommandLine) {
  const std::vector<std::vector<std::string>> cases = {
      {},                                           // submit needs -c or -p
      {"-a", "add_enclosure", "-i", "ABCde00001"},  // not an action
      {"-a", "submits", "-c", "bugs"},              // prefix of no name
      {"-a", "submit", "-c", "bugs", "-i", "ABCde00001"},
      {"-a", "modify", "-i", "ABCde00001", "-c", "bugs"},
      {"-a", "modify", "-i", "ABCde00001", "-p", "alpha"},
      {"-a", "display", "-c", "bugs", "-i", "ABCde00001"},
      {"-a", "query", "-i", "ABCde00001"},
      {"-a", "modify"},
      {"-a", "clone"},
      {"-a", "transition", "-i", "ABCde00001"},
      {"-a", "transition", "-s", "A"},
      {"-a", "submit", "-c", "bugs", "-s", "A"},  // -s only with transition
      {"-a", "query", "-c", "bugs", "-s", "A"},
      {"-a", "submit", "-a", "submit", "-c", "bugs"},
      {"-a", "transition", "-i", "ABCde00001", "-s", "A", "-s", "B"},
  };
  for (const auto& args : cases) {
    ProcessResult r = run(args);
    std::string shown;
    for (const auto& a : args) shown += a + " ";
    EXPECT_EQ(r.status, 1) << shown;
    EXPECT_EQ(r.err, usage()) << shown;
    EXPECT_EQ(r.out, "") << shown;
  }
}

TEST_F(LayoutgenCli, ScannerDiagnosticPrecedesUsage) {
  ProcessResult t = run({"-a", "display", "-t", "x", "-i", "ABCde00001"});
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(t.err, kProg + ": invalid option -- 't'\n" + usage());
  ProcessResult a = run({"-c", "bugs", "-a"});
  EXPECT_EQ(a.status, 1);
  EXPECT_EQ(a.err, kProg + ": option requires an argument -- 'a'\n" + usage());
}

TEST_F(LayoutgenCli, TransitionStateMustBeOneLetterBeforeAnyFileIsRead) {
  for (const char* state : {"AB", ""}) {
    // The record does not exist: the state is checked first.
    ProcessResult r = run({"-a", "transition", "-i", "ABCde00001", "-s", state});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("Invalid state to transition to: ") + state + ".\n");
    EXPECT_EQ(r.out, "");
  }
}

TEST_F(LayoutgenCli, CachedQueryRunsOnlyAsTheWebUser) {
  ProcessResult outside = run({"-a", "cached_query"});
  EXPECT_EQ(outside.status, 4);
  EXPECT_EQ(outside.err, "Unable to cache information correctly.  Please run by the web user.\n");

  home_.file("conf/http_user", "www\n");
  ProcessResult inside = run({"-a", "ca"});
  EXPECT_EQ(inside.status, 0);
  EXPECT_EQ(inside.err, "");
  EXPECT_EQ(inside.out, "");

  home_.file("conf/http_user", "apache\n");
  EXPECT_EQ(run({"-a", "cached_query"}).status, 4);
}

TEST_F(LayoutgenCli, UnknownBrowserIsWarnedAboutAndRunGoesOn) {
  home_.file("conf/http_user", "www\n");
  ProcessResult r = run({"-b", "lynx", "-a", "cached_query", "-b", "Netscape"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Unknown browser type lynx.\n");
  // The warning comes when the option is read, even if the line is refused later.
  ProcessResult bad = run({"-b", "w3m", "-a", "nothing"});
  EXPECT_EQ(bad.err, "Unknown browser type w3m.\n" + usage());
}

TEST_F(LayoutgenCli, MissingDatabaseAccountEndsRunEvenWithHomeSet) {
  FakeUsers nobody;
  nobody.current_user_as("www");
  std::vector<std::string> env = nobody.env(base_environment());
  env.push_back("PLIXHOME=" + home_.path());
  ProcessResult r = run_process({kProg, "-a", "cached_query"}, env);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "ERROR: no password entry for \"plix\".\n");
}

TEST_F(LayoutgenCli, HomeDirectoryComesFromPlixhomeOverAccount) {
  // The account's home has no http_user file; PLIXHOME's does.
  TempHome other;
  other.file("conf/http_user", "www\n");
  EXPECT_EQ(run({"-a", "cached_query"}).status, 4);
  EXPECT_EQ(run({"-a", "cached_query"}, {"PLIXHOME=" + other.path()}).status, 0);
}

}  // namespace
}  // namespace plix::test
