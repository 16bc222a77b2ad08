#include "recstore/field_table.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/numbered.h"
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

TEST(FnameEq, CaseAndHyphenUnderscoreRule) {
  EXPECT_TRUE(fname_eq("Related_file", "related-FILE"));
  EXPECT_FALSE(fname_eq("Severity", "Severity "));
  EXPECT_FALSE(fname_eq("a-b", "ab"));
  EXPECT_TRUE(fname_eq("", ""));
  EXPECT_FALSE(fname_eq("x", nullptr));
  EXPECT_FALSE(fname_eq(nullptr, nullptr));
}

TEST_F(FieldTableTest, AddReplacesFirstEntryAppendKeepsDuplicatesNullIsNotEmpty) {
  FieldTable t;
  ASSERT_EQ(addfield("FOUND_IN", "1.0", t), 0);
  ASSERT_EQ(addfield("Found-in", "2.0", t), 0);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].name, "FOUND_IN");  // the stored name stays
  EXPECT_EQ(*fieldvalue("found_in", t), "2.0");

  appendfield("Note", "first", t);
  appendfield("note", "second", t);
  EXPECT_EQ(*fieldvalue("NOTE", t), "first");
  delfield("Note", t);  // the later duplicate surfaces
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(*fieldvalue("NOTE", t), "second");
  delfield("absent", t);
  EXPECT_EQ(t.size(), 2u);

  addfield("Null", std::nullopt, t);  // distinct from the empty value
  EXPECT_EQ(fieldvalue("Null", t), nullptr);
  setvalue(t[0], "");
  EXPECT_EQ(*fieldvalue("FOUND_IN", t), "");
  setvalue(t[0], std::nullopt);
  EXPECT_EQ(fieldvalue("FOUND_IN", t), nullptr);
}

TEST_F(FieldTableTest, FullTableRefusesEntryAndStaysUnchanged) {
  FieldTable t;
  for (int i = 0; i < 2047; ++i) ASSERT_EQ(appendfield(test::numbered("F", i), "v", t), 0);
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

TEST_F(FieldTableTest, LongNameIsReportedButKept) {
  message_state().Thisfile = "master.tmpl";
  newfield(std::string(79, 'n'));
  EXPECT_TRUE(captured().empty());
  std::string name(80, 'n');
  auto f = newfield(name);
  ASSERT_TRUE(f);
  EXPECT_EQ(f->name, name);
  EXPECT_EQ(captured(), "Error in template file master.tmpl: Field name too long: " + name);
}

TEST_F(FieldTableTest, CloneChecksAndRefusals) {
  FieldTable src, dst;
  appendfield("A", "1", src);
  appendfield("A", "1", dst);
  EXPECT_EQ(isclonefield(&src[0], src), 0);  // identity, not name
  EXPECT_EQ(isclonefield(&dst[0], src), 1);
  clonetable(src, dst);
  EXPECT_EQ(dst.size(), 1u);
  EXPECT_EQ(captured(), "ERROR: destintation table not empty in clonetable()");

  // Without enclosure support an unextracted file cannot be copied.
  src[0].has_file = true;
  src[0].path = "/nonexistent/record";
  std::unique_ptr<Field> out;
  EXPECT_EQ(clonefield(&src[0], out), -1);
  EXPECT_FALSE(out);
}

TEST_F(FieldTableTest, CopyfieldKeepsDisabledAndDropsOldOwnedFile) {
  test::TempDir dir;
  const std::string old_file = dir / "old";
  test::write_file(old_file, "old");
  Field src, dst;
  src.name = "Src";
  src.value = "v";
  dst.disabled = dst.has_file = dst.owns_file = true;
  dst.path = old_file;
  EXPECT_EQ(copyfield(&src, &dst), 0);
  EXPECT_EQ(dst.name, "Src");
  EXPECT_TRUE(dst.disabled);
  EXPECT_FALSE(dst.has_file);
  EXPECT_NE(::access(old_file.c_str(), F_OK), 0);
  EXPECT_EQ(copyfield(nullptr, &dst), 0);
}

TEST(QuickDffind, FindsByFieldNameRule) {
  const std::vector<std::string> names = {"RETURNVAL", "Filter-path"}, values = {"0", "/x"};
  EXPECT_EQ(quick_dffind(names, "filter_PATH"), 1);
  EXPECT_EQ(*quick_dfvalue(names, values, "returnval"), "0");
  EXPECT_EQ(quick_dffind(names, "nope"), -1);
  EXPECT_EQ(quick_dfvalue(names, values, "nope"), nullptr);
}

}  // namespace
}  // namespace plix
