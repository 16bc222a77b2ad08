// Browser types of the form description, and how a -b name maps to one.
#pragma once

#include <string_view>

namespace plix {

enum BrowserType : int {
  BROWSER_UNKNOWN = 0,  ///< resolved from the user agent before output
  BROWSER_NONE = 1,     ///< no scripting: dependent picklists become text fields
  BROWSER_MOZILLA4 = 2,
  BROWSER_MOZILLA5 = 3,
  BROWSER_IE = 4,  ///< lists are objects named with "_OBJ"
  BROWSER_IE4 = 5,
};

/// The type a -b argument names (case-sensitive substring tests, first match
/// wins); BROWSER_UNKNOWN when none matches. Prints nothing.
BrowserType browser_from_name(std::string_view name);

}  // namespace plix
