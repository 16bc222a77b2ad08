#include "template/browser_detect.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace plix {
namespace {

class BrowserDetect : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* v = std::getenv("HTTP_USER_AGENT")) saved = v;
  }
  void TearDown() override {
    if (saved)
      ::setenv("HTTP_USER_AGENT", saved->c_str(), 1);
    else
      ::unsetenv("HTTP_USER_AGENT");
  }
  std::optional<std::string> saved;
};

TEST_F(BrowserDetect, AgentTextDecides) {
  const std::pair<const char*, int> cases[] = {
      {"Mozilla/4.0 (compatible; MSIE 5.0; Windows 98)", kBrowserCodeIE4},
      {"Mozilla/2.0 (compatible; MSIE 3.02; Windows 95)", kBrowserCodeIE},
      {"Mozilla/4.7 [en] (X11; I; Linux)", kBrowserCodeMozilla4},
      {"Mozilla/3.01 (Win95; I)", kBrowserCodeMozilla4},
      {"Mozilla/5.0 (X11; Linux x86_64) Gecko/20100101", kBrowserCodeMozilla5},
      {"Mozilla/2.0 (compatible; MSIE 2.0)", kBrowserCodeMozilla5},
      {"Mozilla/4.0 (compatible; MSIE 10.0)", kBrowserCodeMozilla4},  // "1" is not 3..9
      {"Mozilla/", kBrowserCodeMozilla5},
      {"Lynx/2.8 MSIE ", kBrowserCodeNone},
      {"Lynx/2.8.9", kBrowserCodeNone},
      {"", kBrowserCodeNone},
  };
  for (const auto& [agent, want] : cases) {
    ::setenv("HTTP_USER_AGENT", agent, 1);
    EXPECT_EQ(pl_determine_browser(0), want) << agent;
  }
}

TEST_F(BrowserDetect, NoAgentMeansNoBrowser) {
  ::unsetenv("HTTP_USER_AGENT");
  EXPECT_EQ(pl_determine_browser(0), kBrowserCodeNone);
}

TEST_F(BrowserDetect, GivenCodeIsKept) {
  ::setenv("HTTP_USER_AGENT", "Mozilla/5.0", 1);
  for (int code : {1, 2, 4, 5, 42, -1}) EXPECT_EQ(pl_determine_browser(code), code);
}

}  // namespace
}  // namespace plix
