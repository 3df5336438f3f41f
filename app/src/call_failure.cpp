#include "app/call_failure.h"

#include "app/terminal_text.h"
#include "contract/own_result_codes.h"
#include "reports/reports.h"

namespace kavr {

FailedCallWords DescribeFailedCall(ControllerLibrary& library, Entry entry, ResultCode result) {
  if (const std::string failure = library.LibraryLoadFailure(); !failure.empty()) {
    const std::string words = TerminalSafe(failure);
    return {words, words};
  }
  // The binding's own text names the library file and what it lacks.
  const std::string lastError = TerminalSafe(LastErrorText(library));
  if (result == kLibraryUnavailable) return {lastError, lastError};
  return {
      std::string(EntryName(entry)) + " failed with ResultCode " + std::to_string(result) + ": " + lastError,
      lastError};
}

bool LibraryGone(ControllerLibrary& library, ResultCode result) {
  return result == kLibraryUnavailable || !library.LibraryLoadFailure().empty();
}

}  // namespace kavr
