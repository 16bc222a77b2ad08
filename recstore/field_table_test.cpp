#include "recstore/field_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/temp_dir.h"
#include "util/messages.h"

namespace plix {
namespace {

std::string& captured() {
  static std::string* s = new std::string;
  return *s;
}

class FieldTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_message_state();
    captured().clear();
    message_state().warn_sink = [](const std::string& t) { captured() += t; };
  }
  void TearDown() override {
    reset_message_state();
    field_file_hooks() = FieldFileHooks{};
  }
};

struct NamePair {
  const char* a;
  const char* b;
  bool equal;
};

TEST(FnameEq, CaseAndHyphenUnderscoreRule) {
  const NamePair cases[] = {
      {"Related_file", "related-FILE", true}, {"Severity", "Severity ", false},
      {"a-b", "a_b", true},                   {"a-b", "ab", false},
      {"FILTER_PATH", "Filter-path", true},   {"", "", true},
      {"x", nullptr, false},                  {nullptr, nullptr, false},
  };
  for (const auto& c : cases) EXPECT_EQ(fname_eq(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

TEST_F(FieldTableTest, AddfieldReplacesFirstEntryAndKeepsStoredName) {
  FieldTable t;
  ASSERT_EQ(addfield("FOUND_IN", "1.0", t), 0);
  ASSERT_EQ(addfield("Found-in", "2.0", t), 0);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].name, "FOUND_IN");
  EXPECT_EQ(*fieldvalue("found_in", t), "2.0");
}

TEST_F(FieldTableTest, AppendedDuplicatesSurfaceInOrderAsFirstIsDeleted) {
  FieldTable t;
  appendfield("Note", "first", t);
  appendfield("Other", "x", t);
  appendfield("note", "second", t);
  EXPECT_EQ(*fieldvalue("NOTE", t), "first");
  delfield("Note", t);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].name, "Other");
  EXPECT_EQ(*fieldvalue("NOTE", t), "second");
  delfield("absent", t);
  EXPECT_EQ(t.size(), 2u);
}

TEST_F(FieldTableTest, NullValueIsDistinctFromEmpty) {
  FieldTable t;
  addfield("A", "", t);
  addfield("B", std::nullopt, t);
  ASSERT_NE(fieldvalue("A", t), nullptr);
  EXPECT_EQ(*fieldvalue("A", t), "");
  EXPECT_EQ(fieldvalue("B", t), nullptr);
  setvalue(t[0], std::nullopt);
  EXPECT_EQ(fieldvalue("A", t), nullptr);
  EXPECT_EQ(findfield("missing", t), t.size());
}

TEST_F(FieldTableTest, FullTableRefusesEntryAndStaysUnchanged) {
  FieldTable t;
  for (int i = 0; i < 2047; ++i) ASSERT_EQ(appendfield("F" + std::to_string(i), "v", t), 0);
  EXPECT_TRUE(captured().empty());
  EXPECT_EQ(addfield("New", "v", t), -1);
  EXPECT_EQ(appendfield("F1", "v", t), -1);
  EXPECT_EQ(t.size(), 2047u);
  EXPECT_NE(captured().find("INTERNAL ERROR: table size limit of 2048 fields exceeded."),
            std::string::npos);
  EXPECT_NE(captured().find("New: "), std::string::npos);  // warnerr names the field
  // Replacing an existing entry still works in a full table.
  EXPECT_EQ(addfield("F5", "w", t), 0);
}

TEST_F(FieldTableTest, SmallTableHonoursItsOwnSlotCount) {
  FieldTable t(3);
  EXPECT_EQ(appendfield("a", "1", t), 0);
  EXPECT_EQ(appendfield("b", "2", t), 0);
  EXPECT_EQ(appendfield("c", "3", t), -1);
}

TEST_F(FieldTableTest, LongNameIsReportedButKept) {
  message_state().Thisfile = "master.tmpl";
  std::string name(80, 'n');
  auto f = newfield(name);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->name, name);
  EXPECT_EQ(captured(), "Error in template file master.tmpl: Field name too long: " + name);
  captured().clear();
  newfield(std::string(79, 'n'));
  EXPECT_TRUE(captured().empty());
}

TEST_F(FieldTableTest, DisposeUnlinksOnlyOwnedFiles) {
  test::TempDir dir;
  test::write_file(dir / "owned", "x");
  test::write_file(dir / "ref", "y");
  FieldTable t;
  appendfield("Owned", "t", t);
  appendfield("Ref", "t", t);
  t[0].has_file = t[0].owns_file = true;
  t[0].path = dir / "owned";
  t[1].has_file = true;
  t[1].path = dir / "ref";
  freefields(t);
  EXPECT_TRUE(t.empty());
  EXPECT_NE(::access((dir / "owned").c_str(), F_OK), 0);
  EXPECT_EQ(::access((dir / "ref").c_str(), F_OK), 0);
}

TEST_F(FieldTableTest, IscloneFieldComparesIdentityNotName) {
  FieldTable t, u;
  appendfield("A", "1", t);
  appendfield("A", "1", u);
  EXPECT_EQ(isclonefield(&t[0], t), 0);
  EXPECT_EQ(isclonefield(&u[0], t), 1);
}

TEST_F(FieldTableTest, ClonetableIntoNonEmptyTableCopiesNothing) {
  FieldTable src, dst;
  appendfield("A", "1", src);
  appendfield("B", "2", dst);
  clonetable(src, dst);
  EXPECT_EQ(dst.size(), 1u);
  EXPECT_EQ(captured(), "ERROR: destintation table not empty in clonetable()");
}

// Extraction stand-in: gives the field a private copy of the referenced file.
struct FakeEnclosures {
  static test::TempDir& dir() {
    static test::TempDir* d = new test::TempDir;
    return *d;
  }
  static int counter;
  static void install() {
    field_file_hooks().temp_name = [](const char* prefix) -> std::optional<std::string> {
      return dir() / (std::string(prefix) + std::to_string(++counter));
    };
    field_file_hooks().extract = [](Field& f) {
      std::string copy = dir() / ("extract" + std::to_string(++counter));
      test::write_file(copy, test::read_file(*f.path));
      f.path = copy;
      f.owns_file = true;
      return 0;
    };
  }
};
int FakeEnclosures::counter = 0;

TEST_F(FieldTableTest, ClonedEnclosuresGetPrivateCopiesReleasedWithTheClone) {
  FakeEnclosures::install();
  std::string record = FakeEnclosures::dir() / "record";
  test::write_file(record, "body\n");
  FieldTable src;
  appendfield("Plain", "v", src);
  appendfield("Trace", "title", src);
  src[1].has_file = true;
  src[1].path = record;
  src[1].stamp = "Added today";
  std::string src_copy;
  {
    FieldTable clone;
    clonetable(src, clone);
    ASSERT_EQ(clone.size(), 2u);
    EXPECT_TRUE(src[1].owns_file);  // the source now owns an extracted copy
    src_copy = *src[1].path;
    EXPECT_NE(src_copy, record);
    ASSERT_TRUE(clone[1].owns_file);
    EXPECT_NE(*clone[1].path, src_copy);
    EXPECT_EQ(test::read_file(*clone[1].path), "body\n");
    EXPECT_EQ(*clone[1].stamp, "Added today");
    EXPECT_EQ(*clone[1].value, "title");
  }
  // Releasing the clone deleted its copy only.
  EXPECT_EQ(test::read_file(src_copy), "body\n");
  EXPECT_EQ(test::read_file(record), "body\n");
}

TEST_F(FieldTableTest, CopyfieldKeepsDisabledAndDropsOldOwnedFile) {
  FakeEnclosures::install();
  std::string old_file = FakeEnclosures::dir() / "old";
  test::write_file(old_file, "old");
  Field src, dst;
  src.name = "Src";
  src.value = "v";
  dst.name = "Dst";
  dst.disabled = true;
  dst.has_file = dst.owns_file = true;
  dst.path = old_file;
  EXPECT_EQ(copyfield(&src, &dst), 0);
  EXPECT_EQ(dst.name, "Src");
  EXPECT_TRUE(dst.disabled);
  EXPECT_FALSE(dst.has_file);
  EXPECT_NE(::access(old_file.c_str(), F_OK), 0);
  EXPECT_EQ(copyfield(nullptr, &dst), 0);
}

TEST_F(FieldTableTest, CloneOfUnextractedFileFailsCleanlyWithoutEnclosureSupport) {
  FieldTable src, dst;
  appendfield("Trace", "t", src);
  src[0].has_file = true;
  src[0].path = "/nonexistent/record";
  std::unique_ptr<Field> out;
  EXPECT_EQ(clonefield(&src[0], out), -1);
  EXPECT_FALSE(out);
}

TEST(QuickDffind, FindsByFieldNameRule) {
  std::vector<std::string> names = {"RETURNVAL", "Filter-path"};
  std::vector<std::string> values = {"0", "/x"};
  EXPECT_EQ(quick_dffind(names, "filter_PATH"), 1);
  EXPECT_EQ(quick_dffind(names, "nope"), -1);
  EXPECT_EQ(quick_dffind({}, "x"), -1);
  EXPECT_EQ(*quick_dfvalue(names, values, "returnval"), "0");
  EXPECT_EQ(quick_dfvalue(names, values, "nope"), nullptr);
}

}  // namespace
}  // namespace plix
