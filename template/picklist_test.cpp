#include "template/picklist.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/numbered.h"
#include "tests/support/site_env.h"
#include "tests/support/temp_home.h"

namespace plix {
namespace {

using Values = std::vector<std::string>;

TEST(PicklistLine, KindAndNamePart) {
  struct Case {
    const char* line;
    int kind;
    std::optional<std::string> name;
  };
  const Case cases[] = {
      {"oneof red \"dark blue\" green", PL_LIST, "red \"dark blue\" green"},
      {"  someof -f colors.list \t\n", PL_FILE, "colors.list"},
      {"combobox -i -d people.rec Members", PL_RECORD, "people.rec Members"},
      {"oneof -x a b", PL_LIST, "a b"},     // any other option: inline tokens
      {"oneof -f -i x", PL_FILE, "-i x"},   // -i only counts before the option
      {"oneof -fx a", PL_LIST, "a"},        // not -f
      {"oneof -f", PL_FILE, std::nullopt},  // no name part
      {"oneof a\noneof b", PL_LIST, "a"},   // the first line only
      {"oneofs x", PL_FREE, std::nullopt},
      {"\n oneof x", PL_FREE, std::nullopt},  // an empty first line
  };
  for (const Case& c : cases) {
    EXPECT_EQ(picklist_kind(c.line), c.kind) << c.line;
    EXPECT_EQ(get_oneof_name(c.line), c.name) << c.line;
  }
}

TEST(Buf2values, TokensAndLinesCutAtTheLimit) {
  const std::string long_line(2000, 'v');
  const std::string cut(kMaxValueLength, 'v');
  struct Case {
    std::optional<std::string> text;
    int kind;
    std::optional<Values> want;
  } cases[] = {
      {"a\\ b 'c d'e \"\"", PL_LIST, Values{"a b", "c de", ""}},
      {"a b\n\n  c\n", PL_RECORD, Values{"a", "b", "c"}},
      {"x \"open\nquote\"", PL_LIST, Values{"x", "open", "quote"}},  // no value spans lines
      {"  one\n\n\t two  \n   \nthree", PL_FILE, Values{"one", "two  ", "three"}},
      {std::string("a\0b\nc", 5), PL_FILE, Values{"a"}},  // the text ends at a NUL
      {long_line + "\nshort", PL_FILE, Values{cut, "short"}},
      {long_line, PL_LIST, Values{cut}},
      {" \n\n\t\n", PL_FILE, std::nullopt},
      {std::nullopt, PL_LIST, std::nullopt},
  };
  for (const Case& c : cases) {
    std::optional<std::string_view> text;
    if (c.text) text = *c.text;
    EXPECT_EQ(buf2values(text, c.kind), c.want) << c.text.value_or("(null)").substr(0, 40);
  }
}

TEST(PickTable, GrowsByDoublingAndKeepsIndexes) {
  std::optional<PickTable> table;
  for (const char* line : {"", "echo x", "oneof", "oneof -f  ", "someof -i"})
    load_oneof(line, table, "");  // lines that name no list
  ASSERT_TRUE(table);             // created on first use
  EXPECT_EQ(which_oneof(*table, "x"), 0u);
  for (int i = 0; i < 63; ++i) load_oneof("oneof v" + std::to_string(i), table, "");
  ASSERT_EQ(table->entries.size(), kPickTableInitial);
  load_oneof("oneof v63", table, "");
  ASSERT_EQ(table->entries.size(), 126u);  // the 64th list
  for (int i = 0; i < 64; ++i)
    EXPECT_EQ(which_oneof(*table, test::numbered("v", i)), static_cast<std::size_t>(i));
  EXPECT_EQ(table->entries[125].kind, PL_END);
}

TEST(PickFind, NeedsATableAPicklistLineAndValues) {
  std::optional<PickTable> none;
  EXPECT_EQ(pl_find_oneof(none, "oneof a b", ""), nullptr);
  EXPECT_FALSE(none);  // nothing created, nothing read

  std::optional<PickTable> table{PickTable{}};
  EXPECT_EQ(pl_find_oneof(table, "required", ""), nullptr);
  EXPECT_EQ(pl_find_oneof(table, "oneof \"\"", "")->values, Values{""});
  EXPECT_EQ(pl_find_oneof(table, "oneof -f missing.list", "/nonexistent"), nullptr);
  // The list without values is there all the same.
  EXPECT_EQ(table->entries[which_oneof(*table, "missing.list")].kind, PL_FILE);
  EXPECT_EQ(pl_find_oneof(table, "   someof a b", "")->values, (Values{"a", "b"}));
  EXPECT_EQ(pl_get_oneof("combobox x 'y z'", ""), (Values{"x", "y z"}));
  EXPECT_EQ(pl_get_oneof("combobox -f none", ""), std::nullopt);
}

TEST(PickMerge, SortedUnionInByteOrderOrAnEmptySlot) {
  std::optional<PickTable> table{PickTable{}};
  const char* text = "if x\n oneof b a b\nfi\n combobox \xc3\xa9 Z\n required\n someof c a\n";
  Picklist* m = pl_merge_oneofs(table, text, "");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->kind, PL_LIST);
  EXPECT_EQ(m->name, "");
  EXPECT_EQ(m->values, (Values{"Z", "a", "b", "c", "\xc3\xa9"}));
  // The merged entry came first; the source lists keep their own order.
  EXPECT_EQ(&table->entries[0], m);
  EXPECT_EQ(table->entries[which_oneof(*table, "b a b")].values, (Values{"b", "a", "b"}));

  // Nothing to merge: an empty slot.
  std::optional<PickTable> empty{PickTable{}};
  std::size_t slot = 99;
  EXPECT_EQ(pl_merge_oneofs(empty, "echo a\noneof -f none\n", "", &slot), nullptr);
  EXPECT_EQ(slot, 0u);  // the slot stays used, empty
  EXPECT_EQ(empty->entries[0].kind, PL_LIST);
  EXPECT_TRUE(empty->entries[0].values.empty());
}

TEST(PickMerge, MergeListAppendsWhatIsMissing) {
  Picklist dst;  // free
  merge_list(Picklist{PL_FILE, "s", {"b", "a", "b"}}, dst);
  merge_list(Picklist{PL_LIST, "t", {"c", "a"}}, dst);
  EXPECT_EQ(dst.kind, PL_LIST);
  EXPECT_EQ(dst.values, (Values{"b", "a", "c"}));
  EXPECT_TRUE(finddups(dst.values, "c"));
  EXPECT_EXIT(merge_list(Picklist{}, dst), ::testing::ExitedWithCode(1), "AHHH! merge_list\n");
}

// Lists read from files below a database home.
class PickFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    home.file("class/bugs/oneofs/colors", "  red\n\n\tdark blue  \ngreen\n");
    home.file("lists/colors", "other\n");
    home.file("class/bugs/oneofs/people.rec", "Members: alice \"bob b\"\n carol\nEmpty:\n");
  }
  test::TempHome home;
  test::SiteEnv env{home.path()};  // no password lookup for the test's home
  const std::string path = "class/bugs/none:class/bugs/oneofs:lists";
};

TEST_F(PickFiles, FileNamesResolve) {
  const std::string abs = home / "lists/colors";
  const std::pair<std::string, std::optional<Values>> cases[] = {
      {"oneof -f \"col\"ors", Values{"red", "dark blue  ", "green"}},  // quotes dropped
      {"oneof -f " + abs, Values{"other"}},
      {"oneof -f $~lists/colors", Values{"other"}},
      {"oneof -f nothere", std::nullopt},
      {"oneof -f $~/class", std::nullopt},  // a directory is no list
      {"someof -d people.rec members", Values{"alice", "bob b", "carol"}},
      {"someof -d people.rec Empty", std::nullopt},
      {"someof -d people.rec", Values{"Members:", "alice", "bob b", "carol", "Empty:"}},
      {"someof -d $~/class Members", std::nullopt},
  };
  for (const auto& [line, want] : cases) EXPECT_EQ(pl_get_oneof(line, path), want) << line;
  // Absolute search directories work as well.
  EXPECT_EQ(pl_get_oneof("oneof -f colors", home / "lists"), (Values{"other"}));
}

TEST_F(PickFiles, SameLineIsReadOnce) {
  std::optional<PickTable> table{PickTable{}};
  Picklist* first = pl_find_oneof(table, " oneof -f colors", path);
  ASSERT_NE(first, nullptr);
  home.file("class/bugs/oneofs/colors", "changed\n");
  // A second field with the same line gets the cached entry, not the new file.
  Picklist* second = pl_find_oneof(table, "oneof -f colors\n", path);
  EXPECT_EQ(second, &table->entries[0]);
  EXPECT_EQ(second->values, (Values{"red", "dark blue  ", "green"}));
  EXPECT_EQ(which_oneof(*table, "other"), 1u);
  // Without the table the file is read afresh.
  EXPECT_EQ(pl_get_oneof("oneof -f colors", path), (Values{"changed"}));
}

TEST_F(PickFiles, OneFileUnderManyNamesIsReadOnce) {
  std::optional<PickTable> table{PickTable{}};
  const std::string spellings[] = {"colors", "./colors", "../oneofs/colors",
                                   "$~class/bugs/oneofs/colors", home / "class/bugs/oneofs/colors"};
  std::vector<const char*> storage;
  for (const std::string& name : spellings) {
    Picklist* p = pl_find_oneof(table, "oneof -f " + name, "class/bugs/oneofs");
    ASSERT_NE(p, nullptr) << name;
    storage.push_back(p->values[0].data());
    home.file("class/bugs/oneofs/colors", "changed\n");  // not read again
  }
  for (const char* text : storage) EXPECT_EQ(text, storage.front());  // one copy
  EXPECT_EQ(table->entries[4].values, (Values{"red", "dark blue  ", "green"}));
  EXPECT_EQ(table->files.size(), 1u);
  // A record's fields are lists of their own.
  pl_find_oneof(table, "someof -d people.rec Members", path);
  pl_find_oneof(table, "someof -d ./people.rec Empty", path);
  EXPECT_EQ(table->files.size(), 3u);
}

}  // namespace
}  // namespace plix
