#include "reports/number_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace kavr {
namespace {

// A finite non-negative double as mantissa * 2^exponent, exactly.
struct BinaryParts {
  std::uint64_t mantissa;
  int exponent;
};

BinaryParts Decompose(double magnitude) {
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biasedExponent = static_cast<int>((bits >> 52) & 0x7FF);
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
  if (biasedExponent == 0) return {fraction, -1074};  // zero and subnormals
  return {fraction | (std::uint64_t{1} << 52), biasedExponent - 1075};
}

constexpr std::array<std::uint64_t, NumberPattern::kMaxDecimals + 1> kPowersOfTen = {1, 10, 100, 1000};
static_assert(NumberPattern::kMaxDecimals == 3, "a 53-bit mantissa times 10^decimals must fit in 64 bits");

// Decimal digits of an unsigned integer, most significant first, at the end
// of a buffer: room for the largest double times 10^kMaxDecimals.
class DigitBuffer {
 public:
  static constexpr std::size_t kCapacity = 320;

  void Prepend(char digit) { chars_[--first_] = digit; }

  // Fewer than `count` digits get zeros in front, so that the decimals
  // always have digits to take and the integer part has at least one.
  void PadTo(std::size_t count) {
    while (Size() < count) Prepend('0');
  }

  void PrependNineDigits(std::uint32_t chunk, bool isLeading) {
    for (int i = 0; i < 9; ++i) {
      Prepend(static_cast<char>('0' + chunk % 10));
      chunk /= 10;
      if (isLeading && chunk == 0) return;
    }
  }

  void PrependUnsigned(std::uint64_t value) {
    do {
      Prepend(static_cast<char>('0' + value % 10));
      value /= 10;
    } while (value != 0);
  }

  std::size_t Size() const { return kCapacity - first_; }
  std::string_view View() const { return {chars_.data() + first_, Size()}; }

 private:
  std::array<char, kCapacity> chars_;  // only the written tail is ever read
  std::size_t first_ = kCapacity;
};

// value * 2^shift for shifts that leave 64 bits, in 32-bit limbs (least
// significant first), printed by repeated division by 10^9.
void PrependShiftedDigits(DigitBuffer& digits, std::uint64_t value, int shift) {
  constexpr std::size_t kMaxLimbs = (64 + 1024) / 32 + 2;
  std::array<std::uint32_t, kMaxLimbs> limbs;
  const std::size_t base = static_cast<std::size_t>(shift) / 32;
  std::fill_n(limbs.begin(), base + 3, 0u);  // only the limbs in use, not all of them
  const auto low = static_cast<std::uint32_t>(value);
  const auto high = static_cast<std::uint32_t>(value >> 32);
  const int offset = shift % 32;
  if (offset == 0) {
    limbs[base] = low;
    limbs[base + 1] = high;
  } else {
    limbs[base] = low << offset;
    limbs[base + 1] = (high << offset) | (low >> (32 - offset));
    limbs[base + 2] = high >> (32 - offset);
  }

  std::size_t used = base + 3;
  while (used > 0 && limbs[used - 1] == 0) --used;
  while (used > 0) {
    std::uint64_t remainder = 0;
    for (std::size_t i = used; i-- > 0;) {
      const std::uint64_t current = (remainder << 32) | limbs[i];
      limbs[i] = static_cast<std::uint32_t>(current / 1'000'000'000);
      remainder = current % 1'000'000'000;
    }
    while (used > 0 && limbs[used - 1] == 0) --used;
    digits.PrependNineDigits(static_cast<std::uint32_t>(remainder), used == 0);
  }
}

}  // namespace

void AppendNumber(std::string& out, double value, const NumberPattern& pattern,
                  std::string_view decimalSeparator) {
  if (std::isnan(value)) {
    out += "NaN";
    return;
  }
  if (std::isinf(value)) {
    out += value < 0 ? "-Infinity" : "Infinity";
    return;
  }

  // Work on the exact integer magnitude * 10^decimals, rounded half away
  // from zero: no decimal conversion in between, so nothing is rounded twice
  // and a tie is a tie of the exact binary value.
  const int decimals = pattern.Decimals();
  const BinaryParts parts = Decompose(std::fabs(value));
  const std::uint64_t scaled = parts.mantissa * kPowersOfTen[static_cast<std::size_t>(decimals)];

  DigitBuffer digits;
  bool isZero = false;
  if (parts.exponent < 0) {
    const int shift = -parts.exponent;
    std::uint64_t rounded = 0;
    // From 64 on, scaled < 2^63 <= half a unit: it rounds to zero.
    if (shift < 64) {
      const std::uint64_t remainder = scaled & ((std::uint64_t{1} << shift) - 1);
      const std::uint64_t half = std::uint64_t{1} << (shift - 1);
      rounded = (scaled >> shift) + (remainder >= half ? 1 : 0);
    }
    isZero = rounded == 0;
    digits.PrependUnsigned(rounded);
  } else if (scaled == 0 || parts.exponent < std::countl_zero(scaled)) {
    isZero = scaled == 0;
    digits.PrependUnsigned(scaled << parts.exponent);
  } else {
    PrependShiftedDigits(digits, scaled, parts.exponent);
  }
  digits.PadTo(static_cast<std::size_t>(decimals) + 1);

  const std::string_view all = digits.View();
  const std::string_view integerPart = all.substr(0, all.size() - static_cast<std::size_t>(decimals));
  const std::string_view fractionPart = all.substr(integerPart.size());

  if (std::signbit(value) && !isZero) out += '-';
  // Under an all-'#' pattern a zero integer part prints nothing.
  if (integerPart != "0" || pattern.LeadingZero()) out += integerPart;
  if (decimals > 0) {
    out += decimalSeparator;
    out += fractionPart;
  }
}

std::string RenderNumber(double value, const NumberPattern& pattern, std::string_view decimalSeparator) {
  std::string out;
  AppendNumber(out, value, pattern, decimalSeparator);
  return out;
}

void AppendInteger(std::string& out, std::int64_t value) {
  std::array<char, 24> buffer;
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

std::string RenderInteger(std::int64_t value) {
  std::string out;
  AppendInteger(out, value);
  return out;
}

}  // namespace kavr
