// How the program's core says that something could not be done.
// A step returns what it produces: a std::optional<T>, a pointer for an
// object that must keep its place, or a bool when it produces nothing. On
// failure, and only then, it says why in its last parameter,
// `std::string& problem`, in words for the user that name what was wrong
// ("speed: \"1,5\" is not a number"). A caller adds its own context in
// front and passes the words on.
// No step throws for bad input: what the JSON reader or the standard
// library throws, or a step throws inside its own file, is caught at the
// edge of that step.
// A library call that fails is not a problem: its failure is the ResultCode
// it returned, and its words are the library's GetLastErr text.
// The shells turn a problem into what their user sees: kavrctl throws a
// Failure with its exit code (cli/output.h), the window shows a box with
// Qt::PlainText.
// Types that name several outcomes (StateMonitor::Outcome, ReplayOutcome,
// StepOutcome, StartupFailure) are results to act on, not errors.
//
// Shells: kavrtest, kavrctl.
#pragma once

#include <optional>
#include <string>

namespace kavr {

// Sets `problem` and returns the empty result: `return Fail(problem, "is empty");`.
inline std::nullopt_t Fail(std::string& problem, std::string words) {
  problem = std::move(words);
  return std::nullopt;
}

}  // namespace kavr
