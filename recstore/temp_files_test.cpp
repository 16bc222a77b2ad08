#include "recstore/temp_files.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/recstore_env.h"

namespace plix {
namespace {

using test::RecstoreEnv;

// The counter part of a temporary name made with a 5-character prefix.
std::string counter_of(const std::string& path, const std::string& dir) {
  return path.substr(dir.size() + 1 + 5, 3);
}

TEST(Plixtempnam, PrefixCounterFirstLetterFastestAndSixUniqueCharacters) {
  RecstoreEnv env;
  std::string dir = env.tmp();
  std::vector<std::string> got;
  std::set<std::string> unique;
  for (int i = 0; i < 200; ++i) {
    std::string p = *plixtempnam(dir, "dfileXY");
    ASSERT_EQ(p.size(), dir.size() + 1 + 5 + 3 + 6);
    EXPECT_EQ(p.substr(dir.size(), 6), "/dfile");  // the prefix is cut to five
    EXPECT_TRUE(unique.insert(p.substr(p.size() - 6)).second);
    EXPECT_EQ(access(p.c_str(), F_OK), -1);  // no file is created
    got.push_back(counter_of(p, dir));
  }
  EXPECT_EQ(got[0], "AAA");
  EXPECT_EQ(got[1], "BAA");
  EXPECT_EQ(got[25], "ZAA");
  EXPECT_EQ(got[26], "ABA");
  for (int i = 0; i < 26 * 26 * 26; ++i) plixtempnamna(dir, "dfile");  // its own counter
  EXPECT_EQ(counter_of(*plixtempnam(dir, "dfile"), dir), "SHA");       // the 201st
  EXPECT_EQ(counter_of(*plixtempnamna(dir, "dfile"), dir), "AAA");     // wrapped
}

TEST(Plixtempnam, UnusableDirectoryIsReported) {
  RecstoreEnv env;
  std::string dir = env.home() + "/missing";
  testing::internal::CaptureStderr();
  EXPECT_EQ(plixtempnam(dir, "x"), std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Can't write and execute directory " + dir + "/:\n\t" + strerror(ENOENT) + "\n");
  EXPECT_TRUE(plixtempnamna(dir, "x"));  // no check
}

TEST(Dtmp, WarnsBeforeInitAndInitKeepsOldSettingOnFailure) {
  reset_temp_file_state();
  testing::internal::CaptureStderr();
  EXPECT_EQ(dtmp(), std::nullopt);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "dtmp: Warning - dtmp () called when dfile not initialized\n"
            "                please add a call to dfile_init ()to set the tmp dir.\n");

  RecstoreEnv env;
  EXPECT_EQ(dtmp(), env.home() + "/tmp");
  ::unsetenv("PLIX_RECSTORE_UNSET_VARIABLE");
  EXPECT_EQ(dfile_init("PLIX_RECSTORE_UNSET_VARIABLE", ""), 0);
  EXPECT_EQ(dfile_init(nullptr, nullptr), 0);
  EXPECT_EQ(dtmp(), env.home() + "/tmp");
}

TEST(TempFiles, CreatedExclusivelyAndTmpfileVanishes) {
  RecstoreEnv env;
  std::string target = env.file("target", "keep");
  std::string link = env.home() + "/link";
  ASSERT_EQ(symlink((env.home() + "/nowhere").c_str(), link.c_str()), 0);
  EXPECT_EQ(create_exclusive(target, 0600), -1);
  EXPECT_EQ(create_exclusive(link, 0600), -1);
  EXPECT_EQ(access((env.home() + "/nowhere").c_str(), F_OK), -1);
  int fd = create_exclusive(env.home() + "/new", 0600);
  EXPECT_GE(fd, 0);
  close(fd);
  UniqueFile f = plixtmpfile();  // unlinked at once
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(env.tmp_files().empty());
}

}  // namespace
}  // namespace plix
