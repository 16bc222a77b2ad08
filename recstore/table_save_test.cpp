#include "recstore/table_save.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include "recstore/atomic_file.h"
#include "recstore/enclosures.h"
#include "recstore/table_load.h"
#include "tests/support/recstore_env.h"

namespace plix {
namespace {

using test::RecstoreEnv;

std::vector<std::string> dir_entries(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (struct dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

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

TEST(Savetable, ValuesRoundTrip) {
  const std::vector<std::string> values = {
      "",
      "x",
      "a\n",
      "\n",
      "\n\n",
      "a\n\nb",
      "a\n b",
      "a\n\tb",
      "a\n#b",
      "a\n@b",
      "a\nB: c",
      ":x",
      "::x",
      "a\n\n",
      std::string(5000, 'L'),
      "x\n#" + std::string(5000, 'h'),
      "\r\n",
      "\x80\xff\x01\x7f",
      "x\n \n\t\n",
      "trailing  ",
  };
  RecstoreEnv env;
  std::string path = env.home() + "/rec";
  for (const std::string& v : values) {
    SCOPED_TRACE(testing::PrintToString(v));
    FieldTable t;
    addfield("Name", v, t);
    addfield("Next", "n", t);
    ASSERT_EQ(savetable(path, t), 0);
    std::string written = test::read_file(path);
    EXPECT_LE(longest_line(written), kSaveLineMax);
    FieldTable back;
    ASSERT_EQ(loadtable(path, back), 0);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].value, v);
    EXPECT_EQ(back[1].value, "n");
  }
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
  std::string path = env.file("d/rec", "Old: file\n");
  std::string body = env.file("body", "text\n");
  struct Case {
    const char* label;
    std::string name;
    std::string value;
    bool file;
    std::string stamp;
  };
  const std::vector<Case> cases = {
      {"empty name", "", "v", false, ""},
      {"colon in name", "a:b", "v", false, ""},
      {"comment name", "#a", "v", false, ""},
      {"at name", "@a", "v", false, ""},
      {"blank first", " a", "v", false, ""},
      {"blank last", "a ", "v", false, ""},
      {"newline in name", "a\nb", "v", false, ""},
      {"zero byte", "a", std::string("x\0y", 3), false, ""},
      {"title with newline", "E", "t\nu", true, "s"},
      {"stamp with double colon", "E", "t", true, "a::b"},
      {"stamp ending in colon", "E", "t", true, "a:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FieldTable t;
    addfield("Good", "g", t);
    if (c.file)
      addfile(c.name, c.value, c.stamp, body, t, 1);
    else
      appendfield(c.name, c.value, t);
    testing::internal::CaptureStderr();
    EXPECT_EQ(savetable(path, t), -1);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("savetable: " + path), std::string::npos);
    EXPECT_EQ(test::read_file(path), "Old: file\n");
    EXPECT_EQ(dir_entries(env.home() + "/d"), std::vector<std::string>{"rec"});
  }
}

TEST(Savetable, FailureWhileWritingRemovesTheNewFile) {
  RecstoreEnv env;
  std::string path = env.file("d/rec", "Old: file\n");
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
  EXPECT_EQ(dir_entries(env.home() + "/d"), std::vector<std::string>{"rec"});
}

TEST(Savetable, KeepsPermissionsAndReplacesAtomically) {
  RecstoreEnv env;
  std::string path = env.file("rec", "Old: file\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  struct stat before;
  ASSERT_EQ(stat(path.c_str(), &before), 0);
  FieldTable t;
  addfield("New", "value", t);
  ASSERT_EQ(savetable(path, t), 0);
  struct stat after;
  ASSERT_EQ(stat(path.c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);
  EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed over the old
  EXPECT_EQ(test::read_file(path), "New: value\n");
}

TEST(AtomicFile, DestructionWithoutCommitRemovesTheNewFile) {
  RecstoreEnv env;
  std::string path = env.file("d/rec", "old\n");
  {
    AtomicFile f(path);
    ASSERT_EQ(f.open(), 0);
    std::fputs("new\n", f.stream());
    EXPECT_EQ(dir_entries(env.home() + "/d").size(), 2u);
  }
  EXPECT_EQ(dir_entries(env.home() + "/d"), std::vector<std::string>{"rec"});
  EXPECT_EQ(test::read_file(path), "old\n");
  AtomicFile g(env.home() + "/nodir/rec");
  EXPECT_EQ(g.open(), -1);
}

// Random tables: names unique under the name rule, values of any bytes but
// zero that do not start with a blank, enclosures with random texts.
class TableGenerator {
 public:
  explicit TableGenerator(unsigned seed) : rng_(seed) {}

  int below(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  std::string bytes(int max_len, bool lines) {
    std::string s;
    int len = below(max_len + 1);
    for (int i = 0; i < len; ++i) {
      char c = static_cast<char>(1 + below(255));
      if (c == '\n' && !lines) c = 'n';
      s += c;
    }
    return s;
  }

  std::string name() {
    static const char kChars[] = "abcXYZ09-_. ";
    for (;;) {
      std::string n(1, "ABCDEFGHIJ"[below(10)]);
      int len = below(12);
      for (int i = 0; i < len; ++i) n += kChars[below(sizeof kChars - 1)];
      while (n.back() == ' ') n.pop_back();
      std::string key;
      for (char c : n) key += c == '_' ? '-' : static_cast<char>(std::tolower(c));
      if (key != "related-file" && used_.insert(key).second) return n;
    }
  }

  std::string value() {
    std::string v;
    int lines = below(5);
    for (int i = 0; i <= lines; ++i) {
      if (i > 0) v += '\n';
      v += bytes(below(10) == 0 ? 3000 : 40, false);
    }
    while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.erase(0, 1);
    return v;
  }

  std::string stamp() {
    for (;;) {
      std::string s = bytes(30, false);
      if (s.find("::") == std::string::npos && (s.empty() || s.back() != ':')) return s;
    }
  }

  std::string text() {
    std::string t;
    int lines = below(6);
    for (int i = 0; i < lines; ++i) t += bytes(below(8) == 0 ? 2500 : 60, false) + "\n";
    return t;
  }

 private:
  std::mt19937 rng_;
  std::set<std::string> used_;
};

struct Original {
  std::string name, value, stamp, text;
  bool file;
};

void expect_same(FieldTable& t, const std::vector<Original>& want, const std::string& record) {
  ASSERT_EQ(t.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t[i].name, want[i].name);
    EXPECT_EQ(t[i].value, want[i].value);
    ASSERT_EQ(t[i].has_file, want[i].file);
    if (!want[i].file) continue;
    EXPECT_EQ(t[i].stamp, want[i].stamp);
    EXPECT_FALSE(t[i].owns_file);
    EXPECT_EQ(t[i].path, record);
    EXPECT_EQ(text_of(t[i]), want[i].text);
  }
}

TEST(Savetable, RandomTablesRoundTrip) {
  RecstoreEnv env;
  std::string record = env.home() + "/rec";
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    TableGenerator gen(seed);
    std::vector<Original> want;
    FieldTable t;
    int n = gen.below(25);
    for (int i = 0; i < n; ++i) {
      Original o;
      o.name = gen.name();
      o.file = gen.below(3) == 0;
      if (o.file) {
        o.value = gen.value().substr(0, 50);
        if (o.value.find('\n') != std::string::npos) o.value.erase(o.value.find('\n'));
        o.value += "#" + std::to_string(i);  // titles unique within a name
        o.stamp = gen.stamp();
        o.text = gen.text();
        std::string body = env.tmp() + "/body" + std::to_string(i);
        test::write_file(body, o.text);
        ASSERT_TRUE(addfile(o.name, o.value, o.stamp, body, t, 3));
      } else {
        o.value = gen.value();
        addfield(o.name, o.value, t);
      }
      want.push_back(o);
    }
    ASSERT_EQ(savetable(record, t), 0);
    EXPECT_LE(longest_line(test::read_file(record)), kSaveLineMax);
    FieldTable back;
    ASSERT_EQ(loadtable(record, back), 0);
    {
      SCOPED_TRACE("first load");
      expect_same(back, want, record);
    }
    // The loaded table refers to the very file it is saved over.
    FieldTable refs;
    ASSERT_EQ(loadtable(record, refs), 0);
    ASSERT_EQ(savetable(record, refs), 0);
    FieldTable again;
    ASSERT_EQ(appendtable(record, again), 0);
    {
      SCOPED_TRACE("saved over itself");
      expect_same(again, want, record);
    }
  }
  EXPECT_EQ(test::open_blocks(), 0);
}

}  // namespace
}  // namespace plix
