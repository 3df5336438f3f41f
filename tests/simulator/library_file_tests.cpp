// The built library file, loaded as the program loads it: by full path from
// beside the executable, each entry looked up by its exported name.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "kavr/entries.h"
#include "kavr/records.h"
#include "simulator/controller_defaults.h"
#include "simulator/result_codes.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

constexpr std::array<const char*, 11> kEntryNames = {
    "_KAVRVB_Init",
    "_KAVRVB_GetState",
    "_KAVRVB_GetMode",
    "_KAVRVB_SetMode",
    "_KAVRVB_GetParameters",
    "_KAVRVB_SetParameters",
    "_KAVRVB_GetStartParameters",
    "_KAVRVB_Start",
    "_KAVRVB_Stop",
    "_KAVRVB_SaveParametersToFlash",
    "_KAVRVB_GetLastErr",
};

std::filesystem::path LibraryPath() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "KAVRVBDLL.so";
}

class LibraryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KAVR_SIM_FLASH_DIR", scratch_.path().c_str(), 1);
    unsetenv("KAVR_SIM_DEVICES");
    unsetenv("KAVR_SIM_FAIL");
    handle_ = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    unsetenv("KAVR_SIM_FLASH_DIR");
    unsetenv("KAVR_SIM_DEVICES");
    unsetenv("KAVR_SIM_FAIL");
    if (handle_ != nullptr) dlclose(handle_);
  }

  template <typename Entry>
  Entry Find(const char* name) {
    void* address = dlsym(handle_, name);
    EXPECT_NE(address, nullptr) << name;
    return reinterpret_cast<Entry>(address);
  }

  std::int32_t InitCount() {
    std::int32_t count = 0;
    std::string versions(1001, '\0'), serials(1001, '\0');
    EXPECT_EQ(Find<KAVR_InitEntry>("_KAVRVB_Init")(&count, versions.data(), 1000, serials.data(), 1000), 0);
    return count;
  }

  std::string LastError() {
    std::string text(1001, '\0');
    Find<KAVR_GetLastErrEntry>("_KAVRVB_GetLastErr")(text.data(), 1000);
    return text.c_str();
  }

  ScratchFolder scratch_;
  void* handle_ = nullptr;
};

TEST_F(LibraryFileTest, ExportsExactlyTheElevenEntries) {
  for (const char* name : kEntryNames) EXPECT_NE(dlsym(handle_, name), nullptr) << name;

  const std::string command = "nm -D --defined-only '" + LibraryPath().string() + "' 2>/dev/null";
  FILE* listing = popen(command.c_str(), "r");
  ASSERT_NE(listing, nullptr);
  std::set<std::string> exported;
  char line[512];
  while (std::fgets(line, sizeof line, listing) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const auto last_space = text.rfind(' ');
    exported.insert(text.substr(last_space + 1));
  }
  if (pclose(listing) != 0 && exported.empty()) GTEST_SKIP() << "nm is not available";
  EXPECT_EQ(exported, std::set<std::string>(kEntryNames.begin(), kEntryNames.end()));
}

TEST_F(LibraryFileTest, EntriesWorkThroughTheirExportedNames) {
  setenv("KAVR_SIM_DEVICES", "3", 1);
  std::int32_t count = 0;
  std::string versions(1001, '\0'), serials(1001, '\0');
  ASSERT_EQ(Find<KAVR_InitEntry>("_KAVRVB_Init")(&count, versions.data(), 1000, serials.data(), 1000), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(serials.substr(2 * 17, 16), SerialNumber(2));
  EXPECT_EQ(versions.substr(2 * 5, 4), FirmwareVersion(2));

  KAVR_Mode mode;
  ASSERT_EQ(Find<KAVR_GetModeEntry>("_KAVRVB_GetMode")(2, &mode), 0);
  mode.PowerOff = 1;
  ASSERT_EQ(Find<KAVR_SetModeEntry>("_KAVRVB_SetMode")(2, &mode), 0);
  KAVR_State state;
  ASSERT_EQ(Find<KAVR_GetStateEntry>("_KAVRVB_GetState")(2, &state), 0);
  EXPECT_FALSE(IsSet(state.PowerOn));

  KAVR_StartParameters start;
  ASSERT_EQ(Find<KAVR_GetStartParametersEntry>("_KAVRVB_GetStartParameters")(0, &start), 0);
  float speed = 1.0e6f;
  ASSERT_EQ(Find<KAVR_StartEntry>("_KAVRVB_Start")(0, 100, &speed, &start), 0);
  EXPECT_EQ(speed, 5000.0f);
  EXPECT_EQ(Find<KAVR_StopEntry>("_KAVRVB_Stop")(0), 0);

  EXPECT_EQ(Find<KAVR_GetStateEntry>("_KAVRVB_GetState")(3, &state), kBadDevice);
  EXPECT_NE(LastError().find("device index 3 is out of range"), std::string::npos) << LastError();
}

TEST_F(LibraryFileTest, AnotherInitRereadsTheEnvironmentAndTheFlash) {
  ASSERT_EQ(InitCount(), 2);
  KAVR_Parameters parameters;
  ASSERT_EQ(Find<KAVR_GetParametersEntry>("_KAVRVB_GetParameters")(1, &parameters), 0);
  parameters.ButtonTimeout1 = 1000.0f;
  ASSERT_EQ(Find<KAVR_SetParametersEntry>("_KAVRVB_SetParameters")(1, &parameters), 0);
  ASSERT_EQ(Find<KAVR_SaveParametersToFlashEntry>("_KAVRVB_SaveParametersToFlash")(1), 0) << LastError();
  EXPECT_TRUE(std::filesystem::exists(scratch_.path() / (SerialNumber(1) + ".flash")));

  setenv("KAVR_SIM_DEVICES", "5", 1);
  setenv("KAVR_SIM_FAIL", "GetMode", 1);
  ASSERT_EQ(InitCount(), 5);
  KAVR_Parameters reloaded;
  ASSERT_EQ(Find<KAVR_GetParametersEntry>("_KAVRVB_GetParameters")(1, &reloaded), 0);
  EXPECT_EQ(reloaded.ButtonTimeout1, 1000.0f);
  KAVR_Mode mode;
  EXPECT_EQ(Find<KAVR_GetModeEntry>("_KAVRVB_GetMode")(4, &mode), kDefaultInjectedFault);
  EXPECT_NE(LastError().find("injected"), std::string::npos) << LastError();
}

}  // namespace
}  // namespace kavr::sim::testing
