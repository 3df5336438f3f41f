// Rendering numbers for the reports: the fixed-decimal patterns ("###0",
// "##.00", "0.0"...) and the plain integer form.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace kavr {

// A pattern of '#' and '0' placeholders with an optional point. Only two
// things about it matter: how many decimals follow the point (always printed
// in full), and whether the last placeholder before the point is a '0',
// which forces a digit there for values below one. Placeholders before the
// point never cut digits: every significant digit is printed.
class NumberPattern {
 public:
  // Enough for every report, and small enough for exact 64-bit rounding.
  static constexpr int kMaxDecimals = 3;

  // Implicit, so that a pattern literal can be passed where a pattern is
  // expected; a malformed literal fails to compile in a constant context.
  constexpr NumberPattern(std::string_view text) {  // NOLINT(google-explicit-constructor)
    std::size_t point = text.find('.');
    std::string_view before = text.substr(0, point);
    std::string_view after = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
    for (char c : before) {
      if (c != '#' && c != '0') throw std::invalid_argument("number pattern: only '#', '0' and one '.'");
    }
    for (char c : after) {
      if (c != '#' && c != '0') throw std::invalid_argument("number pattern: only '#', '0' and one '.'");
    }
    if (after.size() > static_cast<std::size_t>(kMaxDecimals)) {
      throw std::invalid_argument("number pattern: too many decimals");
    }
    decimals_ = static_cast<int>(after.size());
    leadingZero_ = !before.empty() && before.back() == '0';
  }
  constexpr NumberPattern(const char* text) : NumberPattern(std::string_view(text)) {}  // NOLINT

  constexpr int Decimals() const { return decimals_; }
  constexpr bool LeadingZero() const { return leadingZero_; }

 private:
  int decimals_ = 0;
  bool leadingZero_ = false;
};

// Appends the value rounded to the pattern's decimals. Rounding works on the
// exact binary value; a value exactly halfway rounds away from zero. A value
// that rounds to zero prints without a minus sign. Not-a-number and the
// infinities print as "NaN", "Infinity" and "-Infinity". A float field is
// widened to double first, which keeps its exact value.
void AppendNumber(std::string& out, double value, const NumberPattern& pattern,
                  std::string_view decimalSeparator);
std::string RenderNumber(double value, const NumberPattern& pattern, std::string_view decimalSeparator);

// Plain decimal digits, "-" first when negative, no grouping.
void AppendInteger(std::string& out, std::int64_t value);
std::string RenderInteger(std::int64_t value);

}  // namespace kavr
