#include "layoutgen/browser.h"

#include <utility>

namespace plix {

BrowserType browser_from_name(std::string_view name) {
  // Tests in order, first match wins: "etscape7" before "etscape", "MSIE4"
  // before "MSIE".
  static constexpr std::pair<std::string_view, BrowserType> kRules[] = {
      {"etscape7", BROWSER_MOZILLA5}, {"etscape", BROWSER_MOZILLA4}, {"moz", BROWSER_MOZILLA4},
      {"zil", BROWSER_MOZILLA4},      {"MSIE4", BROWSER_IE4},        {"ie4", BROWSER_IE4},
      {"MSIE", BROWSER_IE},           {"ie", BROWSER_IE},            {"ie3", BROWSER_IE},
      {"xplore", BROWSER_IE},         {"nternet", BROWSER_IE},       {"NONE", BROWSER_NONE},
      {"none", BROWSER_NONE},
  };
  for (const auto& [needle, type] : kRules)
    if (name.find(needle) != std::string_view::npos) return type;
  return BROWSER_UNKNOWN;
}

}  // namespace plix
