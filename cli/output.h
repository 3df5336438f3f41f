// What kavrctl writes: results on standard output, one flushed line at a
// time so that a script reading a pipe sees each as it comes, and failures
// on standard error.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace kavr::cli {

// A run ends early with `code`; `message` is shown on standard error. Text
// from the library in it is already TerminalSafe.
struct Failure {
  int code;
  std::string message;
};

// Each line of `text` (report lines end in carriage returns) with a line
// feed; control characters within a line are escaped.
void PrintText(std::ostream& out, std::string_view text);

// "kavrctl: " and the message, its lines as PrintText writes them.
void PrintFailure(std::ostream& err, std::string_view message);

}  // namespace kavr::cli
