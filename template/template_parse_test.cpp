#include "template/template_parse.h"

#include <gtest/gtest.h>

#include "recstore/record_file.h"
#include "tests/support/temp_dir.h"

namespace plix {
namespace {

class TemplateParseTest : public ::testing::Test {
 protected:
  void TearDown() override { reset_dfile_state(); }

  std::optional<PfieldArray> parse(const std::string& text, const char* states, char op,
                                   const FieldTable* current = nullptr) {
    test::write_file(path_, text);
    return pl_parse_template(path_, std::string_view(states), op, nullptr, current);
  }
  const pfield& field(const PfieldArray& a, const std::string& name) {
    for (const auto& f : a)
      if (f.name == name) return f;
    static pfield none;
    ADD_FAILURE() << "no field " << name;
    return none;
  }
  std::string states_of(const PfieldArray& a, const std::string& name) {
    return field(a, name).states.value_or("");
  }

  test::TempDir dir_;
  std::string path_ = dir_ / "master.tmpl";
};

TEST_F(TemplateParseTest, GotoPassesFieldsOverPerState) {
  const std::string text =
      "A: if equals $STATE A\n   goto C\n fi\n \"A: %s\"\n"
      "B: \"B: %s\"\n"
      "c: \"lower c: %s\"\n"
      "C: \"C: %s\"\n";
  auto a = parse(text, "NA", 'p');
  ASSERT_TRUE(a) << pl_get_error();
  EXPECT_EQ(states_of(*a, "A"), "NA");
  EXPECT_EQ(states_of(*a, "B"), "N");  // passed over by the goto in state A
  EXPECT_EQ(states_of(*a, "c"), "N");  // goto matches names exactly
  EXPECT_EQ(states_of(*a, "C"), "NA");
  EXPECT_TRUE(field_is_valid("B", &*a));
}

TEST_F(TemplateParseTest, ReturnSelfGotoAndMissingTargetEndTheWalkButQueryReachesEverything) {
  const char* const texts[] = {"Stop: return\nNext: \"N: %s\"\n",
                               "Loop: goto Loop\nNext: \"N: %s\"\n",
                               "Jump: goto Nowhere\nNext: \"N: %s\"\n"};
  for (const char* text : texts) {
    auto a = parse(text, "SN", 'p');
    ASSERT_TRUE(a) << pl_get_error();
    EXPECT_EQ(states_of(*a, (*a)[0].name), "SN") << text;
    EXPECT_FALSE(field_is_valid("Next", &*a)) << text;
  }
  auto loop = parse(texts[1], "S", 'p');
  EXPECT_EQ((*loop)[0].type, FT_SKIP);
  auto q = parse(texts[0], "S", 'q');
  ASSERT_TRUE(q);
  EXPECT_TRUE(field_is_valid("Next", &*q));
}

TEST_F(TemplateParseTest, SkipMarksFieldAndPromptTypeReplacesIt) {
  auto a = parse("Hidden: skip\nShown: if equals $OPERATION m\n skip\n fi\n \"S: %d\"\n", "S", 'p');
  ASSERT_TRUE(a);
  EXPECT_EQ(field(*a, "Hidden").type, FT_SKIP);
  EXPECT_EQ(field(*a, "Shown").type, FT_INTEGER);  // op p: the skip is reduced away
}

TEST_F(TemplateParseTest, OnlyAnUnconditionalAbortFailsTheParse) {
  auto a = parse("A: if equals $Kind x\n abort\n fi\n", "S", 'p');
  ASSERT_TRUE(a) << pl_get_error();
  auto b = parse("A: echo hi\n abort\n", "S", 'p');
  EXPECT_FALSE(b);
  EXPECT_EQ(pl_get_error(), "Template aborted in field A with derivation:\necho hi\nabort\n");
  FieldTable rec;
  addfield("Kind", "x", rec);
  auto c = parse("A: if equals $Kind x\n abort\n fi\n", "S", 'p', &rec);
  EXPECT_FALSE(c);
}

TEST_F(TemplateParseTest, LoadFailuresAreReportedAndAnEmptyTemplateHasOnlyTheEndMarker) {
  auto a = parse("# nothing here\n\n", "S", 'p');
  ASSERT_TRUE(a);
  ASSERT_EQ(a->size(), 1u);
  EXPECT_EQ((*a)[0].type, FT_END);
  EXPECT_FALSE(pl_parse_template(std::nullopt, "S", 'p', nullptr, nullptr));
  EXPECT_EQ(pl_get_error(), "Null filename passed to pl_parse_template.");
  std::string missing = dir_ / "missing.tmpl";
  EXPECT_FALSE(pl_parse_template(missing, "S", 'p', nullptr, nullptr));
  EXPECT_EQ(pl_get_error(), "Error loading file " + missing);
  test::write_file(path_, "A: x\n");
  EXPECT_FALSE(pl_parse_template(path_, std::nullopt, 'p', nullptr, nullptr));
  EXPECT_EQ(pl_get_error(), "NULL passed to parse_states");
}

TEST_F(TemplateParseTest, SearchPathsFromBeginFieldOrDefaults) {
  auto a =
      parse("Begin: set Oneof-path \"$Class/lists\"\n set Help-pathx /h:$Class\n set\n", "S", 'p');
  ASSERT_TRUE(a);
  EXPECT_EQ(pl_get_path(kOneofPath, &*a, "bugs"), "bugs/lists");
  EXPECT_EQ(pl_get_path(kHelpPath, &*a, "bugs"), "/h:bugs");  // the key is a prefix
  EXPECT_EQ(pl_get_path(kFilterPath, &*a, "bugs"), "/usr/bin:/bin:/usr/ucb");
  EXPECT_EQ(pl_get_path(kOneofPath, nullptr, "bugs"), "class/bugs/oneofs");
  EXPECT_EQ(pl_get_path(kHelpPath, nullptr, "bugs"), "class/bugs/helps");
  EXPECT_EQ(pl_get_path(3, nullptr, "bugs"), std::nullopt);
}

}  // namespace
}  // namespace plix
