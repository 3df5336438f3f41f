// kavrctl, the command-line client: its commands over a controller library,
// with every stream, clock and the library itself handed in, so that a test
// runs the whole program on a scripted library.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/motion_wait.h"
#include "device/controller_library.h"

namespace kavr::cli {

enum ExitCode : int {
  kSuccess = 0,
  kBadUsage = 1,  // also a value refused before anything was sent
  kCallFailed = 2,
  kNoController = 3,
  kControllerNotChosen = 4,
  kLibraryNotLoaded = 5,
  kWaitTimedOut = 6,
  kPlanFailed = 7,     // run: one or more controllers failed the plan
  kOutputFailed = 8,   // standard output, the transcript or a report file could not be written
  kInterrupted = 130,  // Ctrl+C, as a shell reports a program ended by SIGINT; other signals 128 + signal
};

// The controller library: the file beside the program when `file` is empty,
// else the file at that absolute path.
using LibraryFactory =
    std::function<std::shared_ptr<ControllerLibrary>(const std::optional<std::filesystem::path>& file)>;

// What the program talks through.
struct Console {
  std::istream& in;  // settings read from "-"
  std::ostream& out;
  std::ostream& err;
  std::string decimalSeparator = ".";  // of the reports and watch lines
  Pacing pacing = SystemPacing();
  std::function<std::string()> clockText;  // the time a watch line starts with
  // From armInterrupt on, Ctrl+C, SIGTERM, SIGHUP, SIGQUIT (or closing the
  // console on Windows) end `run`, `watch` and `start --wait` cleanly
  // instead of the program: what they started is stopped first.
  std::function<void()> armInterrupt;
  // True once such a signal came, or standard output can be seen to be
  // gone (a pipe whose reader has closed it).
  std::function<bool()> interrupted;
  // The signal behind `interrupted`: 0 when it was the lost output. Left
  // empty, an interruption counts as Ctrl+C.
  std::function<int()> interruptSignal;
};

// The exit code of an interrupted command: 128 + the signal, else
// kOutputFailed for a lost output.
int InterruptedExitCode(const Console& console, bool outputLost = false);
// "SIGHUP" and the like; a closed console on Windows counts as SIGHUP.
std::string SignalName(int signal);

// `args` without the program's name. Returns the exit code.
int RunKavrctl(const std::vector<std::string>& args, const LibraryFactory& openLibrary, Console& console);

}  // namespace kavr::cli
