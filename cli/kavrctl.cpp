#include "kavrctl.h"

#include "command_line.h"
#include "output.h"
#include "session.h"

namespace kavr::cli {

int InterruptedExitCode(const Console& console, bool outputLost) {
  const int signal = console.interruptSignal ? console.interruptSignal() : 0;
  if (signal > 0) return 128 + signal;
  return outputLost || console.interruptSignal ? kOutputFailed : kInterrupted;
}

std::string SignalName(int signal) {
  // The numbers every system this builds for gives these four.
  switch (signal) {
    case 1:
      return "SIGHUP";
    case 2:
      return "SIGINT";
    case 3:
      return "SIGQUIT";
    case 15:
      return "SIGTERM";
    default:
      return "signal " + std::to_string(signal);
  }
}

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
