// The layoutgen command line: options, their conflicts, and the usage text.
//
//   -a action  -c class  -p project  -i record-id  -s state  -v  -m  -b browser
//
// A conflict is found when the second option of a pair is met, so -c before
// -i and -i before -c are both refused. -m and -b both set the browser type;
// the later one wins.
#pragma once

#include <optional>
#include <string>

#include "layoutgen/browser.h"

namespace plix {

struct LayoutgenOptions {
  std::optional<std::string> action;   ///< -a
  std::optional<std::string> klass;    ///< -c
  std::optional<std::string> project;  ///< -p
  std::optional<std::string> id;       ///< -i
  std::optional<std::string> state;    ///< -s
  bool verbose = false;                ///< -v
  BrowserType browser = BROWSER_UNKNOWN;
};

/// Reads the options (getopt over "a:c:p:i:s:vmb:"; its own diagnostics go
/// to stderr). Unknown -b names are warned about and the scan goes on.
/// False when the usage text is due. Resets getopt's state first.
bool parse_options(int argc, char** argv, LayoutgenOptions& opts);

/// The usage text, with the program name for each "%s".
std::string usage_text(const char* prog);
/// Writes the usage text to stderr and ends the run with status 1.
[[noreturn]] void usage_exit(const char* prog);

}  // namespace plix
