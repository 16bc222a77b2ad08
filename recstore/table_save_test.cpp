#include "recstore/table_save.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "recstore/enclosures.h"
#include "recstore/table_load.h"
#include "tests/support/recstore_env.h"

namespace plix {
namespace {

using test::RecstoreEnv;

std::size_t longest_line(const std::string& text) {
  std::size_t longest = 0, start = 0;
  for (std::size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    longest = std::max(longest, nl - start);
  return longest;
}

// The text of a file entry, extracted when it is a reference.
std::string text_of(Field& f) {
  std::optional<std::string> p = f.owns_file ? f.path : fgetfile(&f);
  return p ? test::read_file(*p) : "<none>";
}

TEST(Savetable, RelatedFileEntriesKeepTheirForm) {
  RecstoreEnv env;
  std::string body = env.file("body", "one\n\n two\n");
  std::string path = env.home() + "/rec";
  FieldTable t;
  addfile("Related-file", "/some/path", "Related-file", body, t, 2);
  addfile("Related_File", "/other", "by someone", body, t, 2);
  ASSERT_EQ(savetable(path, t), 0);
  std::string text = test::read_file(path);
  EXPECT_EQ(text.substr(0, text.find('\n')), "Related-file: /some/path");
  EXPECT_NE(text.find("Related_File::by someone::/other\n"), std::string::npos);
  FieldTable back;
  ASSERT_EQ(loadtable(path, back), 0);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].stamp, "Related-file");
  EXPECT_EQ(back[1].stamp, "by someone");
  EXPECT_EQ(text_of(back[0]), "one\n\n two\n");
  EXPECT_EQ(text_of(back[1]), "one\n\n two\n");
}

TEST(Savetable, UnstorableTablesAreRefusedAndTheOldFileStays) {
  RecstoreEnv env;
  std::string path = env.file("tmp/rec", "Old: file\n");
  std::string body = env.file("body", "text\n");
  struct Case {
    const char* label;
    std::string name, value, stamp;  // a stamp makes it a file entry
  };
  const std::vector<Case> cases = {
      {"empty name", "", "v", ""},
      {"colon in name", "a:b", "v", ""},
      {"comment name", "#a", "v", ""},
      {"blank last", "a ", "v", ""},
      {"zero byte", "a", std::string("x\0y", 3), ""},
      {"title with newline", "E", "t\nu", "s"},
      {"stamp ending in colon", "E", "t", "a:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FieldTable t;
    addfield("Good", "g", t);
    if (!c.stamp.empty())
      addfile(c.name, c.value, c.stamp, body, t, 1);
    else
      appendfield(c.name, c.value, t);
    testing::internal::CaptureStderr();
    EXPECT_EQ(savetable(path, t), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("savetable: " + path), std::string::npos);
    EXPECT_EQ(test::read_file(path), "Old: file\n");
    EXPECT_EQ(env.tmp_files(), std::vector<std::string>{"rec"});  // no new file left
  }
}

TEST(Savetable, FailureWhileWritingKeepsTheOldFileSuccessReplacesItKeepingItsMode) {
  RecstoreEnv env;
  std::string path = env.file("tmp/rec", "Old: file\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  std::string gone = env.file("gone", "x\n");
  FieldTable t;
  addfield("A", "1", t);
  addfile("E", "t", "s", gone, t, 3);
  unlink(gone.c_str());
  testing::internal::CaptureStderr();
  EXPECT_EQ(savetable(path, t), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("can't read the file of E"),
            std::string::npos);
  EXPECT_EQ(test::read_file(path), "Old: file\n");
  EXPECT_EQ(env.tmp_files(), std::vector<std::string>{"rec"});  // no new file left

  struct stat before, after;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  delfield("E", t);
  ASSERT_EQ(savetable(path, t), 0);
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old
  EXPECT_EQ(test::read_file(path), "A: 1\n");
}

// Random tables: names unique under the name rule, values of any bytes but
// zero that do not start with a blank, enclosures with random texts.
class TableGenerator {
 public:
  explicit TableGenerator(unsigned seed) : rng_(seed) {}

  int below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  // One line of any bytes but zero and newline.
  std::string line(int max_len) {
    std::string s(static_cast<std::size_t>(below(max_len + 1)), 'n');
    for (char& c : s)
      if ((c = static_cast<char>(1 + below(255))) == '\n') c = 'n';
    return s;
  }

  // Made unique under the name rule by its index.
  std::string name(int i) {
    static const char kChars[] = "abcXYZ09-_. ";
    std::string n = "ABCDEFGHIJ"[below(10)] + std::to_string(i) + ".";
    for (int len = below(12); len > 0; --len) n += kChars[below(sizeof kChars - 1)];
    while (n.back() == ' ') n.pop_back();
    return n;
  }

  std::string value() {
    std::string v;
    for (int i = 0, n = below(5); i <= n; ++i) {
      if (i > 0) v += '\n';
      v += line(below(10) == 0 ? 3000 : 40);
    }
    v.erase(0, v.find_first_not_of(" \t"));
    return v;
  }

  std::string stamp() {
    for (;;) {
      std::string s = line(30);
      if (s.find("::") == std::string::npos && (s.empty() || s.back() != ':')) return s;
    }
  }

  std::string text() {
    std::string t;
    for (int n = below(6); n > 0; --n) t += line(below(8) == 0 ? 2500 : 60) + "\n";
    return t;
  }

 private:
  std::mt19937 rng_;
};

// `got`, loaded from `record`, holds the entries of `want` with references to the record.
void expect_same(FieldTable& got, FieldTable& want, const std::string& record) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(got[i].name, want[i].name);
    EXPECT_EQ(got[i].value, want[i].value);
    ASSERT_EQ(got[i].has_file, want[i].has_file);
    if (!want[i].has_file) continue;
    EXPECT_EQ(got[i].stamp, want[i].stamp);
    EXPECT_FALSE(got[i].owns_file);
    EXPECT_EQ(got[i].path, record);
    EXPECT_EQ(text_of(got[i]), text_of(want[i]));
  }
}

TEST(Savetable, RandomTablesRoundTrip) {
  // Values that look like the format's own marks, which random values rarely
  // are: each table starts with one of them.
  std::vector<std::string> marks = {
      "",      "\n",      "\n\n", "a\n\nb", "a\n b",      "a\n#b",
      "a\n@b", "a\nB: c", "::x",  "a\n\n",  "x\n \n\t\n", "trailing  ",
  };
  marks.push_back(std::string(5000, 'L'));  // longer than a line may be
  marks.push_back("x\n#" + std::string(5000, 'h'));
  RecstoreEnv env;
  std::string record = env.home() + "/rec";
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    TableGenerator gen(seed);
    FieldTable t;
    addfield("Marks", marks[seed % marks.size()], t);
    for (int i = 0, n = gen.below(25); i < n; ++i) {
      std::string name = gen.name(i);
      if (gen.below(3) != 0) {
        addfield(name, gen.value(), t);
        continue;
      }
      std::string title = gen.value().substr(0, 50);
      title = title.substr(0, title.find('\n')) + "#" + std::to_string(i);  // unique per name
      std::string body = env.tmp() + "/body" + std::to_string(i);
      test::write_file(body, gen.text());
      ASSERT_TRUE(addfile(name, title, gen.stamp(), body, t, 3));
    }
    ASSERT_EQ(savetable(record, t), 0);
    EXPECT_LE(longest_line(test::read_file(record)), kSaveLineMax);
    FieldTable back;
    ASSERT_EQ(loadtable(record, back), 0);
    expect_same(back, t, record);
    // The loaded table refers to the very file it is saved over.
    FieldTable refs;
    ASSERT_EQ(loadtable(record, refs), 0);
    ASSERT_EQ(savetable(record, refs), 0);
    FieldTable again;
    ASSERT_EQ(appendtable(record, again), 0);
    SCOPED_TRACE("saved over itself");
    expect_same(again, t, record);
  }
  EXPECT_EQ(test::open_blocks(), 0);
}

}  // namespace
}  // namespace plix
