// The binding through the real loader against the stand-in library built
// beside this test, found the way the program finds it.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "kavr/dynamic_controller_library.h"
#include "kavr/text.h"

namespace {

using kavr::DynamicControllerLibrary;
using kavr::LibraryText;

constexpr std::size_t kSerialSlot = 17;
constexpr std::size_t kSerialLength = 16;
constexpr std::size_t kVersionSlot = 5;
constexpr std::size_t kVersionLength = 4;

std::string ErrorText(DynamicControllerLibrary& library) {
  LibraryText buffer = kavr::EmptyLibraryText();
  library.GetLastErr(buffer);
  return kavr::ToUtf8(kavr::UpToFirstNul(buffer));
}

template <typename Record>
bool SameBytes(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

TEST(StandIn, IsFoundBesideTheExecutable) {
  DynamicControllerLibrary library;
  const std::filesystem::path folder = kavr::ExecutableFolder();
  ASSERT_TRUE(folder.is_absolute()) << folder;
  EXPECT_TRUE(std::filesystem::exists(folder / "device_tests"));
  EXPECT_EQ(library.LibraryFile(), folder / "KAVRVBDLL.so");
}

TEST(StandIn, InitListsTwoControllersInTheirSlots) {
  DynamicControllerLibrary library;
  std::int32_t count = 0;
  LibraryText versions = kavr::EmptyLibraryText();
  LibraryText serials = kavr::EmptyLibraryText();
  ASSERT_EQ(library.Init(count, versions, serials), 0) << ErrorText(library);
  EXPECT_EQ(library.LibraryLoadFailure(), "");
  ASSERT_EQ(count, 2);
  ASSERT_EQ(versions.size(), 1000u);
  ASSERT_EQ(serials.size(), 1000u);

  std::u32string previous;
  for (std::size_t i = 0; i < 2; ++i) {
    const std::u32string serial = serials.substr(i * kSerialSlot, kSerialLength);
    const std::u32string version = versions.substr(i * kVersionSlot, kVersionLength);
    EXPECT_EQ(serial.find(U'\0'), std::u32string::npos) << "controller " << i << ": " << kavr::ToUtf8(serial);
    EXPECT_EQ(version.find(U'\0'), std::u32string::npos)
        << "controller " << i << ": " << kavr::ToUtf8(version);
    EXPECT_NE(serial, previous);
    previous = serial;
  }
  // Nothing past the slots the program reads.
  EXPECT_EQ(serials.find_first_not_of(U'\0', 2 * kSerialSlot), LibraryText::npos);
  EXPECT_EQ(versions.find_first_not_of(U'\0', 2 * kVersionSlot), LibraryText::npos);
}

// The program calls Init once before anything else; the library may rely on it.
class StandInAfterInit : public ::testing::Test {
 protected:
  void SetUp() override {
    std::int32_t count = 0;
    LibraryText versions = kavr::EmptyLibraryText();
    LibraryText serials = kavr::EmptyLibraryText();
    ASSERT_EQ(library.Init(count, versions, serials), 0) << ErrorText(library);
    ASSERT_EQ(count, 2);
  }

  DynamicControllerLibrary library;
};

TEST_F(StandInAfterInit, ModeRoundTripGivesTheNotReadSlotsBack) {
  KAVR_Mode read;
  ASSERT_EQ(library.GetMode(1, read), 0) << ErrorText(library);
  KAVR_Mode sent = read;
  sent.PowerOff = kavr::ToFlag(!kavr::IsSet(read.PowerOff));
  sent.TrailersSwapped = kavr::ToFlag(!kavr::IsSet(read.TrailersSwapped));
  ASSERT_EQ(library.SetMode(1, sent), 0) << ErrorText(library);

  KAVR_Mode again;
  ASSERT_EQ(library.GetMode(1, again), 0) << ErrorText(library);
  EXPECT_TRUE(SameBytes(again, sent));
  EXPECT_EQ(std::memcmp(again.Reserved80, read.Reserved80, sizeof(read.Reserved80)), 0);

  // The other controller keeps its own mode.
  KAVR_Mode other;
  ASSERT_EQ(library.GetMode(0, other), 0);
  EXPECT_EQ(other.PowerOff, read.PowerOff);
}

TEST_F(StandInAfterInit, ParametersRoundTripGivesTheNotReadSlotsBack) {
  KAVR_Parameters read;
  ASSERT_EQ(library.GetParameters(0, read), 0) << ErrorText(library);
  KAVR_Parameters sent = read;
  sent.ButtonTimeout1 = read.ButtonTimeout1 + 250.0f;
  ASSERT_EQ(library.SetParameters(0, sent), 0) << ErrorText(library);

  KAVR_Parameters again;
  ASSERT_EQ(library.GetParameters(0, again), 0) << ErrorText(library);
  EXPECT_TRUE(SameBytes(again, sent));
  EXPECT_EQ(std::memcmp(again.Reserved32, read.Reserved32, sizeof(read.Reserved32)), 0);
  EXPECT_EQ(std::memcmp(again.Reserved58, read.Reserved58, sizeof(read.Reserved58)), 0);
  EXPECT_EQ(std::memcmp(again.Reserved60, read.Reserved60, sizeof(read.Reserved60)), 0);
  EXPECT_EQ(std::memcmp(again.Reserved80, read.Reserved80, sizeof(read.Reserved80)), 0);
}

TEST_F(StandInAfterInit, BadDeviceIndexGivesANonzeroCodeAndTheLibrarysText) {
  for (std::int32_t device : {2, -1, 1000}) {
    KAVR_State state;
    EXPECT_NE(library.GetState(device, state), 0) << device;
    const std::string text = ErrorText(library);
    EXPECT_FALSE(text.empty()) << device;
    // The library's own words, not the binding's.
    EXPECT_EQ(text.find("controller library"), std::string::npos) << text;
    EXPECT_EQ(library.LibraryLoadFailure(), "");
  }
}

}  // namespace
