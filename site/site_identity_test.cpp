#include "site/site_identity.h"

#include <gtest/gtest.h>

#include "recstore/record_file.h"
#include "site/home.h"
#include "site/site_files.h"
#include "site/web_user.h"
#include "tests/support/recstore_env.h"
#include "tests/support/site_env.h"
#include "tests/support/temp_home.h"
#include "util/activity_log.h"
#include "util/messages.h"

namespace plix {
namespace {

class SiteIdentityTest : public ::testing::Test {
 protected:
  std::string& captured() { return env_.warnings(); }
  std::string log() { return home_.read("spool/LOG"); }

  test::TempHome home_;
  test::SiteEnv env_{home_.path()};
};

TEST_F(SiteIdentityTest, MachineIdIsFirstFiveCharactersOfMachid) {
  home_.file("conf/def.seq", "# counter\nMachid:  ABCde00042\n");
  EXPECT_EQ(getmachid(), "ABCde");
  EXPECT_EQ(setname(), 0);
  EXPECT_EQ(ismysite("ABCxy00001"), 1);
  EXPECT_EQ(ismymach("ABCxy00001"), 0);
  EXPECT_EQ(ismymach("ABCde"), 1);
  // Kept once read: a later rewrite does not change it.
  home_.file("conf/def.seq", "Machid: XYZab00001\n");
  EXPECT_EQ(getmachid(), "ABCde");
}

TEST_F(SiteIdentityTest, MalformedOrMissingMachidIsLoggedAndGivesNothing) {
  const std::pair<const char*, const char*> cases[] = {
      {"Machid: ABCde00042 \n", "Error reading machid from def.seq."},
      {"Machid: ABCde00042\n more\n", "Error reading machid from def.seq."},
      {"Other: x\n", "Can't find Machid field in def.seq"}};
  for (const auto& [text, message] : cases) {
    reset_site_identity_state();
    reset_log_state();  // the log's descriptor follows the new file
    log_state().home_provider = &gethomedir;
    home_.file("spool/LOG", "");
    home_.file("conf/def.seq", text);
    EXPECT_EQ(getmachid(), std::nullopt) << text;
    EXPECT_NE(log().find(std::string(message) + "\n"), std::string::npos) << text << log();
    EXPECT_EQ(setname(), -1);
  }
}

TEST_F(SiteIdentityTest, ProjectOwnershipAndItsMemory) {
  home_.file("conf/def.seq", "Machid: ABCde00042\n");
  home_.project("here", "bugs", "Path-to-owner: ABCde00001\n");
  home_.project("there", "bugs", "Path-to-owner: XYZab00001\n");
  home_.project("noowner", "bugs");
  // Never a path outside proj.info.
  for (const char* p : {"there", "noowner", "../proj.info/here", "missing"})
    EXPECT_EQ(isremote(p), 1) << p;
  // Asking again for the same project answers from memory.
  home_.project("missing", "bugs", "Path-to-owner: ABCde00001\n");
  EXPECT_EQ(isremote("missing"), 1);
  EXPECT_EQ(isremote("here"), 0);
  EXPECT_EQ(isremote("missing"), 0);  // another project was asked in between
}

TEST_F(SiteIdentityTest, ScopecheckCodes) {
  home_.project("alpha", "bugs", "Proj-status: active since 2001\n");
  home_.project("upper", "bugs", "Proj-status: Active\n");
  home_.project("nostatus", "bugs");
  home_.project("longword", "bugs", "Proj-status: " + std::string(56, 'a') + "\n");
  home_.project("exact", "bugs", "Proj-status: " + std::string(55, 'a') + "\n");
  const std::pair<const char*, int> cases[] = {{"alpha", 0},     {"upper", -3}, {"nostatus", -2},
                                               {"longword", -4}, {"exact", -3}, {"absent", -1},
                                               {"../conf", -1}};
  for (const auto& [project, want] : cases) EXPECT_EQ(scopecheck(project), want) << project;
}

TEST_F(SiteIdentityTest, HostNameIsFirstWordOfHostnameEntry) {
  home_.file("conf/hostname", "Hostname:  bugs.example.org  extra\n");
  EXPECT_EQ(dhost(), "bugs.example.org");
  EXPECT_EQ(mypath(), "plix@bugs.example.org");
  reset_site_identity_state();
  home_.file("conf/hostname", "Other: x\n");
  EXPECT_EQ(dhost(), "");
  EXPECT_EQ(captured(), "Can't find Hostname field in " + (home_ / "conf/hostname") + "\n");
  reset_site_identity_state();
  captured().clear();
  home_.file("conf/hostname", "Hostname:\n");
  EXPECT_EQ(dhost(), "");
  EXPECT_EQ(captured(), "No host in Hostname field in " + (home_ / "conf/hostname") + "\n");
}

class SiteFilesTest : public SiteIdentityTest {
 protected:
  test::RecstoreEnv store_;
};

TEST_F(SiteFilesTest, RemoveNullCleansACopyOrInPlaceKeepingPermissions) {
  home_.file("clean", "no zero bytes\n");
  EXPECT_EQ(remove_null(home_ / "clean"), std::nullopt);
  EXPECT_EQ(remove_null(home_ / "absent"), std::nullopt);
  EXPECT_NE(log().find("Could not open " + (home_ / "absent")), std::string::npos);

  home_.file("dirty", std::string("a\0b\0\0c\n", 7), 0640);
  std::optional<std::string> copy = remove_null(home_ / "dirty");
  ASSERT_TRUE(copy);
  EXPECT_EQ(test::read_file(*copy), "a b  c\n");
  ::unlink(copy->c_str());
  EXPECT_EQ(remove_null_inplace(home_ / "dirty"), 0);
  EXPECT_EQ(home_.read("dirty"), "a b  c\n");
  struct stat st;
  ASSERT_EQ(::stat((home_ / "dirty").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(store_.tmp_files().size(), 0u);  // no copy left behind
}

TEST_F(SiteFilesTest, EnclosureStampNamesActionDateAndSafeUser) {
  Field f;
  f.name = "History";
  // Run as the web server's account so REMOTE_USER names the web user.
  reset_web_user_state();
  auto real = ruserid();
  ASSERT_TRUE(real);
  reset_web_user_state();
  home_.file("conf/http_user", *real + "\n");
  http_init();
  ::setenv("REMOTE_USER", "eve\nFake::entry", 1);
  enclstamp("Added", f);
  ::unsetenv("REMOTE_USER");
  ASSERT_TRUE(f.stamp);
  EXPECT_EQ(f.stamp->substr(0, 6), "Added ");
  EXPECT_EQ(f.stamp->substr(12), " by eve_Fake__entry");
}

}  // namespace
}  // namespace plix
