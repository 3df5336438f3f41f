// kavrctl run in the test's own process on the shared scripted library,
// with its streams captured and a clock that moves only when it sleeps.
#pragma once

#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fakes.h"
#include "kavrctl.h"

namespace cli_test {

struct Ran {
  int code = 0;
  std::string out, err;
};

struct KavrctlRunner {
  fakes::FakeLibrary library;
  std::optional<std::filesystem::path> openedFile;
  int opened = 0;
  std::string decimalSeparator = ".";
  std::chrono::steady_clock::time_point now;
  int sleeps = 0;
  int interruptAfterSleeps = -1;  // Ctrl+C after this many sleeps; -1: never
  bool outputFails = false;       // standard output on a full disk

  KavrctlRunner() { library.initCount = 1; }

  Ran Run(const std::vector<std::string>& args, const std::string& input = {}) {
    std::istringstream in(input);
    std::ostringstream out, err;
    if (outputFails) out.setstate(std::ios::badbit);
    kavr::cli::Console console{
        .in = in,
        .out = out,
        .err = err,
        .decimalSeparator = decimalSeparator,
        .pacing = {[this] { return now; },
                   [this](std::chrono::milliseconds pause) {
                     now += pause;
                     ++sleeps;
                   }},
        .clockText = [] { return std::string("12:00:00.000"); },
        .armInterrupt = [] {},
        .interrupted = [this] { return interruptAfterSleeps >= 0 && sleeps >= interruptAfterSleeps; },
        .interruptSignal = {},  // an interruption is Ctrl+C
    };
    const auto open = [this](const std::optional<std::filesystem::path>& file) {
      openedFile = file;
      ++opened;
      return std::shared_ptr<kavr::ControllerLibrary>(&library, [](kavr::ControllerLibrary*) {});
    };
    const int code = kavr::cli::RunKavrctl(args, open, console);
    return {code, out.str(), err.str()};
  }
};

}  // namespace cli_test
