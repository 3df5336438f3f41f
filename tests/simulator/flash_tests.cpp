// The flash files: what one library instance saves the next one starts
// with, and no damaged or half-written file ever reaches a controller.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>

#include "simulator/controller_defaults.h"
#include "simulator/flash_store.h"
#include "simulator/result_codes.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

// Compares the fields a controller keeps; the not-read slots are the
// library's own business.
void ExpectSameSettings(const KAVR_Parameters& actual, const KAVR_Parameters& expected) {
  EXPECT_EQ(actual.AccelerationTime, expected.AccelerationTime);
  EXPECT_EQ(actual.DecelerationTime, expected.DecelerationTime);
  EXPECT_EQ(actual.ButtonTimeout1, expected.ButtonTimeout1);
  EXPECT_EQ(actual.ButtonSpeed4, expected.ButtonSpeed4);
  EXPECT_EQ(actual.BacklashDistance, expected.BacklashDistance);
  EXPECT_EQ(actual.RevolutionDistance, expected.RevolutionDistance);
  EXPECT_EQ(actual.PowerOffTemperature, expected.PowerOffTemperature);
  EXPECT_EQ(actual.SyncOutPulse, expected.SyncOutPulse);
}

KAVR_Parameters ParametersOf(Simulator& simulator, int device) {
  KAVR_Parameters parameters;
  EXPECT_EQ(simulator.GetParameters(device, &parameters), kSuccess);
  return parameters;
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

KAVR_Parameters Changed(KAVR_Parameters parameters, float button_timeout) {
  parameters.ButtonTimeout1 = button_timeout;
  parameters.AccelerationTime = 350.0f;
  parameters.BacklashDistance = -12;
  return parameters;
}

TEST(Flash, SavedParametersSurviveIntoAFreshInstanceAndOnlyForThatController) {
  ScratchFolder scratch;
  const auto folder = scratch.path() / "not" / "yet" / "there";
  KAVR_Parameters saved;
  {
    SimulatorRig first(ConfigWith(3, folder));
    saved = Changed(ParametersOf(*first.simulator, 1), 1000.0f);
    ASSERT_EQ(first.simulator->SetParameters(1, &saved), kSuccess);
    ASSERT_EQ(first.simulator->SaveParametersToFlash(1), kSuccess) << first.simulator->LastError();
    // Set but never saved: gone with the instance.
    KAVR_Parameters unsaved = Changed(ParametersOf(*first.simulator, 2), 77.0f);
    ASSERT_EQ(first.simulator->SetParameters(2, &unsaved), kSuccess);
  }
  EXPECT_TRUE(std::filesystem::exists(FlashFilePath(folder, SerialNumber(1))));

  SimulatorRig second(ConfigWith(3, folder));
  ExpectSameSettings(ParametersOf(*second.simulator, 1), saved);
  ExpectSameSettings(ParametersOf(*second.simulator, 0), FactoryParameters());
  ExpectSameSettings(ParametersOf(*second.simulator, 2), FactoryParameters());
  EXPECT_TRUE(second.warnings.empty());
}

TEST(Flash, EveryTruncationOrDamageGivesFactoryDefaultsAndAWarning) {
  ScratchFolder scratch;
  const std::string good = EncodeFlash(Changed(FactoryParameters(), 1234.0f));
  ASSERT_EQ(good.size(), 120u);
  const auto path = FlashFilePath(scratch.path(), SerialNumber(0));

  std::vector<std::string> damaged;
  for (std::size_t length = 0; length < good.size(); ++length) damaged.push_back(good.substr(0, length));
  damaged.push_back(good + "x");
  for (std::size_t at : {0u, 8u, 12u, 20u, 60u, 119u}) {
    std::string flipped = good;
    flipped[at] = static_cast<char>(flipped[at] ^ 0x01);
    damaged.push_back(flipped);
  }

  for (const std::string& bytes : damaged) {
    WriteBytes(path, bytes);
    SimulatorRig rig(ConfigWith(1, scratch.path()));
    ExpectSameSettings(ParametersOf(*rig.simulator, 0), FactoryParameters());
    ASSERT_EQ(rig.warnings.size(), 1u) << bytes.size();
    EXPECT_NE(rig.warnings[0].find(path.string()), std::string::npos) << rig.warnings[0];
    EXPECT_NE(rig.warnings[0].find("factory"), std::string::npos) << rig.warnings[0];
  }

  WriteBytes(path, good);
  SimulatorRig intact(ConfigWith(1, scratch.path()));
  EXPECT_EQ(ParametersOf(*intact.simulator, 0).ButtonTimeout1, 1234.0f);
  EXPECT_TRUE(intact.warnings.empty());
}

TEST(Flash, IntactFileWithAValueNoControllerTakesIsRefused) {
  KAVR_Parameters parameters = FactoryParameters();
  parameters.DecelerationTime = std::numeric_limits<float>::quiet_NaN();
  const FlashRead read = DecodeFlash(EncodeFlash(parameters));
  EXPECT_EQ(read.outcome, FlashRead::Outcome::Unusable);
  EXPECT_NE(read.problem.find("DecelerationTime"), std::string::npos) << read.problem;
}

TEST(Flash, SaveInterruptedBeforeTheRenameLeavesTheOldFlash) {
  ScratchFolder scratch;
  const KAVR_Parameters first = Changed(FactoryParameters(), 111.0f);
  ASSERT_EQ(WriteFlash(scratch.path(), SerialNumber(0), first), "");

  std::filesystem::path left_over;
  AtomicWriteHooks crash;
  crash.before_rename = [&](const std::filesystem::path& temporary) {
    left_over = temporary;
    return false;
  };
  EXPECT_NE(WriteFlash(scratch.path(), SerialNumber(0), Changed(FactoryParameters(), 222.0f), crash), "");
  ASSERT_TRUE(std::filesystem::exists(left_over));
  EXPECT_EQ(left_over.parent_path(), scratch.path());

  // The complete temporary file sits beside the old one, which is intact.
  const FlashRead read = ReadFlash(scratch.path(), SerialNumber(0));
  ASSERT_EQ(read.outcome, FlashRead::Outcome::Loaded);
  EXPECT_EQ(read.parameters.ButtonTimeout1, 111.0f);
  SimulatorRig rig(ConfigWith(1, scratch.path()));
  EXPECT_EQ(ParametersOf(*rig.simulator, 0).ButtonTimeout1, 111.0f);
  EXPECT_TRUE(rig.warnings.empty());

  // A later save goes through despite the leftover.
  ASSERT_EQ(WriteFlash(scratch.path(), SerialNumber(0), Changed(FactoryParameters(), 333.0f)), "");
  EXPECT_EQ(ReadFlash(scratch.path(), SerialNumber(0)).parameters.ButtonTimeout1, 333.0f);
}

TEST(Flash, SaveThatCannotWriteFailsWithTheReason) {
  ScratchFolder scratch;
  const auto blocker = scratch.path() / "a-file";
  WriteBytes(blocker, "not a folder");
  SimulatorRig rig(ConfigWith(1, blocker / "flash"));
  EXPECT_EQ(rig.simulator->SaveParametersToFlash(0), kFlashFailure);
  EXPECT_NE(rig.simulator->LastError().find("_KAVRVB_SaveParametersToFlash"), std::string::npos);
  EXPECT_NE(rig.simulator->LastError().find("not saved"), std::string::npos) << rig.simulator->LastError();

  SimulatorRig homeless(ConfigWith(1, {}));
  EXPECT_EQ(homeless.simulator->SaveParametersToFlash(0), kFlashFailure);
  EXPECT_NE(homeless.simulator->LastError().find("KAVR_SIM_FLASH_DIR"), std::string::npos);
}

}  // namespace
}  // namespace kavr::sim::testing
