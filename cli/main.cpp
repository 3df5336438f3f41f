// kavrctl: the command line over the controller library beside it. Decides
// the streams, the user's decimal separator and the ending signals once,
// then runs.
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include "app/decimal_separator.h"
#include "device/dynamic_controller_library.h"
#include "kavrctl.h"
#include "program_streams.h"
#include "transcript/clock_text.h"

namespace {

// The first signal that asked a command to end (0 while none has), set
// once a command has armed the handlers. A signal handler can reach only
// static storage, hence this one global.
std::atomic<int> interruptSignal{0};

extern "C" void OnInterrupt(int signalNumber) {
  int none = 0;
  interruptSignal.compare_exchange_strong(none, signalNumber);
  // A second one ends the program at once, even inside a call that hangs.
  std::signal(signalNumber, SIG_DFL);
}

#ifdef _WIN32
// Windows has no SIGHUP; a console closed, a logoff or a shutdown count as one.
constexpr int kHangUp = 1;

// Ctrl+C reaches the C library's SIGINT, but Ctrl+Break and closing the
// console window only this handler.
BOOL WINAPI OnConsoleControl(DWORD event) {
  const int signalNumber = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : kHangUp;
  int none = 0;
  if (!interruptSignal.compare_exchange_strong(none, signalNumber))
    ExitProcess(128 + none);  // the second ends it
  // Windows ends the program when this returns from a close, and at the
  // latest 5 s after; the command gets that long to stop what it started
  // and write its reports (its own end ends the program first).
  if (signalNumber == kHangUp) Sleep(4500);
  return TRUE;
}
#endif

// Ends that come from outside and must not leave a motor running.
constexpr int kEndingSignals[] = {
    SIGINT,
    SIGTERM,
#ifndef _WIN32
    SIGHUP,
    SIGQUIT,
#endif
};

void ArmInterrupt() {
  for (const int signalNumber : kEndingSignals) std::signal(signalNumber, OnInterrupt);
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#endif
}

// Standard output seen to be gone: a pipe whose reader closed it, a
// terminal that hung up. Seen without writing, so that a run waiting on
// its motors stops them at once rather than at its next line.
bool StandardOutputGone() {
#ifdef _WIN32
  return false;
#else
  pollfd out{.fd = STDOUT_FILENO, .events = POLLOUT, .revents = 0};
  return poll(&out, 1, 0) == 1 && (out.revents & (POLLERR | POLLHUP)) != 0;
#endif
}

std::shared_ptr<kavr::ControllerLibrary> OpenLibrary(const std::optional<std::filesystem::path>& file) {
  if (file) return std::make_shared<kavr::DynamicControllerLibrary>(*file);
  return std::make_shared<kavr::DynamicControllerLibrary>();
}

}  // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
  // A closed pipe fails the write instead of ending the program, so that
  // the loss is reported (exit code 8) and what was started is stopped.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  const kavr::cli::ProgramStreams streams;
  kavr::cli::Console console{
      .in = std::cin,
      .out = std::cout,
      .err = std::cerr,
      .decimalSeparator = kavr::UserDecimalSeparator(),
      .pacing = kavr::SystemPacing(),
      .clockText = [] { return kavr::LocalClockText(std::chrono::system_clock::now()); },
      .armInterrupt = ArmInterrupt,
      .interrupted = [] { return interruptSignal.load() != 0 || StandardOutputGone(); },
      .interruptSignal = [] { return interruptSignal.load(); },
  };
  return kavr::cli::RunKavrctl(kavr::cli::Utf8Arguments(argc, argv), OpenLibrary, console);
}
