#include "template/browser_detect.h"

#include <cstdlib>
#include <string_view>

namespace plix {

namespace {

// Whether key occurs in agent; c gets the character right after it ('\0'
// when the key ends the text).
bool char_after(std::string_view agent, std::string_view key, char& c) {
  std::size_t at = agent.find(key);
  if (at == std::string_view::npos) return false;
  at += key.size();
  c = at < agent.size() ? agent[at] : '\0';
  return true;
}

}  // namespace

int pl_determine_browser(int code) {
  if (code != kBrowserCodeUnknown) return code;
  const char* env = std::getenv("HTTP_USER_AGENT");
  if (env == nullptr) return kBrowserCodeNone;
  std::string_view agent = env;
  char c = '\0';
  // Internet Explorer also says "Mozilla/", so it is recognized first.
  if (char_after(agent, "MSIE ", c)) {
    if (c == '3') return kBrowserCodeIE;
    if (c >= '4' && c <= '9') return kBrowserCodeIE4;
  }
  if (char_after(agent, "Mozilla/", c))
    return (c == '3' || c == '4') ? kBrowserCodeMozilla4 : kBrowserCodeMozilla5;
  return kBrowserCodeNone;
}

}  // namespace plix
