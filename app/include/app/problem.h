// How the program's core says that something could not be done.
// A step returns what it produces: a std::optional<T>, a pointer for an
// object that must keep its place, or a bool when it produces nothing. On
// failure, and only then, it says why in its last parameter,
// `std::string& problem`, in words for the user ("is not a number"); each
// caller puts its own context in front ("SPEED: \"1,5\" is not a number")
// and passes the words on.
// No step throws for bad input: what the JSON reader or the standard
// library throws, or a step throws inside its own file, is caught at the
// edge of that step.
// A library call that fails is not a problem: its failure is the ResultCode
// it returned, and its words are the library's GetLastErr text.
// The shells turn a problem into what their user sees: kavrctl throws a
// Failure with its exit code (cli/output.h), the window shows a box with
// Qt::PlainText.
// An object whose work fails later, where no caller can be told (a
// transcript on a disk that fills), keeps the words and shows them through
// its Problem().
// Types that name several outcomes (DeviceChoice, StateMonitor::Outcome,
// ReplayOutcome, StepOutcome, StartupFailure) are results to act on, not
// errors: each outcome leads somewhere else.
//
// Shells: kavrtest, kavrctl.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kavr {

// Sets `problem` and returns the empty result: `return Fail(problem, "is empty");`.
inline std::nullopt_t Fail(std::string& problem, std::string words) {
  problem = std::move(words);
  return std::nullopt;
}

}  // namespace kavr
