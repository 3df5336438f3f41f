// kavrctl: the command line over the controller library beside it. Decides
// the streams, the user's decimal separator and Ctrl+C once, then runs.
#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>

#include "app/clock_text.h"
#include "app/decimal_separator.h"
#include "kavr/dynamic_controller_library.h"
#include "kavrctl.h"
#include "program_streams.h"

namespace {

// Set by Ctrl+C once `watch` has armed it. A signal handler can reach only
// static storage, hence this one global.
std::atomic<bool> interruptRequested{false};

extern "C" void OnInterrupt(int) {
  interruptRequested = true;
  // A second Ctrl+C ends the program at once, even inside a call that hangs.
  std::signal(SIGINT, SIG_DFL);
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
      .armInterrupt = [] { std::signal(SIGINT, OnInterrupt); },
      .interrupted = [] { return interruptRequested.load(); },
  };
  return kavr::cli::RunKavrctl(kavr::cli::Utf8Arguments(argc, argv), OpenLibrary, console);
}
