// The binding through the real loader against the stand-in library built
// beside this test, found the way the program finds it. The program calls
// Init once before anything else, and the library may rely on it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/dynamic_controller_library.h"
#include "portable.h"
#include "text/text.h"

namespace {

using kavr::LibraryText;

template <typename Record>
bool SameBytes(const Record& a, const Record& b) {
  return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

class StandIn : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(library.Init(count, versions, serials), 0) << ErrorText(); }

  std::string ErrorText() {
    LibraryText buffer = kavr::EmptyLibraryText();
    library.GetLastErr(buffer);
    return kavr::ToUtf8(kavr::UpToFirstNul(buffer));
  }

  test_support::StandInScratch scratch;
  kavr::DynamicControllerLibrary library;
  std::int32_t count = 0;
  LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
};

TEST_F(StandIn, IsFoundBesideTheExecutableAndListsTwoControllersInTheirSlots) {
#ifdef _WIN32
  EXPECT_EQ(library.LibraryFile(), kavr::ExecutableFolder() / "KAVRVBDLL.dll");
#else
  EXPECT_EQ(library.LibraryFile(), kavr::ExecutableFolder() / "KAVRVBDLL.so");
#endif

  // Serials of 16 characters in slots of 17, versions of 4 in slots of 5.
  ASSERT_EQ(count, 2);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(serials.substr(i * 17, 16).find(U'\0'), LibraryText::npos)
        << kavr::ToUtf8(serials.substr(0, 34));
    EXPECT_EQ(versions.substr(i * 5, 4).find(U'\0'), LibraryText::npos)
        << kavr::ToUtf8(versions.substr(0, 10));
  }
  EXPECT_NE(serials.substr(0, 16), serials.substr(17, 16));
  EXPECT_EQ(serials.find_first_not_of(U'\0', 34), LibraryText::npos);
  EXPECT_EQ(versions.find_first_not_of(U'\0', 10), LibraryText::npos);
}

// The library refuses a record whose not-read slots differ from what it
// handed out, so a copy must carry them.
TEST_F(StandIn, GetSetRoundTripsGiveEveryByteBack) {
  KAVR_Mode mode;
  ASSERT_EQ(library.GetMode(1, mode), 0) << ErrorText();
  KAVR_Mode sent = mode;
  sent.PowerOff = kavr::ToFlag(!kavr::IsSet(mode.PowerOff));
  ASSERT_EQ(library.SetMode(1, sent), 0) << ErrorText();
  ASSERT_EQ(library.GetMode(1, mode), 0);
  EXPECT_TRUE(SameBytes(mode, sent));

  KAVR_Parameters parameters;
  ASSERT_EQ(library.GetParameters(0, parameters), 0) << ErrorText();
  KAVR_Parameters sentParameters = parameters;
  sentParameters.ButtonTimeout1 += 250.0f;
  ASSERT_EQ(library.SetParameters(0, sentParameters), 0) << ErrorText();
  ASSERT_EQ(library.GetParameters(0, parameters), 0);
  EXPECT_TRUE(SameBytes(parameters, sentParameters));
}

TEST_F(StandIn, BadDeviceIndexGivesANonzeroCodeAndTheLibrarysText) {
  for (std::int32_t device : {2, -1, 1000}) {
    KAVR_State state;
    EXPECT_NE(library.GetState(device, state), 0) << device;
    const std::string text = ErrorText();
    EXPECT_FALSE(text.empty()) << device;
    // The library's own words, not the binding's.
    EXPECT_EQ(text.find("controller library"), std::string::npos) << text;
  }
}

}  // namespace
