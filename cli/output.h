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
// feed; control characters within a line are escaped. A write that fails
// (a full disk, a closed pipe) throws the kOutputFailed Failure, naming
// `streamName`: output that is lost is never reported as success.
void PrintText(std::ostream& out, std::string_view text, std::string_view streamName = "standard output");

// Throws the kOutputFailed Failure when `out` has failed a write.
void CheckWritten(std::ostream& out, std::string_view streamName = "standard output");

// "kavrctl: " and the message, its lines as PrintText writes them. Never
// throws: standard error is the last place to report to.
void PrintFailure(std::ostream& err, std::string_view message);

}  // namespace kavr::cli
