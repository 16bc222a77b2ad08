#include "layoutgen/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "layoutgen/actions.h"

namespace plix {
namespace {

bool parse(std::vector<std::string> args, LayoutgenOptions& o) {
  args.insert(args.begin(), "layoutgen");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return parse_options(static_cast<int>(args.size()), argv.data(), o);
}

TEST(BrowserFromName, FirstMatchingTestDecides) {
  const std::pair<const char*, BrowserType> cases[] = {
      {"Netscape7", BROWSER_MOZILLA5}, {"Netscape", BROWSER_MOZILLA4}, {"mozilla", BROWSER_MOZILLA4},
      {"MSIE4", BROWSER_IE4},          {"ie4", BROWSER_IE4},           {"MSIE", BROWSER_IE},
      {"Explorer", BROWSER_IE},        {"none", BROWSER_NONE},         {"NONE", BROWSER_NONE},
      {"lynx", BROWSER_UNKNOWN},       {"", BROWSER_UNKNOWN},
      // "ie" wins over "none" because the IE test comes first.
      {"nonie", BROWSER_IE},
  };
  for (const auto& [name, type] : cases) EXPECT_EQ(browser_from_name(name), type) << name;
}

TEST(ParseOptions, ConflictsAreRefusedInEitherOrder) {
  const std::vector<std::vector<std::string>> refused = {
      {"-c", "x", "-i", "ABCde00001"}, {"-i", "ABCde00001", "-c", "x"},
      {"-p", "x", "-i", "ABCde00001"}, {"-i", "ABCde00001", "-p", "x"},
      {"-a", "submit", "-a", "modify"}, {"-s", "A", "-s", "B"},
      {"-c", "a", "-c", "b"},           {"-t", "x"},
      {"-a"},
  };
  for (const auto& args : refused) {
    LayoutgenOptions o;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(parse(args, o)) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    testing::internal::GetCapturedStderr();
  }
  LayoutgenOptions o;
  EXPECT_TRUE(parse({"-c", "bugs", "-p", "alpha", "-v"}, o));
  EXPECT_EQ(*o.klass, "bugs");
  EXPECT_EQ(*o.project, "alpha");
  EXPECT_TRUE(o.verbose);
}

TEST(ParseOptions, LaterOfMAndBWins) {
  LayoutgenOptions a, b;
  ASSERT_TRUE(parse({"-m", "-b", "none"}, a));
  EXPECT_EQ(a.browser, BROWSER_NONE);
  ASSERT_TRUE(parse({"-b", "none", "-m"}, b));
  EXPECT_EQ(b.browser, BROWSER_MOZILLA4);
}

TEST(FindAction, PrefixSelectsFirstNameInTableOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {"s", "submit"},  {"c", "clone"},   {"con", "convert"}, {"", "submit"},
      {"t", "transition"}, {"ca", "cached_query"}, {"d", "display"}, {"q", "query"},
  };
  for (const auto& [value, name] : cases) {
    const ActionInfo* a = find_action(value);
    ASSERT_NE(a, nullptr) << value;
    EXPECT_EQ(a->name, name);
  }
  EXPECT_EQ(find_action("add_enclosure"), nullptr);
  EXPECT_EQ(find_action("submits"), nullptr);
}

TEST(UsageText, NamesProgramOnEveryCommandLine) {
  std::string text = usage_text("lg");
  EXPECT_EQ(text.rfind("Usage:\nlg -a submit {-c <class> | -p <project>} [-v] [-m] [-b <browser>]\n", 0), 0u);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 16);
  EXPECT_NE(text.find("\t-i <bugid> is the bug identifier \n"), std::string::npos);
}

}  // namespace
}  // namespace plix
