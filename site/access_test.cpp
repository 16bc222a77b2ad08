#include "site/access.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "site/web_user.h"
#include "tests/support/numbered.h"
#include "tests/support/site_env.h"
#include "tests/support/site_probe.h"
#include "tests/support/temp_home.h"

namespace plix {
namespace {

class AccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    home_.file("conf/def.seq", "Machid: ABCde00042\n");
    home_.project("alpha", "bugs", "Path-to-owner: ABCde00001\n");
    home_.project("remote", "bugs", "Path-to-owner: XYZab00001\nRemote-mod-ok: ABCde\n");
    home_.project("foreign", "bugs", "Path-to-owner: XYZab00001\n");
    home_.project("remote2", "bugs", "Path-to-owner: XYZab00001\nRemote-mod-ok: ABCde\n");
  }
  std::string& captured() { return env_.warnings(); }
  void rules(const std::string& project, const std::string& text, int mode = 0644) {
    home_.file("projects/" + project + "/proj.control", text, mode);
  }

  test::TempHome home_;
  test::SiteEnv env_{home_.path()};
};

FieldTable table_of(std::initializer_list<std::pair<const char*, const char*>> entries) {
  FieldTable t;
  for (const auto& [name, value] : entries) addfield(name, value, t);
  return t;
}

TEST_F(AccessTest, ExpandVariablesTakesTheRecordFirstThenTheRulesWithoutLooping) {
  FieldTable record = table_of({{"Engineer", "eng1"}, {"Team", "t1  t2"}, {"Blank", ""}});
  FieldTable rule_table = table_of({{"Engineer", "ruleeng"},
                                    {"Lead", "$Engineer boss"},
                                    {"Self", "$Self x"},
                                    {"A", "$B a"},
                                    {"B", "$A b"},
                                    {"Empty", ""}});
  const std::tuple<const char*, bool, std::optional<std::string>> cases[] = {
      {"$Engineer admin", true, "eng1 admin"},
      {"$engineer", false, "ruleeng"},  // names compare as field names do
      {"$Lead", true, "eng1 boss"},     // the record wins inside a rule too
      {"$Lead", false, "ruleeng boss"},
      {"$Self", false, "x"},      // a rule cannot refer to itself
      {"$A", false, "b a"},       // nor to itself by way of another
      {"$Team", true, "t1  t2"},  // a record value is taken unchanged
      {"\tone \t two  ", false, "one two"},
      {"$Blank", true, std::nullopt},
      {"$Empty $Missing $", false, std::nullopt},
  };
  for (const auto& [text, with_record, want] : cases)
    EXPECT_EQ(expand_variables(text, with_record ? &record : nullptr, rule_table), want)
        << text << " " << with_record;
  EXPECT_EQ(captured(), "");

  // Rules whose references double at each level are stopped.
  FieldTable doubling;
  for (int i = 0; i < 40; ++i) {
    std::string next = test::numbered("$X", i + 1);
    addfield(test::numbered("X", i), next + " " + next, doubling);
  }
  addfield("X40", "w", doubling);
  auto out = expand_variables("$X0", nullptr, doubling);
  ASSERT_TRUE(out);
  EXPECT_EQ(out->substr(0, 4), "w w ");
  EXPECT_EQ(captured(), "Variable expansion stopped after 100000 words\n");
}

TEST_F(AccessTest, StateAccessFollowsAllowListsGroupsAndReferences) {
  home_.file("conf/groups", "qa: qa1, qa2\nops:\tdev1,\n  ops1\n");
  rules("alpha",
        "A-allow: dev1\nB-allow-group: qa\nC-allow: $Engineer admin\nEngineer: ruleeng\n"
        "D-allow: $D-allow dev2\nE-allow: nobody\nE-allow-group: ops\nG-allow: $Nothing\n");
  FieldTable eng = table_of({{"Engineer", "eng1"}});
  FieldTable none = table_of({{"Status", "A"}});
  // A state without rules is open; a-allow is A-allow; an empty expansion is no rule.
  const std::tuple<const char*, char, const FieldTable*, int> cases[] = {
      {"dev1", 'R', nullptr, 1},  {"dev2", 'A', nullptr, 0},  {"dev1", 'a', nullptr, 1},
      {"qa2", 'B', nullptr, 1},   {"qa3", 'B', nullptr, 0},   {"eng1", 'C', &eng, 1},
      {"ruleeng", 'C', &eng, 0},  {"ruleeng", 'C', &none, 1}, {"dev2", 'D', nullptr, 1},
      {"dev1", 'D', nullptr, 0},  {"ops1", 'E', nullptr, 1},  {"qa1", 'E', nullptr, 0},
      {"anyone", 'G', nullptr, 1}};
  for (const auto& [user, state, record, want] : cases) {
    env_.as_user(user);
    EXPECT_EQ(state_access_ok(state, "alpha", record), want) << user << " " << state;
  }
  EXPECT_EQ(captured(), "");
}

TEST_F(AccessTest, UnreadableOrRemoteRulesDependOnOwnershipAndRemoteModification) {
  rules("remote", "A-allow: dev1\n");
  rules("foreign", "A-allow: dev1\n");
  EXPECT_EQ(state_access_ok('A', "remote", nullptr), 1);  // elsewhere, rules apply here
  EXPECT_EQ(state_access_ok('A', "foreign", nullptr), 0);
  EXPECT_EQ(access_state().rules_project, std::nullopt);
  rules("alpha", "A-allow: dev1\n", 0);
  env_.as_user("dev2");
  const std::pair<const char*, int> cases[] = {
      {"alpha", 0},              // owned here, rules unreadable
      {"missing", 0},            // no rules and no information record
      {"remote", 0},             // elsewhere, modifiable here, and the rules deny
      {"remote2", 1},            // elsewhere, modifiable here, no rules
      {"foreign", 0},            // elsewhere, this site may not modify it
      {"../projects/alpha", 0},  // not a project name
  };
  for (const auto& [project, want] : cases)
    EXPECT_EQ(state_access_ok('A', project, nullptr), want) << project;
  EXPECT_EQ(state_access_ok('B', "remote", nullptr), 1);
  EXPECT_EQ(captured(), "");
}

TEST_F(AccessTest, NamelessUserIsDeniedAndTheDatabaseAccountAllowed) {
  rules("alpha", "A-allow: dev1\n");
  web_user_state().ruser.reset();
  EXPECT_EQ(state_access_ok('A', "alpha", nullptr), 0);
  EXPECT_EQ(captured(), "Your user ID number does not have a name...");
  env_.as_user("dev2");
  env_.as_database_account(true);
  EXPECT_EQ(state_access_ok('A', "alpha", nullptr), 1);
  EXPECT_EQ(state_access_ok('A', "no/such", nullptr), 1);
}

TEST_F(AccessTest, SecurityTokenOfTheUserElseOtherAndNeverOthersForOneTooLarge) {
  std::string max(999, 't');
  // An entry too large for the reader is too large a token, never a reason
  // to hand out OTHER's.
  std::string normal =
      "dev1:   \tsecret one\nbig: " + max + "x\nexact: " + max + "\nOTHER: guest\n";
  std::string huge = "OTHER: guest\nhuge: " + std::string(5000, 'h') + "\n";
  std::string big_other = "OTHER: " + std::string(1000, 'y') + "\n";
  const std::tuple<std::optional<std::string>, const char*, std::string, std::string> cases[] = {
      {normal, "dev1", "secret one", ""},
      {normal, "nobody", "guest", ""},
      {normal, "exact", max, ""},
      {normal, "big", "", "Security token for big too large!\n"},
      {huge, "huge", "", "Security token for huge too large!\n"},
      {big_other, "nobody", "", "Security token for nobody too large!\n"},
      {std::nullopt, "dev1", "", ""},  // no etc/security
  };
  for (const auto& [file, user, token, message] : cases) {
    std::remove((home_ / "etc/security").c_str());
    if (file) home_.file("etc/security", *file);
    captured().clear();
    EXPECT_EQ(getsectoken(user), token) << user;
    EXPECT_EQ(captured(), message) << user;
  }
}

TEST_F(AccessTest, Ok2fwdByOwnership) {
  home_.project("here2", "bugs", "Path-to-owner: ABCde00002\n");
  home_.project("foreign2", "bugs", "Path-to-owner: XYZab00001\n");
  home_.project("noowner", "bugs");
  const std::tuple<const char*, const char*, const char*, const char*, int> cases[] = {
      {"alpha", "foreign", "", "A", 1},     // owned here
      {"alpha", "", "foreign", "F", 1},     // F: the forward target counts
      {"alpha", "foreign", "", "F", 0},     // ... and it is empty
      {"foreign", "alpha", "", "A", 0},     // owned elsewhere, owners differ
      {"foreign", "foreign2", "", "A", 1},  // owned elsewhere by the same site
      {"alpha", "noowner", "", "A", 0},     // an owner is needed on both sides
      {"alpha", "../proj.info/alpha", "", "A", 0},
      {"alpha", "here2", "", "", 0},
  };
  for (const auto& [project, target, forward, state, want] : cases)
    EXPECT_EQ(ok2fwd(project, target, forward, state), want)
        << project << " -> " << target << "/" << forward << " " << state;
}

TEST_F(AccessTest, GroupsFromConfGroupsForAnUnknownSystemUser) {
  home_.file("conf/groups", "qa: qa1, dev1x\nops: a,dev1\nall:\tdev1\n");
  EXPECT_EQ(plix_getgroups("dev1"), "ops all");
  EXPECT_EQ(plix_getgroups(std::string("dev1\0x", 6)), "");
}

// Under fake users, in a child process: conf/groups, then the primary group,
// then the system memberships, each granting states.
TEST(AccessProbeTest, GroupsComeFromConfGroupsThenPrimaryThenMemberships) {
  if (test::nss_wrapper_library().empty()) GTEST_SKIP() << "nss_wrapper not installed";
  test::TempHome home;
  test::FakeUsers users;
  users.add_user("plix", 1500, home.path()).add_user("dev1", 2001).add_user("dev2", 2002);
  users.add_group("eng", 3000, {"dev2", "dev1"});
  users.add_group("docs", 3001, {"dev2"});
  users.add_group("ops", 3002, {"dev1"});
  users.current_user_as("dev1");
  home.file("conf/groups", "qa: qa1, dev1\nweb: x\nall: dev1 dev2\n");
  home.file("conf/def.seq", "Machid: ABCde00042\n");
  home.project("alpha", "bugs", "Path-to-owner: ABCde00001\n");
  home.file("projects/alpha/proj.control",
            "A-allow-group: eng\nB-allow-group: docs\nC-allow: dev2\nC-allow-group: dev1\n");
  auto r = test::run_site_probe(
      users,
      {"plix_getgroups=dev1", "plix_getgroups=dev2", "plix_getgroups=qa1", "plix_getgroups=ghost",
       "state_access_ok=A:alpha", "state_access_ok=B:alpha", "state_access_ok=C:alpha"},
      {"PLIXHOME=" + home.path()});
  EXPECT_EQ(r.out,
            "plix_getgroups: qa all dev1 eng ops\n"
            "plix_getgroups: all dev2 eng docs\n"
            "plix_getgroups: qa\n"
            "plix_getgroups: \n"
            "state_access_ok: 1\nstate_access_ok: 0\nstate_access_ok: 1\n")
      << r.err;
  EXPECT_EQ(r.err, "");
}

}  // namespace
}  // namespace plix
