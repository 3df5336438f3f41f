// Slicing the library's device buffers and the start-up decision, without widgets.
#include <gtest/gtest.h>

#include <climits>

#include "device_list.h"
#include "device_selection.h"
#include "kavr/text.h"
#include "selection_buffers.h"

namespace kavr {
namespace {

using testing_buffers::Positions;
const std::u32string kSerials = testing_buffers::Patterned(U'A', 26);
const std::u32string kVersions = testing_buffers::Patterned(U'0', 10);

TEST(SelectionSlots, TakeTheFixedWidthSlotOfEachController) {
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
}

TEST(SelectionLines, OneLinePerControllerUpToTheBuffersCapacity) {
  const std::pair<std::int32_t, std::size_t> cases[] = {{0, 0},     {-1, 0},    {INT_MIN, 0},  {1, 1},
                                                        {200, 200}, {201, 200}, {INT_MAX, 200}};
  for (const auto& [count, lines] : cases) {
    EXPECT_EQ(DeviceLines(count, kSerials, kVersions).size(), lines) << count;
  }
  EXPECT_EQ(DeviceLines(200, kSerials, kVersions)[199],
            "Device - 200 Serial Number -  Version - " + Positions(kVersions, 996, 999));
}

TEST(SelectionStartup, FailsWithoutControllersOrWithoutTheLibrary) {
  const std::string noDevices = "No Devices Found\rOr DLL is locked - try restart Visual Basic";
  const struct {
    ResultCode result;
    std::int32_t count;
    std::string loadFailure;
    std::string prompt;  // empty: the list is shown
  } cases[] = {
      {0, 1, "", ""},
      {0, 250, "", ""},
      {0, 0, "", noDevices},
      {0, -1, "", noDevices},
      {1, 2, "", noDevices},
      {-5, 2, "", noDevices},
      {1, 0, "/opt/KAVRVBDLL.so: cannot open shared object file",
       "Cannot load the controller library:\r/opt/KAVRVBDLL.so: cannot open shared object file"},
      // A text that already says so is not said twice.
      {1, 0, "Cannot load the controller library /opt/KAVRVBDLL.so: file too short",
       "Cannot load the controller library /opt/KAVRVBDLL.so: file too short"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.result << " " << c.count << " " << c.loadFailure);
    const auto failure = StartupFailureFor(c.result, c.count, c.loadFailure);
    ASSERT_EQ(failure.has_value(), !c.prompt.empty());
    if (failure) {
      EXPECT_EQ(failure->prompt, c.prompt);
      EXPECT_EQ(failure->title, "ERROR");
    }
  }
}

}  // namespace
}  // namespace kavr
