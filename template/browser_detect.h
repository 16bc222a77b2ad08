// Which kind of browser asks for a form, from HTTP_USER_AGENT. The codes
// are those of the form generator's browser type (0 there means "not yet
// known"; detection never returns it).
#pragma once

namespace plix {

inline constexpr int kBrowserCodeUnknown = 0;   ///< ask the environment
inline constexpr int kBrowserCodeNone = 1;      ///< none or unrecognized
inline constexpr int kBrowserCodeMozilla4 = 2;  ///< Mozilla 3 or 4
inline constexpr int kBrowserCodeMozilla5 = 3;  ///< any other Mozilla
inline constexpr int kBrowserCodeIE = 4;        ///< Internet Explorer 3
inline constexpr int kBrowserCodeIE4 = 5;       ///< Internet Explorer 4 or later

/// A non-zero code unchanged; 0 gives the code detected from the
/// HTTP_USER_AGENT environment variable.
int pl_determine_browser(int code);

}  // namespace plix
