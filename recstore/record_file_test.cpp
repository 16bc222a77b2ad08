#include "recstore/record_file.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/numbered.h"
#include "tests/support/recstore_env.h"

namespace plix {
namespace {

using test::RecstoreEnv;

struct ReadCase {
  const char* label;
  std::string text;
  long size;
  int code;
  const char* name;   // null: not checked
  const char* value;  // null: must be null
  const char* stamp;  // null: not checked
  int enclosure;
};

TEST(Dread, FirstEntryOfEachShape) {
  const std::vector<ReadCase> cases = {
      {"plain", "Status: O\n", 100, 1, "Status", " O\n", "Status", 0},
      {"comments and blanks skipped", "#c\n\n  stray\nA:x\n", 100, 1, "A", "x\n", nullptr, 0},
      {"comment inside entry dropped", "A: x\n#c\n y\n", 100, 1, "A", " x\n y\n", nullptr, 0},
      {"enclosure with stamp", "T::by me::core dump\n body\n", 100, 1, "T", "core dump\n body\n",
       "by me", 1},
      {"no colon", "no colon here\n", 100, -2, "no colon here\n", nullptr, nullptr, 0},
      {"zero byte", std::string("A: x\0y\n", 7), 100, -2, nullptr, nullptr, nullptr, 0},
      {"line longer than buffer", "Name: 0123456789abcdef\n", 16, -4, nullptr, nullptr, nullptr, 0},
      {"name and value just fit", "N: 0123\n", 16, 1, "N", " 0123\n", nullptr, 0},
      {"name copy leaves no room", "N: 01234\n", 13, -4, nullptr, nullptr, nullptr, 0},
      {"continuation too long", "A: x\n 0123456789abcdef\n", 16, -4, nullptr, nullptr, nullptr, 0},
      {"names only", "Name : value\n", -100, 3, "Name", nullptr, nullptr, 0},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.label);
    RecstoreEnv env;
    std::string path = env.file("rec", c.text);
    DfileBlock* b = dopen(path.c_str(), "r");
    ASSERT_NE(b, nullptr);
    std::vector<char> buf(static_cast<std::size_t>(c.size < 0 ? -c.size : c.size));
    EXPECT_EQ(dread(b, buf.data(), c.size), c.code);
    EXPECT_EQ(b->status, c.code);
    if (c.name) {
      EXPECT_STREQ(b->name, c.name);
    }
    if (c.value) {
      EXPECT_STREQ(b->value, c.value);
    } else if (c.code != -4) {
      EXPECT_EQ(b->value, nullptr);
    }
    if (c.stamp) {
      EXPECT_STREQ(b->stamp, c.stamp);
    }
    EXPECT_EQ(b->enclosure, c.enclosure);
    EXPECT_EQ(dclose(b, 2), 1);
  }
}

TEST(Dread, SizeZeroMovesPastAndNullBufferUsesTheSharedArea) {
  RecstoreEnv env;
  std::string path = env.file("rec", "A: 1\nB: " + std::string(3000, 'x') + "\nC: y\n");
  DfileBlock* b = dopen(path.c_str(), "r");
  char buf[100];
  EXPECT_EQ(dread(b, buf, sizeof buf), 1);
  EXPECT_EQ(dread(b, buf, 0), 6);
  EXPECT_EQ(b->entry_start, -1);
  EXPECT_EQ(dread(b, nullptr, 1), -4);  // 2048 bytes whatever the size
  EXPECT_EQ(b->buffer, dfile_state().dmys.data());
  EXPECT_EQ(ftello(b->in), 5);
  testing::internal::CaptureStderr();
  EXPECT_EQ(dread(b, nullptr, 1), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Illegal record in " + path + "!\n");
  EXPECT_STREQ(b->name, "C");
  dclose(b, 2);
}

TEST(Dfind, FindsByNameRuleAndSkipsOthersWhole) {
  RecstoreEnv env;
  testing::internal::CaptureStderr();
  std::string path =
      env.file("rec", "A: 1\n " + std::string(2000, 'z') + "\nFound_In: 2.0\n more\nC: 3\n");
  DfileBlock* b = dopen(path.c_str(), "r");
  char buf[100];
  EXPECT_EQ(dfind(b, "found-in", buf, sizeof buf), 1);
  EXPECT_STREQ(b->name, "Found_In");
  EXPECT_STREQ(b->value, " 2.0\n more\n");
  EXPECT_EQ(dfind(b, "A", buf, sizeof buf), 0);
  dclose(b, 2);
  // The over-long line is reported but taken whole, so entry boundaries hold.
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Illegal record in " + path + "!\n");
}

TEST(Dopen, RefusesBadModesMissingFilesAndAnEleventhBlock) {
  RecstoreEnv env;
  std::string path = env.file("rec", "A: 1\n");
  EXPECT_EQ(dopen(path.c_str(), "x"), nullptr);
  EXPECT_EQ(dfile_state().dopenflag, -1);
  EXPECT_EQ(dopen("", "r"), nullptr);
  EXPECT_EQ(dfile_state().dopenflag, -1);
  EXPECT_EQ(dopen((env.home() + "/missing").c_str(), "R"), nullptr);
  EXPECT_EQ(dfile_state().dopenflag, -3);

  std::vector<DfileBlock*> open;
  std::string listing;
  for (int i = 0; i < kDfileBlocks; ++i) {
    std::string p = env.file(test::numbered("f", i), "A: 1\n");
    open.push_back(dopen(p.c_str(), "r"));
    ASSERT_NE(open.back(), nullptr);
    listing += "Open dfile => " + p + "\n";
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(dopen(path.c_str(), "r"), nullptr);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Internal error.  Out of dfile control blocks!\n" + listing);
  EXPECT_EQ(dfile_state().dopenflag, -2);
  EXPECT_EQ(dclose(open[3], 2), 1);
  EXPECT_EQ(dopen(path.c_str(), "r"), open[3]);  // a freed block serves again
  for (DfileBlock* b : open) dclose(b, 2);
  EXPECT_EQ(test::open_blocks(), 0);
}

TEST(Dgnitem, SplitsOnWhiteSpaceAndKeepsTheCursorAtATooLongItem) {
  RecstoreEnv env;
  std::string path = env.file("rec", "V: abcdef  b\tc\n   dd\nW: x\n");
  DfileBlock* b = dopen(path.c_str(), "r");
  char item[4];
  EXPECT_EQ(dgnitem(b, item, sizeof item), -8);  // nothing read yet
  ASSERT_EQ(dread(b, nullptr, 1), 1);
  EXPECT_EQ(dgnitem(b, item, 1), -4);
  EXPECT_EQ(dgnitem(b, item, sizeof item), -4);
  EXPECT_STREQ(item, "abc");
  std::vector<std::string> items;
  for (std::string whole; dgitem(b, whole) == 1;) items.push_back(whole);
  EXPECT_EQ(items, (std::vector<std::string>{"abcdef", "b", "c", "dd"}));
  EXPECT_EQ(dgnitem(b, item, sizeof item), -13);
  dclose(b, 2);
}

TEST(Dgbfind, StringRecordAndFailureFlags) {
  RecstoreEnv env;
  std::string path = env.file(
      "rec", "A: x\nSummary:  first\n second\nBig: " + std::string(5000, 'b') + "\nList: a b\n");
  testing::internal::CaptureStderr();  // the 5000-byte line is skipped with a complaint
  EXPECT_EQ(dgbfindstring(path.c_str(), "summary"), "first");
  EXPECT_EQ(dgbfindstring(path.c_str(), "Big"), std::nullopt);  // larger than the area
  EXPECT_EQ(dfile_state().dgbfindflag, -4);
  EXPECT_EQ(dgbfindstring(path.c_str(), "Nope"), std::nullopt);
  EXPECT_EQ(dfile_state().dgbfindflag, -15);
  EXPECT_EQ(dgbfindstring((env.home() + "/none").c_str(), "A"), std::nullopt);
  EXPECT_EQ(dfile_state().dgbfindflag, -3);

  auto rec = dgbfindrec(path.c_str(), "LIST");
  testing::internal::GetCapturedStderr();
  ASSERT_NE(rec, nullptr);
  std::string item;
  EXPECT_EQ(dgitem(&rec->block, item), 1);
  EXPECT_EQ(item, "a");
  EXPECT_EQ(test::open_blocks(), 0);
}

TEST(WriteMode, WalkAndCommitOrAbandonLeaveTextAndMode) {
  RecstoreEnv env;
  const std::string text = "#head\nA: 1\n# c\n 2\nB::s::t\n body\n\nC: 3\n#tail\n";
  std::string path = env.file("rec", text);
  ::chmod(path.c_str(), 0640);
  char buf[100];
  DfileBlock* b = dopen(path.c_str(), "w");
  ASSERT_NE(b, nullptr);
  std::vector<std::string> names;
  std::vector<long long> starts;
  while (dread(b, buf, sizeof buf) == 1) {  // each entry stands at its first line
    names.push_back(b->name);
    starts.push_back(b->entry_start);
    EXPECT_EQ(b->entry_start, ftello(b->in));
  }
  EXPECT_EQ(b->status, 0);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(starts, (std::vector<long long>{0, 18, 33}));
  EXPECT_EQ(dclose(b, 1), 1);
  EXPECT_EQ(test::read_file(path), text);
  for (int how : {1, 2}) {  // after a partial read
    b = dopen(path.c_str(), "w");
    ASSERT_TRUE(b && b->tempname);
    std::string temp = *b->tempname;
    EXPECT_EQ(dread(b, buf, sizeof buf), 1);
    EXPECT_EQ(dread(b, buf, -100), 3);
    EXPECT_EQ(dclose(b, how), 1);
    EXPECT_EQ(test::read_file(path), text);
    EXPECT_EQ(access(temp.c_str(), F_OK), -1);
  }
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_TRUE(env.tmp_files().empty());
}

TEST(WriteMode, HoldsTheLockAndCreatesAMissingFileOnlyOnCommit) {
  RecstoreEnv env;
  const std::string path = env.home() + "/new";
  DfileBlock* b = dopen(path.c_str(), "w");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(access(path.c_str(), F_OK), -1);  // a crash now leaves no empty record
  EXPECT_EQ(access((path + ".lock").c_str(), F_OK), 0);
  EXPECT_EQ(dread(b, nullptr, 100), 0);
  std::fputs("A: 1\n", b->out);
  EXPECT_EQ(dclose(b, 0), 1);
  EXPECT_EQ(access(path.c_str(), F_OK), -1);
  EXPECT_EQ(access((path + ".lock").c_str(), F_OK), -1);
  b = dopen(path.c_str(), "w");
  ASSERT_NE(b, nullptr);
  std::fputs("A: 1\n", b->out);
  EXPECT_EQ(dclose(b, 1), 1);
  EXPECT_EQ(test::read_file(path), "A: 1\n");
  EXPECT_EQ(access((path + ".lock").c_str(), F_OK), -1);
}

TEST(Derror, FormatsModulePositionAndErrno) {
  testing::internal::CaptureStderr();
  errno = ENOSPC;
  derror("dpass", 35);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "dpass line 35 error 28 : " + std::string(strerror(ENOSPC)) + "\n");
}

}  // namespace
}  // namespace plix
