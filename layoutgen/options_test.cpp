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

// The first matching name test decides; the end-to-end tests pass MSIE, Netscape and lynx.
TEST(BrowserFromName, FirstMatchingTestDecides) {
  const std::pair<const char*, BrowserType> cases[] = {
      {"Netscape7", BROWSER_MOZILLA5}, {"MSIE4", BROWSER_IE4}, {"Explorer", BROWSER_IE},
      {"NONE", BROWSER_NONE},          {"nonie", BROWSER_IE},  {"", BROWSER_UNKNOWN}};
  for (const auto& [name, type] : cases) EXPECT_EQ(browser_from_name(name), type) << name;
}

// The end-to-end tests run every other refused command line.
TEST(ParseOptions, RepeatsRefusedAndLaterBrowserWins) {
  for (const char* opt : {"-c", "-p"}) {
    LayoutgenOptions o;
    EXPECT_FALSE(parse({opt, "a", opt, "b"}, o)) << opt;
  }
  LayoutgenOptions a, b;
  ASSERT_TRUE(parse({"-c", "bugs", "-p", "alpha", "-v", "-m", "-b", "none"}, a));
  EXPECT_EQ(*a.klass, "bugs");
  EXPECT_EQ(*a.project, "alpha");
  EXPECT_TRUE(a.verbose);
  EXPECT_EQ(a.browser, BROWSER_NONE);
  ASSERT_TRUE(parse({"-b", "none", "-m"}, b));
  EXPECT_EQ(b.browser, BROWSER_MOZILLA4);
}

// The end-to-end tests select actions by the prefixes s, t, con and ca.
TEST(FindAction, PrefixSelectsFirstNameInTableOrder) {
  for (auto [value, name] : {std::pair{"c", "clone"}, std::pair{"", "submit"}}) {
    const ActionInfo* a = find_action(value);
    ASSERT_NE(a, nullptr) << value;
    EXPECT_EQ(a->name, name);
  }
  EXPECT_EQ(find_action("submits"), nullptr);
}

}  // namespace
}  // namespace plix
