#include "reports/reports.h"
#include "text/text.h"

namespace kavr {

namespace {
constexpr std::string_view kErrorTitle = "Error";
}  // namespace

std::string LastErrorText(ControllerLibrary& library) {
  LibraryText buffer = EmptyLibraryText();
  library.GetLastErr(buffer);
  // The library owns only the buffer's length; never show past it, even if
  // a binding handed back more than it was given.
  std::u32string_view text(buffer);
  text = text.substr(0, kLibraryTextLength);
  return ToUtf8(UpToFirstNul(text));
}

void PrintLastError(ControllerLibrary& library, ReportDisplay& display) {
  display.ShowReport(LastErrorText(library), std::string(kErrorTitle));
}

}  // namespace kavr
