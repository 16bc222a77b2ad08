#include "template/browser_detect.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace plix {
namespace {

// The end-to-end tests cover MSIE 5, Mozilla 5 and an unset agent.
TEST(BrowserDetect, AgentTextDecidesUnlessACodeIsGiven) {
  std::optional<std::string> saved;
  if (const char* v = std::getenv("HTTP_USER_AGENT")) saved = v;
  const std::pair<const char*, int> cases[] = {
      {"Mozilla/2.0 (compatible; MSIE 3.02; Windows 95)", kBrowserCodeIE},
      {"Mozilla/4.7 [en] (X11; I; Linux)", kBrowserCodeMozilla4},
      {"Mozilla/2.0 (compatible; MSIE 2.0)", kBrowserCodeMozilla5},
      {"Mozilla/4.0 (compatible; MSIE 10.0)", kBrowserCodeMozilla4},  // "1" is not 3..9
      {"Lynx/2.8 MSIE ", kBrowserCodeNone},
      {"", kBrowserCodeNone},
  };
  for (const auto& [agent, want] : cases) {
    ::setenv("HTTP_USER_AGENT", agent, 1);
    EXPECT_EQ(pl_determine_browser(0), want) << agent;
  }
  EXPECT_EQ(pl_determine_browser(42), 42);
  saved ? ::setenv("HTTP_USER_AGENT", saved->c_str(), 1) : ::unsetenv("HTTP_USER_AGENT");
}

}  // namespace
}  // namespace plix
