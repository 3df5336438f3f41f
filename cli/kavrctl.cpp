#include "kavrctl.h"

#include "command_line.h"
#include "output.h"
#include "session.h"

namespace kavr::cli {

int RunKavrctl(const std::vector<std::string>& args, const LibraryFactory& openLibrary, Console& console) {
  Request request;
  Session session(request, openLibrary);
  int code = kSuccess;
  try {
    if (const auto ended = ParseCommandLine(args, request, console)) {
      // --help and --version print through the parser, not PrintText.
      if (*ended == kSuccess) CheckWritten(console.out);
      return *ended;
    }
    code = request.run(request, session, console);
  } catch (const Failure& failure) {
    PrintFailure(console.err, failure.message);
    code = failure.code;
  }
  // A transcript that lost a line is reported whatever the command did.
  try {
    session.CheckTranscript();
  } catch (const Failure& failure) {
    PrintFailure(console.err, failure.message);
    if (code == kSuccess) code = failure.code;
  }
  return code;
}

}  // namespace kavr::cli
