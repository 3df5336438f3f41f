// A library call that failed, in the words kavrctl and the plan runner show:
// the entry, its code and the library's last error, made safe for a
// terminal; or the library's own words when it is not there to call.
//
// Shells: kavrctl.
#pragma once

#include <string>

#include "contract/entry_names.h"
#include "contract/result_code.h"
#include "device/controller_library.h"

namespace kavr {

struct FailedCallWords {
  // "GetState failed with ResultCode 3: <last error>"; for a library that
  // is not there, only its own words.
  std::string text;
  // The last error alone (or the load failure), for a caller that reports
  // it as a field of its own.
  std::string lastError;
};

FailedCallWords DescribeFailedCall(ControllerLibrary& library, Entry entry, ResultCode result);

// True when the library itself is gone: it did not load, or a call never
// reached it. A run cannot go on; any other failure is one call's.
bool LibraryGone(ControllerLibrary& library, ResultCode result);

}  // namespace kavr
