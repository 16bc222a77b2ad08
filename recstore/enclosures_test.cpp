#include "recstore/enclosures.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

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
  const std::pair<std::string, std::string> cases[] = {
      {"E::s::t\n one\n \n\ttwo\n@ and more\nX: y\n", "one\n\ntwo and more\n"},
      {"E::s::t\nX: y\n", ""},
      {"E::t\n a\n\n b\n", "a\n"},  // a really empty line ends the body
      {"E::t\n a\n#c\n b\n", "a\n"},
      {"E::t\n a\n b", "a\nb"},
      {"E::t\n@more title\n a\n", "a\n"},
  };
  for (const auto& [record, body] : cases) {
    SCOPED_TRACE(record);
    RecstoreEnv env;
    EXPECT_EQ(extract(env, record, "E"), body);
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

TEST(Dgetfile, TextsAreAsPrivateAsTheirRecordAndGoAtExit) {
  RecstoreEnv env;
  std::string path = env.file("rec", "E::t\n secret\n");
  for (mode_t record_mode : {0644, 0400}) {
    ASSERT_EQ(chmod(path.c_str(), record_mode), 0);
    FieldTable t;
    ASSERT_EQ(loadtable(path, t), 0);
    std::optional<std::string> out = fgetfile(&t[0]);
    ASSERT_TRUE(out);
    struct stat st;
    ASSERT_EQ(stat(out->c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, record_mode == 0644 ? 0600u : 0400u);
    t.entries().front()->owns_file = false;  // as if the run ended with the table alive
  }
  EXPECT_EQ(tracked_temp_files(), 2u);
  EXPECT_EQ(env.tmp_files().size(), 2u);
  remove_temp_files();
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
  std::string gone = env.home() + "/gone";
  auto field = [](bool has_file, std::optional<std::string> p, const char* title) {
    Field f;
    f.name = "E";
    f.has_file = has_file;
    f.path = std::move(p);
    f.value = title;
    return f;
  };
  const std::pair<Field, std::string> cases[] = {
      {field(false, std::nullopt, "title"),
       "INTERNAL ERROR: fgetfile field E has no associated file"},
      {field(true, "", "title"), "INTERNAL ERROR: fgetfile field E has bad pathname"},
      {field(true, gone, "title"),
       "INTERNAL ERROR: dopen " + gone + " failed: " + strerror(ENOENT)},
      {field(true, path, "title "),  // differs by a trailing blank
       "INTERNAL ERROR: can't find file field \"E\" title \"title \" in " + path},
  };
  for (auto [f, message] : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(fgetfile(&f), std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), message);
    EXPECT_FALSE(f.owns_file);
  }
  testing::internal::CaptureStderr();
  EXPECT_EQ(fgetfile(nullptr), std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "INTERNAL ERROR: fgetfile field = (null)");
  EXPECT_EQ(test::open_blocks(), 0);
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
  std::string copy = *t[2].path;
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
  EXPECT_EQ(test::read_file(*t[2].path), "");
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

TEST(Enclosures, ExtractByNameAndTitleAndCloneIntoOwnCopies) {
  RecstoreEnv env;
  std::string path =
      env.file("rec", "A: 1\nE::s::one\n first\nF::s::two\n other\nE::s::two\n second\n");
  FieldTable src;
  ASSERT_EQ(loadtable(path, src), 0);
  std::size_t i = findfile("E", "two", src);
  ASSERT_EQ(i, 3u);
  std::optional<std::string> out = fgetfile(&src[i]);
  ASSERT_TRUE(out);
  EXPECT_EQ(test::read_file(*out), "second\n");
  EXPECT_EQ(src[i].path, out);

  FieldTable dst;
  clonetable(src, dst);  // the remaining references are extracted first
  ASSERT_EQ(dst.size(), 4u);
  EXPECT_EQ(dst[3].value, "two");
  EXPECT_EQ(dst[3].stamp, "s");
  EXPECT_EQ(test::read_file(*dst[1].path), "first\n");
  for (std::size_t j : {1u, 2u, 3u}) {
    ASSERT_TRUE(src[j].owns_file && dst[j].owns_file);
    EXPECT_NE(*src[j].path, *dst[j].path);
  }
  freefields(dst);
  EXPECT_EQ(env.tmp_files().size(), 3u);  // the source's copies stay
  for (std::size_t j : {1u, 2u, 3u}) EXPECT_EQ(access(src[j].path->c_str(), F_OK), 0);
  freefields(src);
  EXPECT_TRUE(env.tmp_files().empty());  // owned copies go with their entries
}

}  // namespace
}  // namespace plix
