// Exit statuses of layoutgen, as the calling CGI scripts read them.
#pragma once

namespace plix {

enum LayoutgenExit : int {
  kExitOk = 0,           ///< the whole description was printed
  kExitUsage = 1,        ///< usage, bad input, unparsable template, failed project lookup
  kExitNoTemplate = 2,   ///< the template file cannot be opened
  kExitUnusable = 3,     ///< record, project, states or search paths unusable
  kExitNotWebUser = 4,   ///< cached_query not run as the web user
};

}  // namespace plix
