// Typed destinations and speeds: each text with the exact value it sends or
// the reason it is refused.
#include "app/typed_numbers.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <variant>

#include "returned.h"

namespace kavr {
namespace {

// A value, or the problem shown.
using Destination = std::variant<std::int32_t, std::string>;
using Speed = std::variant<float, std::string>;

constexpr const char* kOutsideInt = "is outside -2147483648 to 2147483647";
constexpr const char* kOutsideFloat = "is outside the range of a 32-bit float";

// The value `read` returns for a text, or the problem it gives.
template <typename Read>
auto Result(Read read) {
  const auto number = test_support::Call(read);
  using Value = std::variant<typename decltype(number.value)::value_type, std::string>;
  return number.value ? Value(*number.value) : Value(number.problem);
}

TEST(TypedNumbers, EachTextIsRoundedOnceFromItsDigits) {
  const struct {
    const char *text, *separator;
    Destination destination;
    Speed speed;
  } cases[] = {
      // Through a double these became 1, 3, -2147483648 and a refusal.
      {"0.49999999999999999999", ".", 0, 0.5f},
      {"2.49999999999999999", ".", 2, 2.5f},
      {"-2147483647.49999999999", ".", -2147483647, -2147483648.0f},
      {"2147483647.4999999999", ".", 2147483647, 2147483648.0f},
      {"-2147483648.4999", ".", std::numeric_limits<std::int32_t>::min(), -2147483648.0f},
      {"-2147483648.5", ".", kOutsideInt, -2147483648.0f},
      // Through a double this speed became 7699999744.
      {"7700000000.00000000007777770000777", ".", kOutsideInt, 7700000256.0f},
      {"3.4028235e38", ".", kOutsideInt, std::numeric_limits<float>::max()},
      {"3.4028236e38", ".", kOutsideInt, kOutsideFloat},
      {"1e999999999999999999999", ".", kOutsideInt, kOutsideFloat},
      {"1e-50", ".", 0, "is too small for a 32-bit float (it would be sent as 0)"},
      {"1.4e-45", ".", 0, std::numeric_limits<float>::denorm_min()},
      {"0e999999", ".", 0, 0.0f},
      {"-0.05e1", ".", -1, -0.5f},
      {" 000120.0050e-1 ", ".", 12, 12.0005f},
      {"1,5", ",", 2, 1.5f},
      {"1.5", ",", "is not a number (the decimal separator is \",\")",
       "is not a number (the decimal separator is \",\")"},
      {"1,5", ".", "is not a number (the decimal separator is \".\")",
       "is not a number (the decimal separator is \".\")"},
      {"1.5.", ",", "is not a number", "is not a number"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.text << " in " << c.separator);
    EXPECT_EQ(Result([&](std::string& problem) { return ReadDestination(c.text, c.separator, problem); }),
              c.destination);
    EXPECT_EQ(Result([&](std::string& problem) { return ReadSpeed(c.text, c.separator, problem); }), c.speed);
  }
}

}  // namespace
}  // namespace kavr
