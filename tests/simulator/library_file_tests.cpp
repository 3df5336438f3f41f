// The built library file, loaded as the program loads it: by full path from
// beside the executable, each entry looked up by its exported name, its
// settings read from the environment at each Init.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "kavr/entries.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

const std::filesystem::path kLibrary =
    std::filesystem::read_symlink("/proc/self/exe").parent_path() / "KAVRVBDLL.so";

// An entry by its exported name, as the typed pointer the program calls it through.
#define ENTRY(name) reinterpret_cast<kavr::EntryPointer<kavr::Entry::name>>(Find("_KAVRVB_" #name))

class LibraryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("KAVR_SIM_FLASH_DIR", scratch_.path.c_str(), 1);
    ASSERT_NE(handle_, nullptr) << dlerror();
  }
  void TearDown() override {
    for (const char* name : {"KAVR_SIM_FLASH_DIR", "KAVR_SIM_DEVICES", "KAVR_SIM_FAIL"}) unsetenv(name);
    if (handle_ != nullptr) dlclose(handle_);
  }
  void* Find(const char* name) {
    void* address = dlsym(handle_, name);
    EXPECT_NE(address, nullptr) << name;
    return address;
  }
  std::int32_t Init() {
    std::int32_t count = 0;
    std::string versions(1001, '\0'), serials(1001, '\0');
    EXPECT_EQ(ENTRY(Init)(&count, versions.data(), 1000, serials.data(), 1000), kSuccess);
    return count;
  }
  std::string LastError() {
    std::string text(1001, '\0');
    ENTRY(GetLastErr)(text.data(), 1000);
    return text.c_str();
  }

  ScratchFolder scratch_;
  void* handle_ = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
};

TEST_F(LibraryFileTest, ExportsExactlyTheElevenEntries) {
  std::set<std::string> entries;
  for (const char* name : {"Init", "GetState", "GetMode", "SetMode", "GetParameters", "SetParameters",
                           "GetStartParameters", "Start", "Stop", "SaveParametersToFlash", "GetLastErr"}) {
    const std::string entry = std::string("_KAVRVB_") + name;
    Find(entry.c_str());
    entries.insert(entry);
  }
  FILE* listing = popen(("nm -D --defined-only '" + kLibrary.string() + "' 2>/dev/null").c_str(), "r");
  ASSERT_NE(listing, nullptr);
  std::set<std::string> exported;
  for (char line[512]; std::fgets(line, sizeof line, listing) != nullptr;) {
    const std::string text(line, std::strcspn(line, "\r\n"));
    exported.insert(text.substr(text.rfind(' ') + 1));
  }
  if (pclose(listing) != 0 && exported.empty()) GTEST_SKIP() << "nm is not available";
  EXPECT_EQ(exported, entries);
}

// The entries the device area's stand-in tests leave out, and a second Init
// that reads the settings and the flash again.
TEST_F(LibraryFileTest, EntriesWorkAndEachInitRereadsTheEnvironmentAndTheFlash) {
  setenv("KAVR_SIM_DEVICES", "3", 1);
  ASSERT_EQ(Init(), 3);
  KAVR_StartParameters start;
  ASSERT_EQ(ENTRY(GetStartParameters)(2, &start), kSuccess);
  float speed = 1.0e6f;
  ASSERT_EQ(ENTRY(Start)(2, 100, &speed, &start), kSuccess);
  EXPECT_EQ(speed, 5000.0f);
  EXPECT_EQ(ENTRY(Stop)(2), kSuccess);
  KAVR_Parameters parameters;
  ASSERT_EQ(ENTRY(GetParameters)(1, &parameters), kSuccess);
  parameters.ButtonTimeout1 = 1000.0f;
  ASSERT_EQ(ENTRY(SetParameters)(1, &parameters), kSuccess);
  ASSERT_EQ(ENTRY(SaveParametersToFlash)(1), kSuccess) << LastError();
  EXPECT_FALSE(std::filesystem::is_empty(scratch_.path));  // where KAVR_SIM_FLASH_DIR says

  setenv("KAVR_SIM_DEVICES", "5", 1);
  setenv("KAVR_SIM_FAIL", "GetMode", 1);
  ASSERT_EQ(Init(), 5);
  ASSERT_EQ(ENTRY(GetParameters)(1, &parameters), kSuccess);
  EXPECT_EQ(parameters.ButtonTimeout1, 1000.0f);
  KAVR_Mode mode;
  EXPECT_EQ(ENTRY(GetMode)(4, &mode), kDefaultInjectedFault);
  EXPECT_THAT(LastError(), ::testing::HasSubstr("_KAVRVB_GetMode: injected"));
}

}  // namespace
}  // namespace kavr::sim::testing
