// kavrctl run in the benchmark's own process: its streams in memory, the
// real clock, and no signal ever arriving.
#pragma once

#include <iosfwd>
#include <string>

#include "kavrctl.h"

namespace kavr::bench {

inline cli::Console QuietConsole(std::istream& in, std::ostream& out, std::ostream& err) {
  return cli::Console{.in = in,
                      .out = out,
                      .err = err,
                      .decimalSeparator = ".",
                      .pacing = SystemPacing(),
                      .clockText = [] { return std::string(); },
                      .armInterrupt = [] {},
                      .interrupted = [] { return false; },
                      .interruptSignal = {}};
}

}  // namespace kavr::bench
