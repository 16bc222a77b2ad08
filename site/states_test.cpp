#include "site/states.h"

#include <gtest/gtest.h>

#include <string>

#include "site/access.h"
#include "site/home.h"
#include "tests/support/numbered.h"
#include "tests/support/site_env.h"
#include "tests/support/temp_home.h"

namespace plix {
namespace {

class StatesTest : public ::testing::Test {
 protected:
  std::string& captured() { return env_.warnings(); }
  // A project "alpha" of class "bugs", active and owned here, with the
  // given routing table and rules for no state of it.
  void routed_project(const std::string& states) {
    home_.file("conf/def.seq", "Machid: ABCde00042\n");
    home_.klass("bugs").file("statenames", "A o Open\nB o Fixed\nD x Done\n");
    home_.klass("bugs").file("states", states);
    home_.project("alpha", "bugs", "Proj-status: active\nPath-to-owner: ABCde00001\n");
    home_.file("projects/alpha/proj.control", "Z-allow: nobody\n");
  }

  test::TempHome home_;
  test::SiteEnv env_{home_.path()};
};

TEST_F(StatesTest, SelectstatesFiltersByCategoryAppendsWithoutRepeatsAndRetriesMissingClasses) {
  home_.klass("bugs").file("statenames", "A o Open state\nB\to\tFixed\n\nD x Done\n");
  struct Case {
    const char* start;
    std::optional<std::string_view> filter;
    bool append;
    const char* expect;
  } cases[] = {
      // clang-format off
      {"zz", std::nullopt, false, "ABD"}, {"", "x", false, "D"}, {"B", "ox", true, "BAD"},
      {"", "", false, ""},                {"Q", "q", true, "Q"},
      // clang-format on
  };
  for (const auto& c : cases) {
    std::string out = c.start;
    EXPECT_TRUE(selectstates("bugs", c.filter, out, c.append));
    EXPECT_EQ(out, c.expect) << c.start << " / " << c.filter.value_or("(none)");
  }
  std::string out = "keep";
  EXPECT_FALSE(selectstates("nope", std::nullopt, out, false));
  EXPECT_EQ(out, "");
  // Names that would leave class/ are never looked up.
  home_.file("statenames", "A o\n");
  EXPECT_EQ(load_class_states(".."), nullptr);
  EXPECT_EQ(captured(),
            "Missing statenames file in class: nope\nMissing statenames file in class: ..\n");
  // Once the file appears the class loads: a failure was not remembered.
  home_.klass("nope").file("statenames", "Q o\n");
  EXPECT_TRUE(selectstates("nope", std::nullopt, out, true));
  EXPECT_EQ(out, "Q");
}

TEST_F(StatesTest, StatenamesFormatErrors) {
  std::string many;
  for (int i = 0; i < 32; ++i) many += std::string(1, static_cast<char>('A' + i)) + " o\n";
  std::string path = home_ / "class/bad/statenames";
  struct Case {
    std::string text;
    const char* letters;  // null: refused
    std::string message;
  } cases[] = {
      {"A o\nBB o\n", nullptr, path + ": invalid format on line 2\n"},
      {"A oo\n", nullptr, path + ": invalid format on line 1\n"},
      {std::string("A o\n\0 o\n", 8), nullptr, path + ": invalid format on line 2\n"},
      {many.substr(0, 31 * 4), "ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_", ""},
      {many, nullptr, path + ": too many states (more than 31)"},
      {"A o\nB\nC o\n", "A", ""},  // reading stops at the first line without two tokens
  };
  for (const auto& c : cases) {
    reset_states_state();
    captured().clear();
    home_.klass("bad").file("statenames", c.text);
    const ClassStates* cs = load_class_states("bad");
    if (c.letters == nullptr) {
      EXPECT_EQ(cs, nullptr) << c.text;
    } else {
      ASSERT_NE(cs, nullptr) << c.text;
      EXPECT_EQ(cs->states, c.letters);
      EXPECT_EQ(cs->categories, std::string(cs->states.size(), 'o'));
    }
    EXPECT_EQ(captured(), c.message) << c.text;
  }
}

TEST_F(StatesTest, ClassCacheKeepsEntriesAndGrowsPastAHundred) {
  for (int i = 0; i < 120; ++i) home_.klass(test::numbered("c", i)).file("statenames", "A o\n");
  const ClassStates* first = load_class_states("c0");
  for (int i = 1; i < 120; ++i) ASSERT_NE(load_class_states(test::numbered("c", i)), nullptr) << i;
  EXPECT_EQ(getclassid("c119"), 119);
  EXPECT_EQ(getclassid("c120"), -1);
  // Read once: a changed file is not read again, and entries do not move.
  home_.klass("c0").file("statenames", "Z o\n");
  EXPECT_EQ(load_class_states("c0"), first);
  EXPECT_EQ(first->states, "A");
}

TEST_F(StatesTest, NextstateFollowsTheRoutingTableUpToABadEntryAndReadsItOnce) {
  routed_project("# route table\n\nA B D\n   # to B by way of D\nD B B\n\nB A\n");
  loadstates("alpha");
  EXPECT_EQ(states_state().Statelist, "ABD");
  EXPECT_EQ(nextstate('A', 'B'), 'D');
  EXPECT_EQ(nextstate('D', 'B'), 'B');
  EXPECT_EQ(nextstate('B', 'A'), 0);
  EXPECT_EQ(statenum('D', "ABD"), 2);
  EXPECT_EQ(statenum('Q', "ABD"), -1);
  EXPECT_EQ(captured(), (home_ / "class/bugs/states") + ": badly formatted state table\n");
  // A malformed table is not remembered as loaded; a good one is, until a reset.
  home_.klass("bugs").file("states", "A B B\n");
  loadstates("alpha");
  EXPECT_EQ(nextstate('A', 'B'), 'B');
  home_.klass("bugs").file("states", "A B D\n");
  loadstates("alpha");
  EXPECT_EQ(nextstate('A', 'B'), 'B');
  clear_state_table();
  EXPECT_EQ(nextstate('A', 'B'), 0);
  loadstates("alpha");
  EXPECT_EQ(nextstate('A', 'B'), 'D');
  // A missing table leaves the loaded one alone.
  captured().clear();
  home_.project("beta", "empty");
  loadstates("beta");
  EXPECT_EQ(captured(), (home_ / "class/empty/states") + ": No such file or directory");
  EXPECT_EQ(nextstate('A', 'B'), 'D');
}

TEST_F(StatesTest, TableOfMoreThanThirtyLettersIsRefusedAtTheEntryThatOverflows) {
  // 10 entries of 3 new letters each fill the 30 letters; the 11th overflows.
  std::string table;
  std::string letters;
  for (int i = 0; i < 11; ++i) {
    std::string e;
    for (int k = 0; k < 3; ++k) e += static_cast<char>('!' + 3 * i + k);
    table += std::string(1, e[0]) + " " + e[1] + " " + e[2] + "\n";
    if (i < 10) letters += e;
  }
  routed_project(table);
  loadstates("alpha");
  EXPECT_EQ(states_state().Statelist, letters);
  EXPECT_EQ(captured(), (home_ / "class/bugs/states") + ": badly formatted state table\n");
  EXPECT_EQ(nextstate(letters[27], letters[28]), letters[29]);
}

TEST_F(StatesTest, ProjclassFallsBackToSoftwareWithAWarning) {
  home_.project("alpha", "bugs  extra words");
  home_.file("proj.info/noclass", "Proj-status: active\n");
  home_.project("sneaky", "../../etc");
  home_.project("long", std::string(300, 'c'));
  std::string info = home_ / "proj.info/";
  struct Case {
    const char* project;
    std::string cls, message;
  } cases[] = {
      {"alpha", "bugs", ""},
      {"noclass", "software", "ERROR: No Class field in " + info + "noclass"},
      {"absent", "software", "ERROR: " + info + "absent: No such file or directory"},
      {"../conf/def.seq", "software", "ERROR: " + info + "../conf/def.seq: Invalid argument"},
      {"sneaky", "software", "ERROR: " + info + "sneaky: Invalid argument"},
      {"long", std::string(255, 'c'), ""},
  };
  for (const auto& c : cases) {
    captured().clear();
    EXPECT_EQ(projclass(c.project), c.cls) << c.project;
    EXPECT_EQ(captured(), c.message) << c.project;
    // Asked again, the class is remembered and not reported twice.
    captured().clear();
    EXPECT_EQ(projclass(c.project), c.cls);
    EXPECT_EQ(captured(), "");
  }
  EXPECT_EQ(statesfile("noclass"), home_ / "class/software/states");
  home_.project("beta", "missing");
  captured().clear();
  EXPECT_EQ(projstates("beta"), std::nullopt);
  EXPECT_EQ(captured(), "Missing statenames file in class: missing\n");
}

TEST_F(StatesTest, ValidTransitionWalksTheRouteCheckingEachState) {
  routed_project("A B D\nD B B\nS A A\nF A A\nA C D\nD C A\n");
  EXPECT_EQ(projstates("alpha"), "ABD");
  struct Case {
    char from, to;
    bool same_ok, start_ok;
    int expect;
  } cases[] = {
      {'A', 'B', false, false, 1}, {'B', 'A', false, false, 0},  // no route
      {'S', 'A', true, false, 0},  {'F', 'A', false, true, 0},   // start states need both
      {'S', 'A', true, true, 1},   {'F', 'A', true, true, 1},
      {'B', 'B', false, false, 0},                             // same state without an entry
      {'B', 'B', true, false, 1},  {'A', 'C', true, true, 0},  // A -> D -> A -> ... never C
  };
  for (const auto& c : cases)
    EXPECT_EQ(valid_transition("alpha", c.from, c.to, c.same_ok, c.start_ok, nullptr), c.expect)
        << c.from << "->" << c.to << " " << c.same_ok << c.start_ok;
}

TEST_F(StatesTest, ValidTransitionNeedsScopeAndAccessToEveryIntermediateState) {
  routed_project("A B D\nD B B\n");
  home_.project("closed", "bugs", "Proj-status: closed\nPath-to-owner: ABCde00001\n");
  EXPECT_EQ(valid_transition("closed", 'A', 'B', true, true, nullptr), 0);
  EXPECT_EQ(valid_transition("gone", 'A', 'B', true, true, nullptr), 0);
  home_.file("projects/alpha/proj.control", "D-allow: dev1\nB-allow: dev1 dev2\n");
  EXPECT_EQ(valid_transition("alpha", 'A', 'B', false, false, nullptr), 1);
  env_.as_user("dev2");  // may enter B but not pass through D
  reset_access_state();
  EXPECT_EQ(valid_transition("alpha", 'A', 'B', false, false, nullptr), 0);
  EXPECT_EQ(valid_transition("alpha", 'D', 'B', false, false, nullptr), 1);
  // The database account needs no route, scope or rules.
  env_.as_database_account(true);
  EXPECT_EQ(valid_transition("alpha", 'A', 'B', false, false, nullptr), 1);
  EXPECT_EQ(valid_transition("nowhere", 'S', 'Q', false, false, nullptr), 1);
}

TEST_F(StatesTest, AllstatesCollectsEveryClassOnce) {
  std::string out = "old";
  site_state().home = home_ / "nothing";
  EXPECT_FALSE(allstates(out));
  EXPECT_EQ(out, "old");
  EXPECT_EQ(captured(), "allstates: " + (home_ / "nothing/class") + ": No such file or directory");
  site_state().home = home_.path();
  captured().clear();
  home_.klass("docs").file("statenames", "D o\nE o\n");
  home_.klass("RCS").file("statenames", "R o\n");
  home_.klass(".hidden").file("statenames", "H o\n");
  home_.file("class/notes", "not a class\n");
  routed_project("A B D\n");
  loadstates("alpha");
  EXPECT_TRUE(allstates(out));
  EXPECT_EQ(out, "ABDE");
  EXPECT_EQ(nextstate('A', 'B'), 0);  // the routing table is left empty
  EXPECT_EQ(captured(), (home_ / "class/notes/statenames") + ": Not a directory\n");
}

TEST_F(StatesTest, RemoteModifyOkComparesEachListedMachine) {
  home_.project("both", "bugs", "Remote-mod-ok: XYZab ABCde\n");
  EXPECT_EQ(remote_modify_ok("both"), 0);  // no machine id: nothing, and not remembered
  home_.file("conf/def.seq", "Machid: ABCde00042\n");
  home_.project("first", "bugs", "Remote-mod-ok:\tABCde,XYZab\n");
  home_.project("long", "bugs", "Remote-mod-ok: ABCde00042\n");
  home_.project("none", "bugs");
  struct Case {
    const char* project;
    int expect;
  } cases[] = {{"both", 1}, {"first", 0}, {"long", 0}, {"none", 0}, {"../conf/def.seq", 0}};
  for (const auto& c : cases) EXPECT_EQ(remote_modify_ok(c.project), c.expect) << c.project;
  // The last answer is remembered for a repeated question.
  EXPECT_EQ(remote_modify_ok("none"), 0);
  home_.project("none", "bugs", "Remote-mod-ok: ABCde\n");
  EXPECT_EQ(remote_modify_ok("none"), 0);
  EXPECT_EQ(remote_modify_ok("both"), 1);
  EXPECT_EQ(remote_modify_ok("none"), 1);
}

}  // namespace
}  // namespace plix
