// Browser types of the form description, and how a -b name maps to one.
#pragma once

#include <string_view>

#include "template/browser_detect.h"

namespace plix {

enum BrowserType : int {
  BROWSER_UNKNOWN = kBrowserCodeUnknown,  ///< resolved from the user agent before output
  BROWSER_NONE = kBrowserCodeNone,        ///< no scripting: dependent picklists become text fields
  BROWSER_MOZILLA4 = kBrowserCodeMozilla4,
  BROWSER_MOZILLA5 = kBrowserCodeMozilla5,
  BROWSER_IE = kBrowserCodeIE,  ///< lists are objects named with "_OBJ"
  BROWSER_IE4 = kBrowserCodeIE4,
};

/// The type a -b argument names (case-sensitive substring tests, first match
/// wins); BROWSER_UNKNOWN when none matches. Prints nothing.
BrowserType browser_from_name(std::string_view name);

}  // namespace plix
