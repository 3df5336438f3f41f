#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "reports/number_format.h"

namespace kavr {
namespace {

struct PatternCase {
  double value;
  const char* pattern;
  const char* expected;
};

void ExpectRendersAll(const std::vector<PatternCase>& cases, std::string_view separator = ".") {
  for (const PatternCase& c : cases) {
    EXPECT_EQ(RenderNumber(c.value, c.pattern, separator), c.expected)
        << "value " << c.value << " under \"" << c.pattern << "\"";
  }
}

TEST(NumberPatternTest, RendersThePatternExamples) {
  ExpectRendersAll({
      {1000, "###0", "1000"},
      {12.6, "###0", "13"},
      {0, "###0", "0"},
      {3.5, "###0.00", "3.50"},
      {0.25, "##0.00", "0.25"},
      {2.5, "##0.0", "2.5"},
      {0.5, "##.00", ".50"},
      {30, "##.00", "30.00"},
      {25, "0.00", "25.00"},
      {12, "0.0", "12.0"},
      {8, "0", "8"},
      {-3.2, "0.0", "-3.2"},
      {25.5, "0.00", "25.50"},
      {0.75, "##.00", ".75"},
      {0.75, "###0.00", "0.75"},
      {0, "##.00", ".00"},
      {123456, "###0", "123456"},
      {1234.5, "##.00", "1234.50"},
      {-0.04, "##.00", "-.04"},
  });
}

TEST(NumberPatternTest, HalfwayRoundsAwayFromZeroOnTheExactBinaryValue) {
  ExpectRendersAll({
      {0.125f, "##0.00", "0.13"},
      {-0.125f, "##0.00", "-0.13"},
      {0.375, "0.00", "0.38"},
      {0.25, "0.0", "0.3"},
      {-0.25, "0.0", "-0.3"},
      {0.5, "0", "1"},
      {2.5, "###0", "3"},
      {-2.5, "###0", "-3"},
      {9.5, "0", "10"},  // the carry grows a digit
      {999.5, "###0", "1000"},
      {-99.5, "0", "-100"},
      {9.75, "0.0", "9.8"},
      // Below halfway in binary although the decimal literal looks halfway.
      {2.675, "0.00", "2.67"},
      {2.675f, "0.00", "2.67"},
      {1.005, "0.00", "1.00"},
      // Above halfway in binary.
      {-0.005, "0.00", "-0.01"},
      {0.15f, "0.0", "0.2"},
      {0.0625, "0.000", "0.063"},
  });
}

TEST(NumberPatternTest, ValuesThatRoundToZeroLoseTheirSign) {
  ExpectRendersAll({
      {-0.004, "0.00", "0.00"},
      {-0.0, "0.00", "0.00"},
      {-0.0, "0", "0"},
      {-0.4, "###0", "0"},
      {-0.004, "##.00", ".00"},
      {-0.04, "0.0", "0.0"},
      {-1e-300, "###0.00", "0.00"},
      {-std::numeric_limits<double>::denorm_min(), "0", "0"},
  });
}

TEST(NumberPatternTest, NotANumberAndInfinitiesPrintAsWords) {
  const double inf = std::numeric_limits<double>::infinity();
  ExpectRendersAll({
      {std::numeric_limits<double>::quiet_NaN(), "0.00", "NaN"},
      {-std::numeric_limits<double>::quiet_NaN(), "###0", "NaN"},
      {inf, "##.00", "Infinity"},
      {-inf, "0", "-Infinity"},
  });
}

TEST(NumberPatternTest, HugeValuesPrintEveryDigitOfTheExactValue) {
  EXPECT_EQ(RenderNumber(3.0e38f, "###0", "."), "300000000549775575777803994281145270272");
  EXPECT_EQ(RenderNumber(-3.0e38f, "###0.00", "."), "-300000000549775575777803994281145270272.00");
  const std::string largest = RenderNumber(std::numeric_limits<double>::max(), "##.00", ".");
  EXPECT_EQ(largest.size(), 309u + 3u);
  EXPECT_EQ(largest.substr(0, 17), "17976931348623157");
  EXPECT_EQ(largest.substr(309), ".00");
}

TEST(NumberPatternTest, UsesTheGivenDecimalSeparator) {
  ExpectRendersAll({{3.5, "###0.00", "3,50"}, {0.5, "##.00", ",50"}, {8, "0", "8"}, {-3.25, "0.0", "-3,3"}},
                   ",");
  EXPECT_EQ(RenderNumber(1.5, "0.00", "\xD9\xAB"),
            "1\xD9\xAB"
            "50");
}

// True when the value lies exactly halfway at this many decimals: its exact
// expansion (no double has more than 1074 decimals) ends in a 5 right
// after them.
bool IsTie(double value, int decimals) {
  static char exact[1500];
  const int length = std::snprintf(exact, sizeof exact, "%.1080f", value);
  const std::string_view expansion(exact, static_cast<std::size_t>(length));
  const std::size_t first_extra = expansion.find('.') + 1 + static_cast<std::size_t>(decimals);
  return expansion[first_extra] == '5' &&
         expansion.find_first_not_of('0', first_extra + 1) == std::string_view::npos;
}

// Against the C library's exact fixed rendering, which differs from ours
// only on exact ties (it rounds those to even) and in the sign of a value
// that rounds to zero.
TEST(NumberPatternTest, AgreesWithExactFixedRenderingAwayFromTies) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::uint32_t> any_bits;
  std::uniform_real_distribution<double> small(-2000.0, 2000.0);
  const char* patterns[] = {"###0", "##0.0", "0.00"};
  int ties = 0;
  for (int i = 0; i < 3000; ++i) {
    float from_bits;
    const std::uint32_t bits = any_bits(random);
    std::memcpy(&from_bits, &bits, sizeof bits);
    double any_double;
    const std::uint64_t wide_bits = (std::uint64_t{any_bits(random)} << 32) | any_bits(random);
    std::memcpy(&any_double, &wide_bits, sizeof wide_bits);
    const double values[] = {from_bits, any_double, small(random),
                             std::round(small(random) * 1000.0) / 1000.0};
    for (double value : values) {
      if (!std::isfinite(value)) continue;
      for (int decimals = 0; decimals < 3; ++decimals) {
        if (IsTie(value, decimals)) {
          ++ties;
          continue;
        }
        char expected[400];
        std::snprintf(expected, sizeof expected, "%.*f", decimals, value);
        std::string want = expected;
        if (want.find_first_not_of("-0.") == std::string::npos && want[0] == '-') want.erase(0, 1);
        EXPECT_EQ(RenderNumber(value, patterns[decimals], "."), want) << "bits of value " << value;
      }
    }
  }
  EXPECT_LT(ties, 100);  // the comparison must cover nearly every case
}

TEST(NumberPatternTest, RejectsMalformedPatterns) {
  EXPECT_THROW(NumberPattern("0.0000"), std::invalid_argument);
  EXPECT_THROW(NumberPattern("#,##0"), std::invalid_argument);
  EXPECT_THROW(NumberPattern("0.0.0"), std::invalid_argument);
}

TEST(IntegerRenderingTest, PlainDigitsWithSignAndNoGrouping) {
  EXPECT_EQ(RenderInteger(-120), "-120");
  EXPECT_EQ(RenderInteger(0), "0");
  EXPECT_EQ(RenderInteger(1234567), "1234567");
  EXPECT_EQ(RenderInteger(std::numeric_limits<std::int32_t>::min()), "-2147483648");
  EXPECT_EQ(RenderInteger(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
}

TEST(DecimalSeparatorTest, FollowsTheNumericLocale) {
  EXPECT_EQ(CurrentDecimalSeparator(), ".");
  const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (german == nullptr) GTEST_SKIP() << "no locale with a decimal comma installed";
  const std::string separator = CurrentDecimalSeparator();
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(separator, ",");
}

}  // namespace
}  // namespace kavr
