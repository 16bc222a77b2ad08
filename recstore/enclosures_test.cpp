#include "recstore/enclosures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recstore/table_load.h"
#include "tests/support/recstore_env.h"

namespace plix {
namespace {

using test::RecstoreEnv;

// Extracts the body of the first entry named `name` of a record text.
std::optional<std::string> extract(RecstoreEnv& env, const std::string& text,
                                   const std::string& name) {
  std::string path = env.file("rec", text);
  DfileBlock* b = dopen(path.c_str(), "r");
  char buf[1024];
  std::optional<std::string> out;
  if (dfindit(b, name, buf, sizeof buf, 1) == 1) {
    long long at = ftello(b->in);
    out = dgetfile(b, std::nullopt);
    EXPECT_EQ(ftello(b->in), at);
  }
  dclose(b, 2);
  if (!out) return std::nullopt;
  std::string text_out = test::read_file(*out);
  unlink(out->c_str());
  return text_out;
}

TEST(Dgetfile, BodiesDecodeAsStored) {
  struct Case {
    const char* label;
    std::string record;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"blank, empty, tab and at lines", "E::s::t\n one\n \n\ttwo\n@ and more\nX: y\n",
       "one\n\ntwo and more\n"},
      {"no body", "E::s::t\nX: y\n", ""},
      {"empty line ends the body", "E::t\n a\n\n b\n", "a\n"},
      {"comment ends the body", "E::t\n a\n#c\n b\n", "a\n"},
      {"last line without newline", "E::t\n a\n b", "a\nb"},
      {"at line continues the title", "E::t\n@more title\n a\n", "a\n"},
      {"comment before the first entry", "#c\n\nE::t\n a\n", "a\n"},
      {"blank lines of the text", "E::t\n \n \n", "\n\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    RecstoreEnv env;
    EXPECT_EQ(extract(env, c.record, "E"), c.body);
  }
}

TEST(Dgetfile, ZeroByteIsAFailedWriteAndLeavesNoFile) {
  RecstoreEnv env;
  testing::internal::CaptureStderr();
  EXPECT_EQ(extract(env, std::string("E::t\n a\0b\n", 11), "E"), std::nullopt);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("dgetfile line 97 error"),
            std::string::npos);
  EXPECT_EQ(dfile_state().dopenflag, -7);
  EXPECT_TRUE(env.tmp_files().empty());
}

TEST(Dgetfile, NeverWritesThroughAnExistingFileOrLink) {
  RecstoreEnv env;
  std::string path = env.file("rec", "E::t\n secret\n");
  std::string victim = env.file("victim", "keep\n");
  std::string link = env.home() + "/link";
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  for (const std::string& target : {victim, link}) {
    DfileBlock* b = dopen(path.c_str(), "r");
    char buf[100];
    ASSERT_EQ(dfind(b, "E", buf, sizeof buf), 1);
    testing::internal::CaptureStderr();
    EXPECT_EQ(dgetfile(b, target), std::nullopt);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("tmp file = " + target + "\n"), std::string::npos);
    EXPECT_EQ(dfile_state().dopenflag, -3);
    dclose(b, 2);
  }
  EXPECT_EQ(test::read_file(victim), "keep\n");
}

TEST(Fgetfile, FailuresAreReported) {
  RecstoreEnv env;
  std::string path = env.file("rec", "E::s::title\n a\n");
  struct Case {
    const char* label;
    Field field;
    std::string message;
  };
  Field nofile;
  nofile.name = "E";
  Field badpath = nofile;
  badpath.has_file = true;
  badpath.path = "";
  Field missing = badpath;
  missing.path = env.home() + "/gone";
  Field wrongtitle = badpath;
  wrongtitle.path = path;
  wrongtitle.value = "title ";
  const std::vector<Case> cases = {
      {"no file", nofile, "INTERNAL ERROR: fgetfile field E has no associated file"},
      {"bad path", badpath, "INTERNAL ERROR: fgetfile field E has bad pathname"},
      {"no record", missing,
       "INTERNAL ERROR: dopen " + *missing.path + " failed: " + strerror(ENOENT)},
      {"title differs by a trailing blank", wrongtitle,
       "INTERNAL ERROR: can't find file field \"E\" title \"title \" in " + path},
  };
  for (Case c : cases) {
    SCOPED_TRACE(c.label);
    testing::internal::CaptureStderr();
    EXPECT_EQ(fgetfile(&c.field), std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_FALSE(c.field.owns_file);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(fgetfile(nullptr), std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "INTERNAL ERROR: fgetfile field = (null)");
  EXPECT_EQ(test::open_blocks(), 0);
}

TEST(Fgetfile, PicksTheEntryByNameAndTitle) {
  RecstoreEnv env;
  std::string path = env.file("rec",
                              "E::s::one\n first\nF::s::two\n other\n"
                              "E::s::two\n second\n");
  FieldTable t;
  ASSERT_EQ(loadtable(path, t), 0);
  std::size_t i = findfile("E", "two", t);
  ASSERT_EQ(i, 2u);
  std::optional<std::string> out = fgetfile(&t[i]);
  ASSERT_TRUE(out);
  EXPECT_EQ(test::read_file(*out), "second\n");
  EXPECT_EQ(t[i].path, out);
  std::string dir = env.tmp() + "/dfile";
  EXPECT_EQ(out->compare(0, dir.size(), dir), 0);
  freefields(t);
  EXPECT_TRUE(env.tmp_files().empty());  // owned copies go with their entries
}

TEST(FileEntries, FindDeleteAndSetfile) {
  RecstoreEnv env;
  std::string src = env.file("src", "text\n");
  FieldTable t;
  addfield("Plain", "x", t);
  ASSERT_EQ(addfile("Att", "a", "s1", src, t, 1), 1u);
  ASSERT_EQ(addfile("att", "b", "s2", src, t, 2), 2u);
  EXPECT_EQ(findfile("ATT", std::nullopt, t), 1u);
  EXPECT_EQ(findfile("Att", "b", t), 2u);
  EXPECT_EQ(findfile("Att", "c", t), t.size());
  EXPECT_EQ(findfile("Plain", std::nullopt, t), t.size());  // no file
  EXPECT_FALSE(t[1].owns_file);
  EXPECT_TRUE(t[2].owns_file);
  std::string copy = *t[2].path;
  EXPECT_EQ(test::read_file(copy), "text\n");
  EXPECT_EQ(addfile("X", "x", std::nullopt, env.home() + "/none", t, 1), std::nullopt);
  EXPECT_EQ(t.size(), 3u);

  delfile("att", "b", t);
  EXPECT_EQ(t.size(), 2u);
  EXPECT_EQ(access(copy.c_str(), F_OK), -1);
  EXPECT_EQ(access(src.c_str(), F_OK), 0);  // a referenced file is never deleted

  EXPECT_EQ(setfile("Att", t), 0);
  EXPECT_EQ(*t[1].path, src);  // had a file: unchanged
  EXPECT_EQ(setfile("New", t), 0);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_TRUE(t[2].has_file && t[2].owns_file);
  EXPECT_EQ(t[2].value, "");
  EXPECT_EQ(t[2].stamp, "");
  EXPECT_EQ(test::read_file(*t[2].path), "");
  EXPECT_NE(t[2].path->find("/tmp/setf"), std::string::npos);
}

TEST(Faddfile, ModesAndReattachingItsOwnFile) {
  RecstoreEnv env;
  std::string src = env.file("src", "data\n");
  Field f;
  f.name = "E";
  ASSERT_EQ(faddfile(f, "t", "st", src, 2), 0);
  std::string owned = *f.path;
  EXPECT_TRUE(f.owns_file);
  EXPECT_EQ(f.stamp, "st");
  // Attaching the entry's own file again keeps the text.
  ASSERT_EQ(faddfile(f, "t2", std::nullopt, owned, 2), 0);
  EXPECT_EQ(test::read_file(*f.path), "data\n");
  EXPECT_EQ(access(owned.c_str(), F_OK), -1);
  EXPECT_EQ(f.stamp, "st");
  owned = *f.path;
  ASSERT_EQ(faddfile(f, "t3", std::nullopt, owned, 3), 0);
  EXPECT_EQ(test::read_file(owned), "data\n");
  ASSERT_EQ(faddfile(f, "t4", std::nullopt, src, 1), 0);
  EXPECT_FALSE(f.owns_file);
  EXPECT_EQ(access(owned.c_str(), F_OK), -1);
  EXPECT_EQ(faddfile(f, "t5", std::nullopt, env.home() + "/none", 2), -1);
  EXPECT_EQ(f.path, src);  // unchanged on failure
}

TEST(Clonetable, ClonesOwnTheirCopies) {
  RecstoreEnv env;
  std::string path = env.file("rec", "A: 1\nE::s::one\n first\nE::s::two\n second\n");
  FieldTable src;
  ASSERT_EQ(loadtable(path, src), 0);
  FieldTable dst;
  clonetable(src, dst);
  ASSERT_EQ(dst.size(), 3u);
  for (std::size_t i : {1u, 2u}) {
    ASSERT_TRUE(src[i].owns_file);
    ASSERT_TRUE(dst[i].owns_file);
    EXPECT_NE(*src[i].path, *dst[i].path);
    EXPECT_EQ(test::read_file(*dst[i].path), test::read_file(*src[i].path));
    EXPECT_NE(dst[i].path->find("/tmp/dencl"), std::string::npos);
  }
  EXPECT_EQ(test::read_file(*dst[2].path), "second\n");
  std::vector<std::string> src_files = {*src[1].path, *src[2].path};
  std::vector<std::string> dst_files = {*dst[1].path, *dst[2].path};
  freefields(dst);
  for (const std::string& p : src_files) EXPECT_EQ(access(p.c_str(), F_OK), 0);
  for (const std::string& p : dst_files) EXPECT_EQ(access(p.c_str(), F_OK), -1);
  freefields(src);
  EXPECT_TRUE(env.tmp_files().empty());
}

}  // namespace
}  // namespace plix
