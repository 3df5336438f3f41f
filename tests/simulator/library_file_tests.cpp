// The built library file, loaded as the program loads it: by full path from
// beside the executable, each entry looked up by its exported name, its
// settings read from the environment at each Init; and its controllers as
// two processes share them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <thread>

#include "contract/entries.h"
#include "contract/entry_names.h"
#include "device/dynamic_controller_library.h"
#include "device/shared_library.h"
#include "portable.h"
#include "simulator/atomic_file.h"
#include "simulator/state_codec.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

using test_support::SetEnvironment;
using test_support::UnsetEnvironment;

const std::filesystem::path kLibrary = kavr::ExecutableFolder() / kavr::LibraryFileName();

// An entry by its exported name, as the typed pointer the program calls it through.
#define ENTRY(name) reinterpret_cast<kavr::EntryPointer<kavr::Entry::name>>(Find("_KAVRVB_" #name))

class LibraryFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironment("KAVR_SIM_FLASH_DIR", flashDir.string());
    SetEnvironment("KAVR_SIM_STATE_DIR", stateDir.string());
    ASSERT_NE(handle, nullptr) << loadFailure;
  }
  void TearDown() override {
    for (const char* name :
         {"KAVR_SIM_FLASH_DIR", "KAVR_SIM_STATE_DIR", "KAVR_SIM_DEVICES", "KAVR_SIM_FAIL"}) {
      UnsetEnvironment(name);
    }
    kavr::detail::CloseLibrary(handle);
  }
  void* Find(const char* name) {
    std::string reason;
    void* address = kavr::detail::FindExport(handle, name, reason);
    EXPECT_NE(address, nullptr) << name << ": " << reason;
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

#ifndef _WIN32
  // Another process on the same library, state and flash, ending with
  // what `work` returns (0 for success) as its exit code.
  static pid_t InChild(const std::function<int()>& work) {
    const pid_t child = fork();
    if (child == 0) _exit(work());
    return child;
  }
  static int ExitCode(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
#endif
  // Sets ButtonTimeout1 on `device` and reads it back, `rounds` times; how
  // often it did not come back as set.
  int SetAndReadBack(std::int32_t device, int rounds) {
    KAVR_Parameters parameters;
    if (ENTRY(GetParameters)(device, &parameters) != kSuccess) return rounds;
    int lost = 0;
    for (int round = 1; round <= rounds; ++round) {
      parameters.ButtonTimeout1 = static_cast<float>(round);
      KAVR_Parameters read;
      lost += ENTRY(SetParameters)(device, &parameters) != kSuccess ||
              ENTRY(GetParameters)(device, &read) != kSuccess ||
              read.ButtonTimeout1 != parameters.ButtonTimeout1;
    }
    return lost;
  }

  ScratchFolder scratch;
  const std::filesystem::path flashDir = scratch.path / "flash";
  const std::filesystem::path stateDir = scratch.path / "state";
  std::string loadFailure;
  kavr::detail::LibraryHandle handle = kavr::detail::OpenLibrary(kLibrary, loadFailure);
};

// Every entry of the list, and nothing else: no C++ runtime symbol leaks out.
TEST_F(LibraryFileTest, ExportsExactlyTheListedEntries) {
  std::set<std::string> entries;
  for (const char* entry : kavr::kEntryNames) {
    Find(entry);
    entries.insert(entry);
  }
  const std::optional<std::set<std::string>> exported = test_support::ExportedNames(kLibrary);
  if (!exported) GTEST_SKIP() << "the export listing is not available";
  EXPECT_EQ(*exported, entries);
}

// The entries the device area's stand-in tests leave out, and a second Init
// that reads the settings and the flash again.
TEST_F(LibraryFileTest, EntriesWorkAndEachInitRereadsTheEnvironmentAndTheFlash) {
  SetEnvironment("KAVR_SIM_DEVICES", "3");
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
  EXPECT_FALSE(std::filesystem::is_empty(flashDir));  // where KAVR_SIM_FLASH_DIR says

  SetEnvironment("KAVR_SIM_DEVICES", "5");
  SetEnvironment("KAVR_SIM_FAIL", "GetMode");
  ASSERT_EQ(Init(), 5);
  ASSERT_EQ(ENTRY(GetParameters)(1, &parameters), kSuccess);
  EXPECT_EQ(parameters.ButtonTimeout1, 1000.0f);
  KAVR_Mode mode;
  EXPECT_EQ(ENTRY(GetMode)(4, &mode), kDefaultInjectedFault);
  EXPECT_THAT(LastError(), ::testing::HasSubstr("_KAVRVB_GetMode: injected"));
}

#ifndef _WIN32
TEST_F(LibraryFileTest, AnUnusableStateFolderFailsEveryCallWithTheReason) {
  SetEnvironment("KAVR_SIM_STATE_DIR", "/proc/version/state");
  std::int32_t count = 0;
  EXPECT_EQ(ENTRY(Init)(&count, nullptr, 0, nullptr, 0), kStateUnavailable);
  EXPECT_THAT(LastError(), ::testing::StartsWith("_KAVRVB_Init: "));
  EXPECT_THAT(LastError(), ::testing::HasSubstr("\"/proc/version/state/lock\": Not a directory"));
  KAVR_State state;
  EXPECT_EQ(ENTRY(GetState)(0, &state), kStateUnavailable);
  EXPECT_THAT(LastError(), ::testing::StartsWith("_KAVRVB_GetState: "));
}

#endif

// Two processes (POSIX fork; the threads of one process share the state
// under the same lock in SharedStateTest on every system).
#ifndef _WIN32
TEST_F(LibraryFileTest, AnotherProcessSeesTheMoveAndTheSettingsOfThisOne) {
  ASSERT_EQ(Init(), 2);
  KAVR_StartParameters start;
  ASSERT_EQ(ENTRY(GetStartParameters)(0, &start), kSuccess);
  float speed = 1000.0f;
  ASSERT_EQ(ENTRY(Start)(0, 1'000'000, &speed, &start), kSuccess);
  KAVR_State before;
  ASSERT_EQ(ENTRY(GetState)(0, &before), kSuccess);
  const pid_t other = InChild([&] {
    KAVR_State state;
    KAVR_Parameters parameters;
    if (Init() != 2 || ENTRY(GetState)(0, &state) != kSuccess) return 1;
    if (!IsSet(state.Running) || state.CurrentPosition < before.CurrentPosition) return 2;
    if (ENTRY(GetParameters)(1, &parameters) != kSuccess) return 3;
    parameters.ButtonTimeout1 = 4321.0f;
    return ENTRY(SetParameters)(1, &parameters) == kSuccess ? 0 : 4;
  });
  EXPECT_EQ(ExitCode(other), 0);
  KAVR_Parameters parameters;
  ASSERT_EQ(ENTRY(GetParameters)(1, &parameters), kSuccess);
  EXPECT_EQ(parameters.ButtonTimeout1, 4321.0f);
}

TEST_F(LibraryFileTest, InterleavedCallsFromTwoProcessesLoseNoWrite) {
  ASSERT_EQ(Init(), 2);
  const pid_t other = InChild([&] { return std::min(SetAndReadBack(1, 200), 100); });
  EXPECT_EQ(SetAndReadBack(0, 200), 0);
  EXPECT_EQ(ExitCode(other), 0);
}

// The other process stays inside each call for a while (the library's test
// hook) and is killed at random moments: the next call is never locked out
// and always finds a whole state, and no temporary file is left for good.
TEST_F(LibraryFileTest, AProcessKilledInsideACallLeavesAWholeStateAndNoLock) {
  ASSERT_EQ(Init(), 2);
  std::mt19937 random(20240611);
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE(round);
    const pid_t other = InChild([&] {
      SetEnvironment("KAVR_SIM_HOLD_LOCK_MS", "2");
      KAVR_StartParameters start;
      if (Init() != 2 || ENTRY(GetStartParameters)(0, &start) != kSuccess) return 1;
      for (std::int32_t call = 0;; ++call) {
        float speed = 1000.0f;
        ENTRY(Start)(call % 2, call, &speed, &start);
        ENTRY(Stop)(call % 2);
      }
    });
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 15000));
    kill(other, SIGKILL);
    ASSERT_EQ(ExitCode(other), 128 + SIGKILL);

    std::optional<std::string> bytes;
    ASSERT_EQ(ReadFileStart(stateDir / "state", kLongestStateFile, bytes), std::nullopt);
    LiveState state;
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(DecodeState(*bytes, state), std::nullopt);
    ASSERT_EQ(ENTRY(Stop)(0), kSuccess) << LastError();
  }
  for (const auto& entry : std::filesystem::directory_iterator(stateDir)) {
    EXPECT_THAT(entry.path().filename().string(), ::testing::AnyOf("lock", "state"));
  }
}
#endif

}  // namespace
}  // namespace kavr::sim::testing
