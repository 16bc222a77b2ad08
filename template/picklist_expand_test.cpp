#include "template/picklist_expand.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/numbered.h"
#include "tests/support/site_env.h"
#include "tests/support/temp_home.h"

namespace plix {
namespace {

using Values = std::vector<std::string>;

pfield picker(const std::string& name, int type, const std::string& picklist) {
  pfield f = make_pfield(name, "");
  f.type = type;
  f.picklist = picklist;
  return f;
}

// Fields and a table in which each field's lines are loaded, in order.
struct Lists {
  PfieldArray fields;
  std::optional<PickTable> table{PickTable{}};

  explicit Lists(std::vector<pfield> fs) : fields(std::move(fs)) {
    fields.push_back(make_end_marker());
  }
  Lists& load(const std::string& line) {
    load_oneof(line, table, "/nonexistent");
    return *this;
  }
  std::optional<std::string> expand(const std::string& text) const {
    return expand_oneof_expr(text, fields, *table);
  }
};

// The rewrite of a line into one branch per value of the controlling field.
std::string chain(const std::string& var,
                  const std::vector<std::pair<std::string, std::string>>& b) {
  std::string out;
  for (const auto& [value, line] : b)
    out += (out.empty() ? "if" : "elif") + (" equals \"$" + var + "\" \"" + value + "\"\n") + line;
  return out + "else\n oneof \"<No Options>\"\nfi\n";
}

const char* const kComponentRewrite =
    "if equals \"$Component\" \"db\"\noneof -f db.list\n"
    "elif equals \"$Component\" \"ui\"\noneof -f ui.list\n"
    "else\n oneof \"<No Options>\"\nfi\n";

TEST(ExpandOneof, LinesThatCannotBeExpandedAreKept) {
  struct Case {
    const char *why, *name;
    int type;
    const char *values, *text;
  } cases[] = {{"controlling field is no picklist field", "Component", FT_TEXT, "db ui", nullptr},
               {"name differs in case", "component", FT_ONEOF, "db", nullptr},
               {"controlling lists not loaded yet", "Component", FT_ONEOF, nullptr, nullptr},
               {"only unsafe values", "Component", FT_ONEOF, "../x a/b ..", nullptr},
               {"home and own-field forms are no variables", "X", FT_ONEOF, "db",
                "oneof -f $~/l/$$.list\n"}};
  for (const Case& c : cases) {
    std::string values = std::string(" oneof ") + (c.values ? c.values : "db");
    Lists s({picker(c.name, c.type, values + "\n")});
    if (c.values) s.load(values);
    std::string text = c.text ? c.text : "oneof -f $Component.list\n";
    EXPECT_EQ(s.expand("  " + text), text) << c.why;
  }
}

TEST(ExpandOneof, UnsafeAndRepeatedValuesGetNoBranch) {
  Lists s({picker("C", FT_ONEOF,
                  "if x\n oneof db ../up a/b . .. $X\nelse\n oneof ui db q\\\"t\nfi\n")});
  s.load("oneof db ../up a/b . .. $X").load("oneof ui db q\\\"t");
  EXPECT_EQ(s.expand("oneof -f $C"),
            chain("C", {{"db", "oneof -f db\n"}, {"ui", "oneof -f ui\n"}}));
  for (const char* bad : {"/abs", "it's", "a\\b"}) EXPECT_FALSE(safe_picklist_value(bad)) << bad;
  for (const char* good : {"...", ".hidden", "a b"}) EXPECT_TRUE(safe_picklist_value(good)) << good;
}

TEST(ExpandOneof, SecondVariableNests) {
  Lists s({picker("A", FT_ONEOF, " oneof x y\n"), picker("B", FT_COMBOBOX, " combobox 1 2\n")});
  s.load("oneof x y").load("combobox 1 2");
  auto inner = [](const std::string& a) {
    return chain("B", {{"1", "oneof -f " + a + ".1.list\n"}, {"2", "oneof -f " + a + ".2.list\n"}});
  };
  EXPECT_EQ(s.expand("oneof -f $A.$B.list"), chain("A", {{"x", inner("x")}, {"y", inner("y")}}));
}

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(ExpandOneof, NestingIsBoundedAndAnOversizedRewriteKeepsTheText) {
  std::vector<pfield> fields;
  std::string line = "oneof -f ";
  for (int i = 0; i < 10; ++i) {
    fields.push_back(picker(test::numbered("V", i), FT_ONEOF, " oneof x\n"));
    line += test::numbered("$V", i);
  }
  Lists n(fields);
  n.load("oneof x");
  auto out = n.expand(line);
  ASSERT_TRUE(out);
  EXPECT_EQ(count(*out, "if equals"), static_cast<size_t>(kMaxPicklistNesting));
  // The innermost line keeps the variables that were left.
  EXPECT_NE(out->find("\noneof -f xxxxxxxx$V8$V9\n"), std::string::npos);

  std::string values;
  for (int i = 0; i < 100; ++i) values += " v" + std::to_string(i);
  Lists s({picker("A", FT_ONEOF, "oneof" + values), picker("B", FT_ONEOF, "oneof" + values),
           picker("C", FT_ONEOF, "oneof" + values), picker("D", FT_ONEOF, "oneof -f $A$B$C.list\n"),
           picker("E", FT_TEXT, "oneof -f $A.list\n")});
  s.load("oneof" + values);
  pl_expand_oneofs(&s.fields, *s.table);  // $A$B$C: 10^6 branches
  EXPECT_EQ(s.fields[3].picklist, "oneof -f $A$B$C.list\n");
  EXPECT_EQ(s.fields[4].picklist, "oneof -f $A.list\n");  // not a picklist field
  EXPECT_EQ(count(*s.fields[0].picklist, "\n"), 1u);      // rewritten, one line
}

// pl_load_oneofs on a database home.
class LoadOneofs : public ::testing::Test {
 protected:
  void SetUp() override {
    home.file("etc/oneofs/bugs.C", "beta\nalpha\n");
    home.file("etc/oneofs/bugs.CX", "gamma\nalpha\n");
    home.file("class/bugs/oneofs/db.list", "t1\nt2\n");
    home.file("class/bugs/oneofs/ui.list", "u1\n");
  }
  test::TempHome home;
  test::SiteEnv env{home.path()};  // no password lookup for the test's home
  const std::string path = "class/bugs/oneofs";
};

TEST_F(LoadOneofs, ProjectListsFollowViewClosedProjects) {
  const Values plain{"beta", "alpha"};
  const std::pair<std::optional<std::string>, Values> cases[] = {
      {"view_closed_projects: Y\n", {"alpha", "beta", "gamma"}},
      {"View-closed-projects: no\n", plain},
      {std::nullopt, plain}};
  for (const auto& [rc, want] : cases) {
    SCOPED_TRACE(rc.value_or("(no plixrc)"));
    ::unlink((home / "etc/plixrc").c_str());
    if (rc) home.file("etc/plixrc", *rc);
    PfieldArray fields{make_end_marker()};
    std::optional<PickTable> table = pl_load_oneofs(&fields, "bugs", path);
    ASSERT_TRUE(table);
    EXPECT_EQ(table->entries[0].name, kProjectPicklist);
    EXPECT_EQ(table->entries[0].values, plain);
    EXPECT_EQ(pl_find_oneof(table, "oneof -f projectquery_picklist", path)->values, want);
  }
  EXPECT_EQ(pl_load_oneofs(nullptr, "bugs", path), std::nullopt);
}

TEST_F(LoadOneofs, FieldsAreRewrittenAndTheirListsLoaded) {
  PfieldArray fields = {
      picker("Early", FT_ONEOF, " oneof -f $Late.list\n"),
      picker("Component", FT_ONEOF, " oneof db ui\n"),
      picker("Module", FT_ONEOF, "  if x\n\n   \n\toneof -f \"$Component.list\"\nfi"),
      picker("Area", FT_SOMEOF, " someof -f $Project.areas\n"),
      picker("Notes", FT_TEXT, " oneof -f $Component.list\n"),
      picker("Late", FT_ONEOF, " oneof db\n"),
      make_end_marker()};
  std::optional<PickTable> table = pl_load_oneofs(&fields, "bugs", path);
  ASSERT_TRUE(table);
  EXPECT_EQ(fields[0].picklist, "oneof -f $Late.list\n");  // its controller comes later
  EXPECT_EQ(fields[1].picklist, "oneof db ui\n");
  // One branch per value of the controlling field; the line's quotes are dropped in the
  // branches, other lines lose their leading blanks, empty lines go.
  EXPECT_EQ(fields[2].picklist, "if x\n" + std::string(kComponentRewrite) + "fi\n");
  EXPECT_EQ(fields[3].picklist, chain("Project", {{"beta", "someof -f beta.areas\n"},
                                                  {"alpha", "someof -f alpha.areas\n"}}));
  EXPECT_EQ(fields[4].picklist, " oneof -f $Component.list\n");

  auto loaded = [&](const std::string& name) {
    const Picklist& p = table->entries[which_oneof(*table, name)];
    return p.kind != PL_FREE && p.kind != PL_END;
  };
  for (const char* name : {"db ui", "ui.list", "beta.areas", "\"<No Options>\"", "$Late.list"})
    EXPECT_TRUE(loaded(name)) << name;
  EXPECT_FALSE(loaded("$Component.list"));  // only the Notes field names it
  EXPECT_EQ(table->entries[which_oneof(*table, "db.list")].values, (Values{"t1", "t2"}));

  // Once its controller is loaded, the early field can be rewritten too.
  pl_expand_oneofs(&fields, *table);
  EXPECT_EQ(fields[0].picklist, chain("Late", {{"db", "oneof -f db.list\n"}}));
}

}  // namespace
}  // namespace plix
