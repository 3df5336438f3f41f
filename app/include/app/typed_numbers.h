// The numbers a user types into the test window, read strictly: a wrong text
// must stop a move before it reaches the controller, never turn into some
// other value. Qt-free on purpose: the toolkit's own parser also takes "inf",
// "nan" and digit grouping, none of which may reach the library.
//
// Shells: kavrtest (the test window's boxes, through actions.h), kavrctl.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavr {

// Failure: see app/problem.h; the words follow the text ("is not a number").

// Destination and speed accept surrounding spaces, one leading sign, digits
// with at most one decimal separator (the locale's, UTF-8; any other
// separator is refused so that a group separator is never taken for a
// decimal one) and an optional exponent ("1e3"). Each is rounded once, from
// the digits as typed, never through an intermediate double.

// A destination in whole microsteps: rounded to nearest, halfway away from
// zero, and within the signed 32-bit range. A value too small to reach 0.5
// is 0.
std::optional<std::int32_t> ReadDestination(std::string_view text, std::string_view decimalSeparator,
                                            std::string& problem);

// A speed: the 32-bit float nearest to the text. Refused when it lies beyond
// the largest float, or when a nonzero text would be sent as 0.
std::optional<float> ReadSpeed(std::string_view text, std::string_view decimalSeparator,
                               std::string& problem);

// A step divisor as the divisor list holds it: a whole number 0 to 255.
std::optional<std::uint8_t> ReadStepDivisor(std::string_view text, std::string& problem);

}  // namespace kavr
