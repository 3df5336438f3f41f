// kavrctl: the command line over the controller library beside it. Decides
// the streams, the user's decimal separator and Ctrl+C once, then runs.
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "transcript/clock_text.h"
#include "app/decimal_separator.h"
#include "device/dynamic_controller_library.h"
#include "kavrctl.h"
#include "program_streams.h"

namespace {

// Set by Ctrl+C (or SIGTERM, or the console's closing on Windows) once a
// command has armed it. A signal handler can reach only static storage,
// hence this one global.
std::atomic<bool> interruptRequested{false};

extern "C" void OnInterrupt(int signalNumber) {
  interruptRequested = true;
  // A second one ends the program at once, even inside a call that hangs.
  std::signal(signalNumber, SIG_DFL);
}

#ifdef _WIN32
// Ctrl+C reaches the C library's SIGINT, but Ctrl+Break and closing the
// console window only this handler.
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (interruptRequested.exchange(true)) ExitProcess(130);  // the second ends the program at once
  // Windows ends the program when this returns from a close; the command
  // gets that long to say what it leaves behind.
  if (event == CTRL_CLOSE_EVENT) Sleep(500);
  return TRUE;
}
#endif

void ArmInterrupt() {
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#endif
}

std::shared_ptr<kavr::ControllerLibrary> OpenLibrary(const std::optional<std::filesystem::path>& file) {
  if (file) return std::make_shared<kavr::DynamicControllerLibrary>(*file);
  return std::make_shared<kavr::DynamicControllerLibrary>();
}

}  // namespace

int main(int argc, char** argv) {
  const kavr::cli::ProgramStreams streams;
  kavr::cli::Console console{
      .in = std::cin,
      .out = std::cout,
      .err = std::cerr,
      .decimalSeparator = kavr::UserDecimalSeparator(),
      .pacing = kavr::SystemPacing(),
      .clockText = [] { return kavr::LocalClockText(std::chrono::system_clock::now()); },
      .armInterrupt = ArmInterrupt,
      .interrupted = [] { return interruptRequested.load(); },
  };
  return kavr::cli::RunKavrctl(kavr::cli::Utf8Arguments(argc, argv), OpenLibrary, console);
}
