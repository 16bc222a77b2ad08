#include "recstore/table_load.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "recstore/enclosures.h"
#include "tests/support/numbered.h"
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
    std::string text;
    std::vector<Expected> want;
  };
  const std::string title(3000, 't');  // a first line far past the buffer
  const std::vector<Case> cases = {
      {"#c\n\n#d\n", {}},
      {"Name : value\n", {{"Name", "value", std::nullopt, false}}},
      {"A:\nB:x\n", {{"A", "", std::nullopt, false}, {"B", "x", std::nullopt, false}}},
      {"A: x\n\nB: y\n", {{"A", "x\n", std::nullopt, false}, {"B", "y", std::nullopt, false}}},
      {"X: :x\n", {{"X", ":x", std::nullopt, false}}},
      {"E::title\n body\n", {{"E", "title", "", true}}},
      {"E:: s ::  t \n", {{"E", "t ", " s ", true}}},
      {"E::s::" + title + "\n body\nA: x\n",
       {{"E", title, "s", true}, {"A", "x", std::nullopt, false}}},
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

TEST(Loadtable, AppendKeepsRepeatsMergeFollowsTheNameRuleRelatedFilesAsText) {
  RecstoreEnv env;
  std::string path = env.file("rec", "A-B: 1\nE::s::t\n body\nE: plain\na_b: 2\n");
  const Expected ab1{"A-B", "1", std::nullopt, false}, plain{"E", "plain", std::nullopt, false},
      ab2{"a_b", "2", std::nullopt, false};
  FieldTable t;
  ASSERT_EQ(appendtable(path, t), 0);
  expect_table(t, {ab1, {"E", "t", "s", true}, plain, ab2}, path);

  FieldTable merged;
  addfield("a_B", "0", merged);
  ASSERT_EQ(loadtable(path, merged), 0);
  // The first entry of a name takes the later values, a file entry here.
  expect_table(merged, {{"a_B", "2", std::nullopt, false}, {"E", "plain", "s", true}}, path);

  dfile_state().Load_related_files = true;
  FieldTable text;
  ASSERT_EQ(appendtable(path, text), 0);
  expect_table(text, {ab1, {"E", "t\n body", std::nullopt, false}, plain, ab2}, path);
}

TEST(Loadtable, BufferGrowsForPlainEntriesOnlyAndShrinksAfterALargeOne) {
  RecstoreEnv env;
  std::string body, want;
  for (int i = 0; i < 20000; ++i) {
    body += " line " + std::to_string(i) + "\n";
    want += "line " + std::to_string(i) + "\n";
  }
  std::string path = env.file("rec", "E::s::title\n" + body + "After: x\n");
  FieldTable t;
  ASSERT_EQ(loadtable(path, t), 0);
  EXPECT_EQ(dfile_state().load_buffer.size(), kLoadBufferInitial);  // the body is not read
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(*t[1].value, "x");
  std::optional<std::string> out = fgetfile(&t[0]);
  ASSERT_TRUE(out);
  EXPECT_EQ(test::read_file(*out), want);

  std::string big(300000, '\xe9');
  big[1000] = '\n';
  big[1001] = ' ';
  path = env.file("big", "Big: " + big + "\nSmall: s\n");
  FieldTable u;
  ASSERT_EQ(loadtable(path, u), 0);
  ASSERT_EQ(u.size(), 2u);
  EXPECT_EQ(*u[0].value, big);
  EXPECT_EQ(*u[1].value, "s");
  EXPECT_EQ(dfile_state().load_buffer.size(), kLoadBufferInitial);
}

TEST(Loadtable, MalformedOrMissingFilesFailWithAMessage) {
  const std::string cannot_load = "dfile error in dloadtable(): Could not load the file %s\n";
  const std::pair<std::optional<std::string>, std::string> cases[] = {
      {"A: x\nno colon\n", cannot_load},
      {std::string("A: x\nB: \0\n", 10), cannot_load},
      {"A: x\nB: y", "ERROR: %s: bad file format"},  // no final newline
      {std::string(1 << 20, 'x') + "\n", cannot_load},
      {"A: " + std::string(kMaxEntrySize, 'x') + "\n",
       "ERROR: %s: an entry is larger than " + std::to_string(kMaxEntrySize) + " bytes\n"},
      {std::nullopt, std::string("%s: ") + strerror(ENOENT)},
      {"fifo", std::string("%s: ") + strerror(EINVAL)},
      {"dir", std::string("%s: ") + strerror(EISDIR)},
      {"huge", std::string("%s: ") + strerror(EFBIG)},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(message);
    RecstoreEnv env;
    std::string path = text ? env.file("rec", *text) : env.home() + "/none";
    int made = 0;
    if (text == "fifo") made = unlink(path.c_str()) | mkfifo(path.c_str(), 0600);
    if (text == "dir") made = unlink(path.c_str()) | mkdir(path.c_str(), 0700);
    if (text == "huge") made = truncate(path.c_str(), kMaxRecordFileSize + 1);
    ASSERT_EQ(made, 0);
    FieldTable t;
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadtable(path, t), -1);
    std::string want = message;
    want.replace(want.find("%s"), 2, path);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), want);
    EXPECT_EQ(test::open_blocks(), 0);
  }
}

TEST(Loadtable, SmallTableRefusesALargerFile) {
  RecstoreEnv env;
  std::string text;
  for (int i = 0; i < 150; ++i) text += test::numbered("F", i) + ": v\n";
  std::string path = env.file("rec", text);
  FieldTable t(100);
  testing::internal::CaptureStderr();
  EXPECT_EQ(loadtable(path, t), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "INTERNAL ERROR: table size limit of 100 fields exceeded."),
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

  // Once per process: a file that stays at one byte is not waited for again.
  test::write_file(waiting_path, "\n");
  sleeps = -1000;
  FieldTable u;
  EXPECT_EQ(loadtable(waiting_path, u), 0);
  EXPECT_EQ(sleeps, -1000);
  // A first wait gives up after 30 tries; appendtable does not wait at all.
  dfile_state().waited_for_writer = false;
  EXPECT_EQ(loadtable(waiting_path, u), 0);
  EXPECT_EQ(sleeps, -1000 + kLoadWaitTries);
  dfile_state().waited_for_writer = false;
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
    for (auto& e : t.entries())
      if (e->has_file) fgetfile(e.get());
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(rc == 0 || rc == -1);
    EXPECT_EQ(test::open_blocks(), 0);
  }
}

}  // namespace
}  // namespace plix
