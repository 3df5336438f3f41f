// How the stand-in says, inside itself, that something could not be done.
// Every step that can fail returns a Problem: empty when it went well,
// otherwise why, in words that can go straight into a warning or the
// last-error text. What a step produces goes to an argument it fills.
// Only the entries turn a Problem into a result code and the last-error
// text, which is all that the caller of the library ever sees.
#pragma once

#include <optional>
#include <string>

namespace kavr::sim {

using Problem = std::optional<std::string>;

}  // namespace kavr::sim
