#include "app/typed_numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace kavr {
namespace {

constexpr std::string_view kNotANumber = "is not a number";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimSpaces(std::string_view text) {
  constexpr std::string_view kSpaces = " \t";
  const auto first = text.find_first_not_of(kSpaces);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kSpaces);
  return text.substr(first, last - first + 1);
}

// Rewrites the unsigned part of a number into the plain form from_chars
// reads ("12.5e3"), or gives nothing when the text is not such a number.
std::optional<std::string> PlainForm(std::string_view text, std::string_view decimalSeparator) {
  std::string plain;
  std::size_t at = 0;
  std::size_t digits = 0;
  while (at < text.size() && IsDigit(text[at])) {
    plain += text[at++];
    ++digits;
  }
  if (!decimalSeparator.empty() && text.substr(at).starts_with(decimalSeparator)) {
    plain += '.';
    at += decimalSeparator.size();
    while (at < text.size() && IsDigit(text[at])) {
      plain += text[at++];
      ++digits;
    }
  }
  if (digits == 0) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    plain += 'e';
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) plain += text[at++];
    std::size_t exponentDigits = 0;
    while (at < text.size() && IsDigit(text[at])) {
      plain += text[at++];
      ++exponentDigits;
    }
    if (exponentDigits == 0) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  return plain;
}

// Whether a number of the plain form that a double cannot hold is too large
// (rather than too close to zero): its first significant digit stands
// before the point once the exponent is applied.
bool TooLarge(std::string_view plain) {
  const std::size_t exponentAt = plain.find('e');
  long exponent = 0;
  if (exponentAt != std::string_view::npos) {
    std::string_view digits = plain.substr(exponentAt + 1);
    const bool negative = digits.starts_with('-');
    if (digits.starts_with('-') || digits.starts_with('+')) digits.remove_prefix(1);
    for (char c : digits) exponent = std::min(exponent * 10 + (c - '0'), 1000000L);
    if (negative) exponent = -exponent;
  }
  const std::string_view mantissa = plain.substr(0, exponentAt);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  const long placesBeforePoint =
      first < point ? static_cast<long>(point - first) : -static_cast<long>(first - point - 1);
  return placesBeforePoint + exponent > 0;
}

template <typename T>
TypedNumber<T> Failure(std::string problem) {
  return TypedNumber<T>{std::nullopt, std::move(problem)};
}

}  // namespace

TypedNumber<double> ReadDecimal(std::string_view text, std::string_view decimalSeparator) {
  std::string_view number = TrimSpaces(text);
  if (number.empty()) return Failure<double>("is empty");
  bool negative = false;
  if (number.front() == '+' || number.front() == '-') {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  const std::optional<std::string> plain = PlainForm(number, decimalSeparator);
  if (!plain) return Failure<double>(std::string(kNotANumber));

  double magnitude = 0.0;
  const char* end = plain->data() + plain->size();
  const auto [stop, error] = std::from_chars(plain->data(), end, magnitude, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    magnitude = TooLarge(*plain) ? std::numeric_limits<double>::infinity() : 0.0;
  } else if (error != std::errc() || stop != end) {
    return Failure<double>(std::string(kNotANumber));
  }
  return TypedNumber<double>{negative ? -magnitude : magnitude, {}};
}

TypedNumber<std::int32_t> ReadDestination(std::string_view text, std::string_view decimalSeparator) {
  const TypedNumber<double> decimal = ReadDecimal(text, decimalSeparator);
  if (!decimal.value) return Failure<std::int32_t>(decimal.problem);
  const double rounded = std::round(*decimal.value);
  if (rounded < std::numeric_limits<std::int32_t>::min() ||
      rounded > std::numeric_limits<std::int32_t>::max()) {
    return Failure<std::int32_t>("is outside -2147483648 to 2147483647");
  }
  return TypedNumber<std::int32_t>{static_cast<std::int32_t>(rounded), {}};
}

TypedNumber<float> ReadSpeed(std::string_view text, std::string_view decimalSeparator) {
  const TypedNumber<double> decimal = ReadDecimal(text, decimalSeparator);
  if (!decimal.value) return Failure<float>(decimal.problem);
  if (std::fabs(*decimal.value) > std::numeric_limits<float>::max()) {
    return Failure<float>("is outside the range of a 32-bit float");
  }
  return TypedNumber<float>{static_cast<float>(*decimal.value), {}};
}

TypedNumber<std::uint8_t> ReadStepDivisor(std::string_view text) {
  const std::string_view number = TrimSpaces(text);
  if (number.empty()) return Failure<std::uint8_t>("is empty");
  unsigned value = 0;
  const char* end = number.data() + number.size();
  const auto [stop, error] = std::from_chars(number.data(), end, value);
  if (error == std::errc::result_out_of_range) return Failure<std::uint8_t>("is outside 0 to 255");
  if (error != std::errc() || stop != end) return Failure<std::uint8_t>(std::string(kNotANumber));
  if (value > std::numeric_limits<std::uint8_t>::max()) return Failure<std::uint8_t>("is outside 0 to 255");
  return TypedNumber<std::uint8_t>{static_cast<std::uint8_t>(value), {}};
}

}  // namespace kavr
