// Slicing the library's device buffers into the selection list's lines.
#include "app/device_list.h"

#include <gtest/gtest.h>

#include <climits>

#include "fakes.h"
#include "text/text.h"

namespace kavr {
namespace {

using fakes::Positions;
const std::u32string kSerials = fakes::PatternedText(U'A', 26);
const std::u32string kVersions = fakes::PatternedText(U'0', 7);

TEST(Selection, SlotsAndLinesStopAtTheBufferEnd) {
  const struct {
    std::int32_t device;
    std::string serial, version;
  } cases[] = {
      {0, Positions(kSerials, 1, 16), Positions(kVersions, 1, 4)},
      {2, Positions(kSerials, 35, 50), Positions(kVersions, 11, 14)},
      // The 59th serial slot is cut by the end of the buffer; later ones lie past it.
      {58, Positions(kSerials, 987, 1000), Positions(kVersions, 291, 294)},
      {59, "", Positions(kVersions, 296, 299)},
      {199, "", Positions(kVersions, 996, 999)},
      {200, "", ""},
      {-1, "", ""},
      {INT_MAX, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.device);
    EXPECT_EQ(ToUtf8(SerialOf(kSerials, c.device)), c.serial);
    EXPECT_EQ(ToUtf8(VersionOf(kVersions, c.device)), c.version);
  }
  // A buffer handed back shorter than it went in is sliced as far as it goes.
  EXPECT_EQ(ToUtf8(SerialOf(U"SHORT", 0)), "SHORT");

  const std::pair<std::int32_t, std::size_t> counts[] = {{0, 0},     {-1, 0},    {INT_MIN, 0},  {1, 1},
                                                         {200, 200}, {201, 200}, {INT_MAX, 200}};
  for (const auto& [count, lines] : counts) {
    EXPECT_EQ(DeviceLines(count, kSerials, kVersions).size(), lines) << count;
  }
}

TEST(Selection, ScreenTextDrawsNoControlCharacter) {
  const std::u32string serial(U"AB\0\x1b[2J\x85\x7f\r\u00e9", 11);
  EXPECT_EQ(ForScreen(serial), "AB\uFFFD[2J\uFFFD\uFFFD\uFFFD\u00e9");
}

}  // namespace
}  // namespace kavr
