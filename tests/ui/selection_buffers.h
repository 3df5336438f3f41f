// Device buffers for the selection tests.
#pragma once

#include <string>

#include "kavr/text.h"

namespace kavr::testing_buffers {

// 1000 characters with no code 0 that differ at nearby positions, so that a
// slice taken one position off shows.
inline std::u32string Patterned(char32_t base, int period) {
  std::u32string text;
  for (int i = 0; i < 1000; ++i) text.push_back(base + static_cast<char32_t>(i % period));
  return text;
}

// The characters at 1-based positions first..last, as UTF-8.
inline std::string Positions(const std::u32string& text, std::size_t first, std::size_t last) {
  return ToUtf8(std::u32string_view(text).substr(first - 1, last - first + 1));
}

}  // namespace kavr::testing_buffers
