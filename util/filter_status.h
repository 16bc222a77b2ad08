// Status codes of the filter language: every built-in command, field
// program and template run answers with one of them.
#pragma once

namespace plix {

enum FilterStatus : int {
  kFilterAccept = 0,     ///< the value is accepted
  kFilterRejectMin = 1,  ///< 1 to 248: the value is rejected
  kFilterRejectMax = 248,
  kFilterBreak = 249,   ///< leave the enclosing loop
  kFilterGoto = 250,    ///< go on at another field
  kFilterReturn = 251,  ///< end the template run
  kFilterSkip = 252,    ///< skip the rest of the field
  kFilterShown = 253,   ///< the value was shown
  kFilterBackUp = 254,  ///< back up to the previous field
  kFilterAbort = 255,   ///< abort the run
};

}  // namespace plix
