// What a step of the core returned beside the problem it gave, so that a
// table can expect either. Checks the core's rule on the way: a step gives
// words exactly when it returns nothing.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <type_traits>

namespace test_support {

template <typename T>
struct Returned {
  std::optional<T> value;
  std::string problem;
};

// `step` is called with a fresh problem: `Call([&](std::string& p) { return Read(text, p); })`.
template <typename Step>
auto Call(Step&& step) {
  Returned<typename std::invoke_result_t<Step, std::string&>::value_type> returned;
  returned.value = step(returned.problem);
  EXPECT_EQ(returned.value.has_value(), returned.problem.empty()) << returned.problem;
  return returned;
}

}  // namespace test_support
