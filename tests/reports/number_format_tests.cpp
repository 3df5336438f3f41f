#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <string>

#include "reports/number_format.h"

namespace kavr {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kTiny = std::numeric_limits<double>::denorm_min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct PatternCase {
  double value;
  const char* pattern;
  const char* expected;
};

void ExpectRenders(std::span<const PatternCase> cases) {
  for (const PatternCase& c : cases) {
    EXPECT_EQ(RenderNumber(c.value, c.pattern, "."), c.expected) << c.value << " under " << c.pattern;
  }
}

TEST(NumberPatternTest, DocumentedExamples) {
  const PatternCase cases[] = {
      {1000, "###0", "1000"},   {12.6, "###0", "13"},  {0, "###0", "0"},      {3.5, "###0.00", "3.50"},
      {0.25, "##0.00", "0.25"}, {2.5, "##0.0", "2.5"}, {0.5, "##.00", ".50"}, {30, "##.00", "30.00"},
      {25, "0.00", "25.00"},    {12, "0.0", "12.0"},   {8, "0", "8"},         {-3.2, "0.0", "-3.2"}};
  ExpectRenders(cases);
}

// A leading zero only under a '0' placeholder; placeholders never cut digits.
TEST(NumberPatternTest, LeadingZeroAndEveryDigit) {
  const PatternCase cases[] = {{0.75, "##.00", ".75"},     {0.75, "###0.00", "0.75"},
                               {0, "##.00", ".00"},        {-0.04, "##.00", "-.04"},
                               {123456, "###0", "123456"}, {1234.5, "##.00", "1234.50"}};
  ExpectRenders(cases);
}

// Exactly halfway rounds away from zero (carrying into a new digit); literals
// that only look halfway are decided by their exact binary value.
TEST(NumberPatternTest, HalfwayRoundsAwayFromZeroOnTheExactBinaryValue) {
  const PatternCase cases[] = {{0.125f, "##0.00", "0.13"}, {0.25, "0.0", "0.3"}, {-2.5, "###0", "-3"},
                               {9.5, "0", "10"},           {-99.5, "0", "-100"}, {2.675f, "0.00", "2.67"},
                               {-0.005, "0.00", "-0.01"},  {0.15f, "0.0", "0.2"}};
  ExpectRenders(cases);
}

TEST(NumberPatternTest, RoundingToZeroDropsTheSignAndNonFiniteValuesPrintAsWords) {
  const PatternCase cases[] = {
      {-0.004, "0.00", "0.00"}, {-0.0, "0.00", "0.00"},      {-0.4, "###0", "0"},
      {-0.004, "##.00", ".00"}, {-kTiny, "0", "0"},          {kNaN, "0.00", "NaN"},
      {-kNaN, "###0", "NaN"},   {kInf, "##.00", "Infinity"}, {-kInf, "0", "-Infinity"}};
  ExpectRenders(cases);
}

TEST(NumberPatternTest, HugeValuesPrintEveryDigit) {
  EXPECT_EQ(RenderNumber(3.0e38f, "###0", "."), "300000000549775575777803994281145270272");
  EXPECT_EQ(RenderNumber(-3.0e38f, "###0.00", "."), "-300000000549775575777803994281145270272.00");
  const std::string largest = RenderNumber(std::numeric_limits<double>::max(), "##.00", ".");
  EXPECT_EQ(largest.size(), 309u + 3u);
  EXPECT_EQ(largest.substr(0, 17), "17976931348623157");
  EXPECT_EQ(largest.substr(309), ".00");
}

TEST(NumberPatternTest, UsesTheGivenDecimalSeparator) {
  EXPECT_EQ(RenderNumber(3.5, "###0.00", ","), "3,50");
  EXPECT_EQ(RenderNumber(0.5, "##.00", ","), ",50");
  EXPECT_EQ(RenderNumber(8, "0", ","), "8");
  EXPECT_EQ(RenderNumber(1.5, "0.00", "\u066B"), "1\u066B50");  // a two-byte separator
}

TEST(NumberPatternTest, RejectsMalformedPatterns) {
  for (const char* bad : {"0.0000", "#,##0", "0.0.0"}) {
    EXPECT_THROW(NumberPattern{bad}, std::invalid_argument) << bad;
  }
}

// True when the value lies exactly halfway at this many decimals: its exact
// expansion (no double has more than 1074 decimals) ends in a 5 right after them.
bool IsTie(double value, int decimals) {
  char exact[1500];
  const std::string_view expansion(exact, std::snprintf(exact, sizeof exact, "%.1080f", value));
  const std::size_t next = expansion.find('.') + 1 + static_cast<std::size_t>(decimals);
  return expansion[next] == '5' && expansion.find_first_not_of('0', next + 1) == std::string_view::npos;
}

// Against the C library's exact fixed rendering, which differs from ours only
// on exact ties (it rounds those to even) and in the sign of a value that
// rounds to zero. Values: any float, any double, and three-decimal ones.
TEST(NumberPatternTest, AgreesWithExactFixedRenderingAwayFromTies) {
  std::mt19937_64 random(20240611);
  const char* patterns[] = {"###0", "##0.0", "0.00"};
  int ties = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::uint64_t bits = random();
    float anyFloat;
    double anyDouble;
    std::memcpy(&anyFloat, &bits, sizeof anyFloat);
    std::memcpy(&anyDouble, &bits, sizeof anyDouble);
    for (double value : {double{anyFloat}, anyDouble, (static_cast<double>(bits >> 40) - 8388608) / 1000}) {
      for (int decimals = 0; decimals < 3 && std::isfinite(value); ++decimals) {
        if (IsTie(value, decimals)) {
          ++ties;
          continue;
        }
        char fixed[400];
        std::string want(fixed, std::snprintf(fixed, sizeof fixed, "%.*f", decimals, value));
        if (want[0] == '-' && want.find_first_not_of("-0.") == std::string::npos) want.erase(0, 1);
        EXPECT_EQ(RenderNumber(value, patterns[decimals], "."), want) << std::hexfloat << value;
      }
    }
  }
  EXPECT_LT(ties, 100);  // the comparison must cover nearly every case
}

TEST(IntegerRenderingTest, PlainDigitsWithSignAndNoGrouping) {
  EXPECT_EQ(RenderInteger(-120), "-120");
  EXPECT_EQ(RenderInteger(0), "0");
  EXPECT_EQ(RenderInteger(1234567), "1234567");
  EXPECT_EQ(RenderInteger(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

}  // namespace
}  // namespace kavr
