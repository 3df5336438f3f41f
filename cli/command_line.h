// kavrctl's options and commands, described once for parsing and --help.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "kavrctl.h"
#include "request.h"

namespace kavr::cli {

// Fills `request` from `args`. Returns an exit code when the run ends here:
// 0 after --help or --version (printed to console.out), kBadUsage after a
// usage error (explained on console.err).
std::optional<int> ParseCommandLine(const std::vector<std::string>& args, Request& request, Console& console);

}  // namespace kavr::cli
