// The flash files: what one library instance saves the next one starts
// with, and no damaged or half-written file ever reaches a controller.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <limits>

#include "simulator/controller_defaults.h"
#include "simulator/flash_store.h"
#include "simulator/machine.h"
#include "simulator/reserved_slots.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

using ::testing::HasSubstr;

KAVR_Parameters Changed(float buttonTimeout, int device = 0) {
  KAVR_Parameters parameters = FactoryParameters();
  parameters.ButtonTimeout1 = buttonTimeout;
  parameters.AccelerationTime = 350.0f;
  parameters.BacklashDistance = -12;
  FillReservedSlots(parameters, device);  // as the controller hands them out
  return parameters;
}

// Every byte the controller hands out, the not-read slots being its own.
void ExpectParameters(Simulator& simulator, int device, KAVR_Parameters expected) {
  FillReservedSlots(expected, device);
  KAVR_Parameters actual;
  ASSERT_EQ(simulator.GetParameters(device, &actual), kSuccess);
  EXPECT_EQ(std::memcmp(&actual, &expected, sizeof actual), 0) << "device " << device;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST(Flash, SavedParametersSurviveIntoAFreshInstanceForThatControllerOnly) {
  ScratchFolder scratch;
  const auto folder = scratch.path / "not" / "yet" / "there";
  KAVR_Parameters saved = Changed(1000.0f, 1), unsaved = Changed(77.0f, 2);
  {
    SimulatorRig first(3, folder);
    ASSERT_EQ(first.simulator.SetParameters(1, &saved), kSuccess);
    ASSERT_EQ(first.simulator.SaveParametersToFlash(1), kSuccess) << first.simulator.LastError();
    ASSERT_EQ(first.simulator.SetParameters(2, &unsaved), kSuccess);  // never saved: gone with the instance
  }
  SimulatorRig second(3, folder);
  ExpectParameters(second.simulator, 1, saved);
  ExpectParameters(second.simulator, 0, FactoryParameters());
  ExpectParameters(second.simulator, 2, FactoryParameters());
  EXPECT_TRUE(second.warnings.empty());
}

TEST(Flash, EveryTruncationOrDamageGivesFactoryDefaultsAndAWarning) {
  ScratchFolder scratch;
  const std::string good = EncodeFlash(Changed(1234.0f));
  const auto path = FlashFilePath(scratch.path, SerialNumber(0));
  std::vector<std::string> damaged;
  for (std::size_t length = 0; length < good.size(); ++length) damaged.push_back(good.substr(0, length));
  damaged.push_back(good + "x");
  for (const std::size_t at : {0u, 8u, 12u, 20u, 60u, 119u}) {
    damaged.push_back(good);
    damaged.back()[at] ^= 0x01;
  }
  KAVR_Parameters notANumber = FactoryParameters();  // intact file, a value no controller takes
  notANumber.DecelerationTime = std::numeric_limits<float>::quiet_NaN();
  damaged.push_back(EncodeFlash(notANumber));

  for (const std::string& bytes : damaged) {
    SCOPED_TRACE(bytes.size());
    WriteBytes(path, bytes);
    SimulatorRig rig(1, scratch.path);
    ExpectParameters(rig.simulator, 0, FactoryParameters());
    ASSERT_EQ(rig.warnings.size(), 1u);
    EXPECT_THAT(rig.warnings[0], HasSubstr(path.generic_string()));  // paths are written with '/'
    EXPECT_THAT(rig.warnings[0], HasSubstr("factory"));
  }
  WriteBytes(path, good);
  SimulatorRig intact(1, scratch.path);
  ExpectParameters(intact.simulator, 0, Changed(1234.0f));
  EXPECT_TRUE(intact.warnings.empty());
}

TEST(Flash, SaveInterruptedBeforeTheRenameLeavesTheOldFlash) {
  ScratchFolder scratch;
  ASSERT_EQ(WriteFlash(scratch.path, SerialNumber(0), Changed(111.0f)), std::nullopt);
  std::filesystem::path leftOver;
  AtomicWriteOptions crash;
  crash.beforeRename = [&](const std::filesystem::path& temporary) {
    leftOver = temporary;
    return false;
  };
  EXPECT_NE(WriteFlash(scratch.path, SerialNumber(0), Changed(222.0f), crash), std::nullopt);
  // The complete temporary file sits beside the old one, which is intact.
  ASSERT_TRUE(std::filesystem::exists(leftOver));
  EXPECT_EQ(leftOver.parent_path(), scratch.path);
  SimulatorRig rig(1, scratch.path);
  ExpectParameters(rig.simulator, 0, Changed(111.0f));
  EXPECT_TRUE(rig.warnings.empty());
  // A later save goes through despite the leftover.
  ASSERT_EQ(WriteFlash(scratch.path, SerialNumber(0), Changed(333.0f)), std::nullopt);
  std::optional<KAVR_Parameters> saved;
  ASSERT_EQ(ReadFlash(scratch.path, SerialNumber(0), saved), std::nullopt);
  EXPECT_EQ(saved->ButtonTimeout1, 333.0f);
}

// A writer killed before its rename leaves its temporary file; the next
// write to the folder removes those of writers that are gone, and only
// those.
TEST(Flash, NextSaveRemovesTemporaryFilesOfWritersThatAreGone) {
  ScratchFolder scratch;
  const std::int64_t gone = 2'147'483'000;  // beyond any system's process ids
  const auto temporary = [&](std::int64_t writer, const char* file) {
    std::string name = ".";
    name.append(file).append(".").append(std::to_string(writer)).append("-123-0.tmp");
    WriteBytes(scratch.path / name, "partial");
    return scratch.path / name;
  };
  const auto dead = temporary(gone, "KAVRSIM000000007.flash");
  const auto deadState = temporary(gone, "state");
  const auto running = temporary(CurrentProcessId(), "KAVRSIM000000001.flash");
  const auto notOurs = scratch.path / "notes.2147483000-1-0.tmp";
  WriteBytes(notOurs, "someone else's");

  ASSERT_EQ(WriteFlash(scratch.path, SerialNumber(0), Changed(1.0f)), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(dead));
  EXPECT_FALSE(std::filesystem::exists(deadState));
  EXPECT_TRUE(std::filesystem::exists(running));
  EXPECT_TRUE(std::filesystem::exists(notOurs));
}

TEST(Flash, SaveThatCannotWriteFailsWithTheReason) {
  ScratchFolder scratch;
  WriteBytes(scratch.path / "a-file", "not a folder");
  SimulatorRig blocked(1, scratch.path / "a-file" / "flash"), homeless(1);
  EXPECT_EQ(blocked.simulator.SaveParametersToFlash(0), kFlashFailure);
  EXPECT_THAT(blocked.simulator.LastError(), HasSubstr("_KAVRVB_SaveParametersToFlash"));
  EXPECT_THAT(blocked.simulator.LastError(), HasSubstr("not saved"));
  EXPECT_EQ(homeless.simulator.SaveParametersToFlash(0), kFlashFailure);
  EXPECT_THAT(homeless.simulator.LastError(), HasSubstr("KAVR_SIM_FLASH_DIR"));
}

}  // namespace
}  // namespace kavr::sim::testing
