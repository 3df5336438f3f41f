#include "output.h"

#include <cerrno>
#include <cstring>
#include <ostream>

#include "app/terminal_text.h"
#include "kavrctl.h"

namespace kavr::cli {
namespace {

void WriteLines(std::ostream& out, std::string_view text) {
  for (const std::string& line : TerminalLines(text)) {
    if (!(out << line << '\n' << std::flush)) return;
  }
}

}  // namespace

void CheckWritten(std::ostream& out, std::string_view streamName) {
  if (out) return;
  const int error = errno;
  throw Failure{kOutputFailed, "cannot write to " + std::string(streamName) +
                                   (error != 0 ? ": " + std::string(std::strerror(error)) : "")};
}

void PrintText(std::ostream& out, std::string_view text, std::string_view streamName) {
  errno = 0;
  WriteLines(out, text);
  CheckWritten(out, streamName);
}

void PrintFailure(std::ostream& err, std::string_view message) {
  WriteLines(err, "kavrctl: " + std::string(message));
}

}  // namespace kavr::cli
