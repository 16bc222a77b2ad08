#include "recstore/table_load.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "recstore/enclosures.h"
#include "tests/support/recstore_env.h"

namespace plix {
namespace {

using test::RecstoreEnv;

struct Expected {
  std::string name;
  std::optional<std::string> value;
  std::optional<std::string> stamp;
  bool has_file;
};

void expect_table(const FieldTable& t, const std::vector<Expected>& want,
                  const std::string& record) {
  ASSERT_EQ(t.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(want[i].name);
    EXPECT_EQ(t[i].name, want[i].name);
    EXPECT_EQ(t[i].value, want[i].value);
    EXPECT_EQ(t[i].stamp, want[i].stamp);
    EXPECT_EQ(t[i].has_file, want[i].has_file);
    EXPECT_FALSE(t[i].owns_file);
    EXPECT_EQ(t[i].path, want[i].has_file ? std::optional<std::string>(record) : std::nullopt);
  }
}

TEST(Loadtable, WorkedExample) {
  RecstoreEnv env;
  std::string path = env.file("rec",
                              "#comment\n"
                              "Status: O\n"
                              "Headline:   Crash on save\n"
                              "Description: First line\n"
                              "\tsecond line\n"
                              "\n"
                              " third\n"
                              "@ part\n"
                              "Trace::Added on some date by a user::core dump\n"
                              " frame 1\n"
                              " frame 2\n"
                              "Related-file: /some/path\n");
  FieldTable t;
  ASSERT_EQ(loadtable(path, t), 0);
  expect_table(t,
               {
                   {"Status", "O", std::nullopt, false},
                   {"Headline", "Crash on save", std::nullopt, false},
                   {"Description", "First line\n\tsecond line\n\n third part", std::nullopt, false},
                   {"Trace", "core dump", "Added on some date by a user", true},
                   {"Related-file", "/some/path", "Related-file", true},
               },
               path);
  std::optional<std::string> body = fgetfile(&t[3]);
  ASSERT_TRUE(body);
  EXPECT_EQ(test::read_file(*body), "frame 1\nframe 2\n");
  EXPECT_EQ(test::open_blocks(), 0);
}

TEST(Loadtable, EdgeCasesOfTheFormat) {
  struct Case {
    const char* text;
    std::vector<Expected> want;
  };
  const std::vector<Case> cases = {
      {"#c\n\n#d\n", {}},
      {"Name : value\n", {{"Name", "value", std::nullopt, false}}},
      {"A:\nB:x\n", {{"A", "", std::nullopt, false}, {"B", "x", std::nullopt, false}}},
      {"A: x\n\nB: y\n", {{"A", "x\n", std::nullopt, false}, {"B", "y", std::nullopt, false}}},
      {"X: :x\n", {{"X", ":x", std::nullopt, false}}},
      {"A: x\n@more\n", {{"A", "xmore", std::nullopt, false}}},
      {"E::title\n body\n", {{"E", "title", "", true}}},
      {"E:: s ::  t \n", {{"E", "t ", " s ", true}}},
      {"A: 1\nA: 2\n", {{"A", "2", std::nullopt, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    RecstoreEnv env;
    std::string path = env.file("rec", c.text);
    FieldTable t;
    ASSERT_EQ(loadtable(path, t), 0);
    expect_table(t, c.want, path);
  }
}

TEST(Loadtable, AppendKeepsRepeatedNamesAndLoadRelatedFilesKeepsBodies) {
  RecstoreEnv env;
  std::string path = env.file("rec", "A: 1\nE::s::t\n body\nA: 2\n");
  FieldTable t;
  ASSERT_EQ(appendtable(path, t), 0);
  expect_table(
      t, {{"A", "1", std::nullopt, false}, {"E", "t", "s", true}, {"A", "2", std::nullopt, false}},
      path);

  dfile_state().Load_related_files = true;
  FieldTable plain;
  ASSERT_EQ(loadtable(path, plain), 0);
  expect_table(plain, {{"A", "2", std::nullopt, false}, {"E", "t\n body", std::nullopt, false}},
               path);
}

TEST(Loadtable, MergingFollowsTheNameRuleAndTheFirstEntry) {
  RecstoreEnv env;
  std::string path = env.file("rec", "A-B: 2\nE::s::t\n body\nE: plain\nnew: n\nNEW: m\n");
  FieldTable t;
  addfield("a_b", "1", t);
  ASSERT_EQ(loadtable(path, t), 0);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0].name, "a_b");
  EXPECT_EQ(t[0].value, "2");
  EXPECT_EQ(t[1].value, "plain");  // the first entry of the name, a file entry here
  EXPECT_TRUE(t[1].has_file);
  EXPECT_EQ(t[2].name, "new");
  EXPECT_EQ(t[2].value, "m");
}

TEST(Loadtable, LongEnclosureLineAndHugeBodyWithRelatedFilesLoaded) {
  RecstoreEnv env;
  std::string title(3000, 't');
  std::string body;
  for (int i = 0; i < 500; ++i) body += " body line " + std::to_string(i) + "\n";
  std::string path = env.file("rec", "E::s::" + title + "\n" + body + "A: x\n");
  FieldTable t;
  ASSERT_EQ(loadtable(path, t), 0);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].value, title);
  EXPECT_EQ(t[1].value, "x");
  dfile_state().Load_related_files = true;
  FieldTable plain;
  ASSERT_EQ(loadtable(path, plain), 0);
  ASSERT_EQ(plain.size(), 2u);
  EXPECT_EQ(plain[0].value, title + "\n" + body.substr(0, body.size() - 1));
  EXPECT_FALSE(plain[0].has_file);
}

TEST(Loadtable, HugePlainEntryGrowsTheBufferAndKeepsIt) {
  RecstoreEnv env;
  std::string big(300000, 'v');
  big[1000] = '\n';
  big[1001] = ' ';
  std::string path = env.file("rec", "Big: " + big + "\nSmall: s\n");
  FieldTable t;
  ASSERT_EQ(loadtable(path, t), 0);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(*t[0].value, big);
  EXPECT_EQ(*t[1].value, "s");
  std::size_t grown = dfile_state().load_buffer.size();
  EXPECT_GE(grown, big.size());
  EXPECT_EQ(grown & (grown - 1), 0u);  // 1024 doubled
  FieldTable again;
  ASSERT_EQ(loadtable(path, again), 0);
  EXPECT_EQ(dfile_state().load_buffer.size(), grown);
}

TEST(Loadtable, EnclosureBodyIsReferencedNotRead) {
  RecstoreEnv env;
  std::string body;
  for (int i = 0; i < 20000; ++i) body += " line " + std::to_string(i) + "\n";
  std::string path = env.file("rec", "E::s::title\n" + body + "After: x\n");
  FieldTable t;
  ASSERT_EQ(loadtable(path, t), 0);
  EXPECT_EQ(dfile_state().load_buffer.size(), kLoadBufferInitial);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(*t[1].value, "x");
  std::optional<std::string> out = fgetfile(&t[0]);
  ASSERT_TRUE(out);
  EXPECT_TRUE(t[0].owns_file);
  std::string want;
  for (int i = 0; i < 20000; ++i) want += "line " + std::to_string(i) + "\n";
  EXPECT_EQ(test::read_file(*out), want);
}

TEST(Loadtable, MalformedFilesFailWithAMessage) {
  struct Case {
    const char* label;
    std::string text;
    const char* message;  // %s = path
  };
  const std::vector<Case> cases = {
      {"no colon", "A: x\nno colon\n", "dfile error in dloadtable(): Could not load the file %s\n"},
      {"zero byte", std::string("A: x\nB: \0\n", 10),
       "dfile error in dloadtable(): Could not load the file %s\n"},
      {"no final newline", "A: x\nB: y", "ERROR: %s: bad file format"},
      {"megabyte line without colon", std::string(1 << 20, 'x') + "\n",
       "dfile error in dloadtable(): Could not load the file %s\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RecstoreEnv env;
    std::string path = env.file("rec", c.text);
    FieldTable t;
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadtable(path, t), -1);
    std::string want = c.message;
    want.replace(want.find("%s"), 2, path);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), want);
    EXPECT_EQ(test::open_blocks(), 0);
  }
}

TEST(Loadtable, MegabyteLineLoads) {
  RecstoreEnv env;
  std::string line(1 << 20, '\xe9');
  std::string path = env.file("rec", "L: " + line + "\n");
  FieldTable t;
  ASSERT_EQ(loadtable(path, t), 0);
  EXPECT_EQ(*t[0].value, line);
}

TEST(Loadtable, MissingFileIsReportedWithItsPath) {
  RecstoreEnv env;
  FieldTable t;
  std::string path = env.home() + "/none";
  testing::internal::CaptureStderr();
  EXPECT_EQ(loadtable(path, t), -1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), path + ": " + strerror(ENOENT));
}

TEST(Loadtable, SmallTableRefusesALargerFile) {
  RecstoreEnv env;
  std::string text;
  for (int i = 0; i < 150; ++i) text += "F" + std::to_string(i) + ": v\n";
  std::string path = env.file("rec", text);
  FieldTable t(100);
  testing::internal::CaptureStderr();
  EXPECT_EQ(loadtable(path, t), -1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("INTERNAL ERROR: table size limit of 100 fields exceeded."),
            std::string::npos);
  EXPECT_EQ(t.size(), 99u);
}

int sleeps = 0;
std::string waiting_path;
unsigned count_sleep(unsigned) {
  if (++sleeps == 3) test::write_file(waiting_path, "A: done\n");
  return 0;
}

TEST(Loadtable, WaitsWhileTheFileHoldsOneByte) {
  RecstoreEnv env;
  waiting_path = env.file("rec", "#");
  sleeps = 0;
  dfile_state().sleep_fn = count_sleep;
  FieldTable t;
  ASSERT_EQ(loadtable(waiting_path, t), 0);
  EXPECT_EQ(sleeps, 3);
  EXPECT_EQ(*fieldvalue("A", t), "done");

  // The wait gives up after 30 tries; appendtable does not wait at all.
  test::write_file(waiting_path, "\n");
  sleeps = -1000;
  FieldTable u;
  EXPECT_EQ(loadtable(waiting_path, u), 0);
  EXPECT_EQ(sleeps, -1000 + kLoadWaitTries);
  EXPECT_EQ(appendtable(waiting_path, u), 0);
  EXPECT_EQ(sleeps, -1000 + kLoadWaitTries);
}

TEST(Loadtable, ArbitraryBytesNeverCrash) {
  RecstoreEnv env;
  dfile_state().sleep_fn = [](unsigned) { return 0u; };  // one-byte files wait
  std::mt19937 rng(7);
  const char alphabet[] = "ab: \t\n#@\0\xff";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    int len = static_cast<int>(rng() % 400);
    for (int i = 0; i < len; ++i) text += alphabet[rng() % (sizeof alphabet - 1)];
    std::string path = env.file("rec", text);
    FieldTable t;
    testing::internal::CaptureStderr();
    int rc = loadtable(path, t);
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(rc == 0 || rc == -1);
    for (auto& e : t.entries()) {
      if (e->has_file) {
        testing::internal::CaptureStderr();
        fgetfile(e.get());
        testing::internal::GetCapturedStderr();
      }
    }
    EXPECT_EQ(test::open_blocks(), 0);
  }
}

}  // namespace
}  // namespace plix
