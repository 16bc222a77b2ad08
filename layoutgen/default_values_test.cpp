#include "layoutgen/default_values.h"

#include <gtest/gtest.h>

#include "tests/support/recstore_env.h"
#include "tests/support/temp_dir.h"

namespace plix {
namespace {

int& runs() {
  static int n = 0;
  return n;
}

// Stand-in runtime: "echo X" sets the value to X, "set none" sets it to
// "none", "fail" fails; the Oneof-path must be visible while it runs.
int fake_runner(const std::string& commands, std::string& value, FieldTable& t) {
  ++runs();
  if (fieldvalue("Oneof-path", t) == nullptr) return 255;
  if (commands.find("fail") != std::string::npos) return 255;
  std::size_t echo = commands.find("echo ");
  if (echo != std::string::npos) value = commands.substr(echo + 5, commands.find('\n', echo) - echo - 5);
  if (commands.find("none") != std::string::npos) value = "none";
  return 0;
}

class DefaultValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_default_value_state();
    default_value_state().runner = fake_runner;
    default_value_state().oneof_path = "class/bugs/oneofs";
    runs() = 0;
  }
  void TearDown() override { reset_default_value_state(); }

  pfield field(const char* name, std::optional<std::string> defaults) {
    pfield f = make_pfield(name, std::nullopt);
    f.defaults = std::move(defaults);
    return f;
  }
};

TEST_F(DefaultValuesTest, IfNullDerivationOnlyFillsEmptyFields) {
  FieldTable rec;
  addfield("Priority", "high", rec);
  pfield stored = field("Priority", " if null\n set none\n fi\n");
  EXPECT_EQ(complex_def_value(stored, &rec), "high");
  EXPECT_EQ(stored.default_value, "high");
  pfield fresh = field("Priority", " if null\n set none\n fi\n");
  EXPECT_EQ(complex_def_value(fresh, nullptr), std::nullopt);
  EXPECT_EQ(fresh.default_value, "none");
  EXPECT_TRUE(rec.size() == 1 && fieldvalue("Oneof-path", rec) == nullptr);  // removed again
}

TEST_F(DefaultValuesTest, DerivationReplacesValueUnlessItNamesAnotherField) {
  FieldTable rec;
  addfield("Sev", "2", rec);
  pfield own = field("Sev", " echo $$x\n");
  EXPECT_EQ(complex_def_value(own, &rec), "$$x");
  EXPECT_EQ(own.default_value, "$$x");
  pfield other = field("Sev", " echo $Other\n");
  EXPECT_EQ(complex_def_value(other, &rec), "2");
  EXPECT_EQ(other.default_value, "2");
  EXPECT_EQ(runs(), 1);
}

TEST_F(DefaultValuesTest, FailedOrMissingRuntimeKeepsStoredValue) {
  FieldTable rec;
  addfield("Sev", "2", rec);
  pfield failing = field("Sev", " fail\n");
  EXPECT_EQ(complex_def_value(failing, &rec), "2");
  pfield fresh = field("Sev", " fail\n");
  complex_def_value(fresh, nullptr);
  EXPECT_EQ(fresh.default_value, std::nullopt);
  default_value_state().runner = nullptr;
  pfield unrun = field("Sev", " echo 3\n");
  EXPECT_EQ(def_value(unrun, nullptr), std::nullopt);
}

TEST_F(DefaultValuesTest, ValuesAreComputedOnce) {
  pfield f = field("Sev", " echo 3\n");
  def_value(f, nullptr);
  def_value(f, nullptr);
  complex_def_value(f, nullptr);
  EXPECT_EQ(runs(), 1);
  EXPECT_EQ(f.default_value, "3");
}

TEST_F(DefaultValuesTest, EnclosureTextsComeFromRecordOrInitialFile) {
  test::RecstoreEnv store;
  std::string record = store.home() + "/rec";
  test::write_file(record, "Related-file::Added 011231 by x::Notes\n line one\n line two\n");
  test::write_file(store.home() + "/initial.txt", "fill me in\n");
  pfield enc = make_pfield("Related-file", std::nullopt);
  enc.type = FT_ENCLOSURE;
  enc.label = "Notes";
  enc.defaults = store.home() + "/initial.txt";
  FieldTable rec;
  ASSERT_EQ(appendfield("Related-file", "Notes", rec), 0);
  rec[0].has_file = true;
  rec[0].stamp = "Added 011231 by x";
  rec[0].path = record;
  EXPECT_EQ(complex_def_value(enc, &rec), "line one\nline two\n");
  pfield fresh = enc;
  fresh.evaluated = 0;
  fresh.value.reset();
  complex_def_value(fresh, nullptr);
  EXPECT_EQ(fresh.default_value, "fill me in\n");
}

TEST(FieldIsDatetime, FindsTheSchemaColumnByFoldedName) {
  std::optional<std::string> schema =
      "id integer\n  date_closed datetime year to second\nnote datetimex\nheadline char(80)\nlone\n";
  EXPECT_TRUE(field_is_datetime("Date-Closed", schema));
  EXPECT_TRUE(field_is_datetime("NOTE", schema));  // the type only has to start with datetime
  EXPECT_FALSE(field_is_datetime("Headline", schema));
  EXPECT_FALSE(field_is_datetime("lone", schema));
  EXPECT_FALSE(field_is_datetime("Missing", schema));
  EXPECT_FALSE(field_is_datetime("Date-Closed", std::nullopt));
}

}  // namespace
}  // namespace plix
