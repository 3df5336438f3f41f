#include "app/typed_numbers.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

#include "app/problem.h"

namespace kavr {
namespace {

constexpr std::string_view kNotANumber = "is not a number";
// Any exponent beyond this puts every digit far outside every target range;
// saturating there keeps the position arithmetic from overflowing.
constexpr std::int64_t kExponentLimit = 1'000'000'000;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimSpaces(std::string_view text) {
  constexpr std::string_view kSpaces = " \t";
  const auto first = text.find_first_not_of(kSpaces);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kSpaces);
  return text.substr(first, last - first + 1);
}

// A typed number kept as its decimal digits, so that each target rounds it
// exactly once: the magnitude is 0.<digits> times 10 to the power pointAt.
struct Decimal {
  bool negative = false;
  std::string digits;        // significant digits, no leading zero; empty for zero
  std::int64_t pointAt = 0;  // how many digits stand before the point; may be < 0 or > size
};

// Reads digits into `number`; those before the point move the point right,
// the zeros right after it (before any significant digit) move it left.
std::size_t TakeDigits(std::string_view& rest, bool afterPoint, Decimal& number) {
  std::size_t taken = 0;
  for (; !rest.empty() && IsDigit(rest.front()); rest.remove_prefix(1), ++taken) {
    const bool leadingZero = number.digits.empty() && rest.front() == '0';
    if (!leadingZero) number.digits += rest.front();
    if (!afterPoint && !leadingZero) ++number.pointAt;
    if (afterPoint && leadingZero) --number.pointAt;
  }
  return taken;
}

std::optional<std::int64_t> TakeExponent(std::string_view& rest) {
  bool negative = false;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  if (rest.empty() || !IsDigit(rest.front())) return std::nullopt;
  std::int64_t exponent = 0;
  for (; !rest.empty() && IsDigit(rest.front()); rest.remove_prefix(1)) {
    exponent = std::min(exponent * 10 + (rest.front() - '0'), kExponentLimit);
  }
  return negative ? -exponent : exponent;
}

std::optional<Decimal> ParseDecimal(std::string_view text, std::string_view decimalSeparator) {
  std::string_view rest = TrimSpaces(text);
  Decimal number;
  if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
    number.negative = rest.front() == '-';
    rest.remove_prefix(1);
  }
  std::size_t digits = TakeDigits(rest, false, number);
  if (!decimalSeparator.empty() && rest.starts_with(decimalSeparator)) {
    rest.remove_prefix(decimalSeparator.size());
    digits += TakeDigits(rest, true, number);
  }
  if (digits == 0) return std::nullopt;
  if (!rest.empty() && (rest.front() == 'e' || rest.front() == 'E')) {
    rest.remove_prefix(1);
    const std::optional<std::int64_t> exponent = TakeExponent(rest);
    if (!exponent) return std::nullopt;
    number.pointAt += *exponent;
  }
  if (!rest.empty()) return std::nullopt;
  return number;
}

// A text that reads as a number with the other usual separator was most
// likely typed in the other notation: say which one is expected.
std::string NotANumber(std::string_view text, std::string_view decimalSeparator) {
  for (std::string_view other : {".", ","}) {
    if (!decimalSeparator.empty() && other != decimalSeparator && ParseDecimal(text, other)) {
      return std::string(kNotANumber) + " (the decimal separator is \"" + std::string(decimalSeparator) +
             "\")";
    }
  }
  return std::string(kNotANumber);
}

std::optional<Decimal> ReadDecimal(std::string_view text, std::string_view decimalSeparator,
                                   std::string& problem) {
  if (TrimSpaces(text).empty()) return Fail(problem, "is empty");
  std::optional<Decimal> number = ParseDecimal(text, decimalSeparator);
  if (!number) return Fail(problem, NotANumber(text, decimalSeparator));
  return number;
}

}  // namespace

std::optional<std::int32_t> ReadDestination(std::string_view text, std::string_view decimalSeparator,
                                            std::string& problem) {
  const std::optional<Decimal> typed = ReadDecimal(text, decimalSeparator, problem);
  if (!typed) return std::nullopt;
  const Decimal& number = *typed;
  // Below 0.1 nothing rounds up; above ten whole digits nothing fits.
  if (number.digits.empty() || number.pointAt < 0) return 0;
  if (number.pointAt > 10) return Fail(problem, "is outside -2147483648 to 2147483647");

  const auto wholeDigits = static_cast<std::size_t>(number.pointAt);
  std::int64_t magnitude = 0;
  for (std::size_t i = 0; i < wholeDigits; ++i) {
    magnitude = magnitude * 10 + (i < number.digits.size() ? number.digits[i] - '0' : 0);
  }
  // Halfway and above rounds away from zero: the first dropped digit decides.
  if (wholeDigits < number.digits.size() && number.digits[wholeDigits] >= '5') ++magnitude;
  const std::int64_t value = number.negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    return Fail(problem, "is outside -2147483648 to 2147483647");
  }
  return static_cast<std::int32_t>(value);
}

std::optional<float> ReadSpeed(std::string_view text, std::string_view decimalSeparator,
                               std::string& problem) {
  const std::optional<Decimal> typed = ReadDecimal(text, decimalSeparator, problem);
  if (!typed) return std::nullopt;
  const Decimal& number = *typed;
  float magnitude = 0.0f;
  if (!number.digits.empty()) {
    // The C notation of the same digits, which from_chars rounds correctly
    // to the nearest float in one step.
    const std::string plain = "0." + number.digits + "e" + std::to_string(number.pointAt);
    const std::from_chars_result read = std::from_chars(plain.data(), plain.data() + plain.size(), magnitude);
    if (read.ec == std::errc::result_out_of_range) {
      // A magnitude of 0.1 or more cannot underflow, below that it cannot overflow.
      return Fail(problem, number.pointAt > 0 ? "is outside the range of a 32-bit float"
                                              : "is too small for a 32-bit float (it would be sent as 0)");
    }
    if (read.ec != std::errc()) return Fail(problem, std::string(kNotANumber));
  }
  return number.negative ? -magnitude : magnitude;
}

std::optional<std::uint8_t> ReadStepDivisor(std::string_view text, std::string& problem) {
  const std::string_view number = TrimSpaces(text);
  if (number.empty()) return Fail(problem, "is empty");
  unsigned value = 0;
  const char* end = number.data() + number.size();
  const auto [stop, error] = std::from_chars(number.data(), end, value);
  if (error == std::errc::result_out_of_range) return Fail(problem, "is outside 0 to 255");
  if (error != std::errc() || stop != end) return Fail(problem, std::string(kNotANumber));
  if (value > std::numeric_limits<std::uint8_t>::max()) return Fail(problem, "is outside 0 to 255");
  return static_cast<std::uint8_t>(value);
}

}  // namespace kavr
