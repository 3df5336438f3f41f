// The entries' contract as the simulator keeps it: the controller list in
// the Init buffers, refusals with a text that says why, and the not-read
// slots.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>

#include "simulator/controller_defaults.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

using ::testing::HasSubstr;

// A buffer of `capacity` bytes followed by guard bytes the library must leave alone.
struct Buffer {
  explicit Buffer(std::size_t capacity) : capacity(capacity), bytes(capacity + 32, '\x5C') {}
  char* Data() { return bytes.data(); }
  std::int32_t Size() const { return static_cast<std::int32_t>(capacity); }
  bool GuardIntact() const { return bytes.substr(capacity) == std::string(32, '\x5C'); }
  std::size_t capacity;
  std::string bytes;
};

const std::string kNul(1, '\0');

class SimulatorTest : public ::testing::Test {
 protected:
  SimulatorRig rig{2};
  Simulator& sim = rig.simulator;
  KAVR_State state;
  KAVR_Mode mode;
  KAVR_Parameters params;
  KAVR_StartParameters start;
};

TEST_F(SimulatorTest, InitListsControllersAtTheSlotWidthsAndNeverWritesPastTheCapacities) {
  SimulatorRig rig(kMaxDeviceCount);
  std::int32_t count = 0;
  for (const std::size_t capacity : {0u, 1u, 10u, 17u, 33u, 1000u}) {
    SCOPED_TRACE(capacity);
    Buffer versions(capacity), serials(capacity);
    ASSERT_EQ(rig.simulator.Init(&count, versions.Data(), versions.Size(), serials.Data(), serials.Size()),
              kSuccess);
    EXPECT_EQ(count, 58);
    EXPECT_TRUE(serials.GuardIntact() && versions.GuardIntact());
    const std::size_t first = std::min<std::size_t>(capacity, 16);
    EXPECT_EQ(serials.bytes.substr(0, first), SerialNumber(0).substr(0, first));
    if (capacity < 1000) continue;
    // The 58th serial whole, and nothing after it: a 59th would not fit.
    EXPECT_EQ(serials.bytes.substr(57 * 17, 31), SerialNumber(57) + std::string(15, '\0'));
    EXPECT_EQ(versions.bytes.substr(57 * 5, 6), FirmwareVersion(57) + kNul + kNul);
  }
  char buffer[8];
  EXPECT_EQ(rig.simulator.Init(&count, nullptr, -1, nullptr, 0), kSuccess);  // nothing asked for
  EXPECT_EQ(rig.simulator.Init(nullptr, buffer, 8, buffer, 8), kNullPointer);
  EXPECT_EQ(rig.simulator.Init(&count, nullptr, 8, buffer, 8), kNullPointer);
  EXPECT_EQ(rig.simulator.Init(&count, buffer, 8, nullptr, 8), kNullPointer);
}

TEST_F(SimulatorTest, LastErrorIsCutToTheCapacityAlwaysEndedAndKeptThroughASuccess) {
  ASSERT_EQ(sim.GetState(9, &state), kBadDevice);
  const std::string text = sim.LastError();
  ASSERT_GT(text.size(), 20u);
  ASSERT_EQ(sim.GetState(0, &state), kSuccess);
  for (const std::size_t capacity : {1u, 2u, 10u, 1000u}) {
    Buffer buffer(capacity);
    sim.GetLastErr(buffer.Data(), buffer.Size());
    const std::size_t kept = std::min(text.size(), capacity - 1);
    EXPECT_EQ(buffer.bytes.substr(0, kept + 1), text.substr(0, kept) + kNul) << capacity;
    EXPECT_TRUE(buffer.GuardIntact()) << capacity;
  }
  Buffer none(0);
  sim.GetLastErr(none.Data(), 0);
  sim.GetLastErr(none.Data(), -3);
  sim.GetLastErr(nullptr, 100);
  EXPECT_TRUE(none.GuardIntact());
}

TEST_F(SimulatorTest, EveryDeviceEntryRefusesABadIndexOrANullRecord) {
  float speed = 100.0f;
  int d = 0;
  // Each entry on device d, with its record or (n) a null one.
  const std::vector<std::pair<std::string, std::function<KAVR_ResultCode(bool)>>> entries = {
      {"GetState", [&](bool n) { return sim.GetState(d, n ? nullptr : &state); }},
      {"GetMode", [&](bool n) { return sim.GetMode(d, n ? nullptr : &mode); }},
      {"SetMode", [&](bool n) { return sim.SetMode(d, n ? nullptr : &mode); }},
      {"GetParameters", [&](bool n) { return sim.GetParameters(d, n ? nullptr : &params); }},
      {"SetParameters", [&](bool n) { return sim.SetParameters(d, n ? nullptr : &params); }},
      {"GetStartParameters", [&](bool n) { return sim.GetStartParameters(d, n ? nullptr : &start); }},
      {"Start", [&](bool n) { return sim.Start(d, 10, &speed, n ? nullptr : &start); }},
      {"Stop", [&](bool) { return sim.Stop(d); }},
      {"SaveParametersToFlash", [&](bool) { return sim.SaveParametersToFlash(d); }},
  };
  for (const auto& [name, call] : entries) {
    for (const int device : {-1, 2, std::numeric_limits<int>::min()}) {
      d = device;
      EXPECT_EQ(call(false), kBadDevice) << name << " " << device;
      EXPECT_THAT(sim.LastError(), HasSubstr("_KAVRVB_" + name + ": device index " + std::to_string(device) +
                                             " is out of range"));
    }
  }
  d = 0;
  for (std::size_t at = 0; at < 7; ++at) {
    EXPECT_EQ(entries[at].second(true), kNullPointer) << entries[at].first;
    EXPECT_THAT(sim.LastError(), HasSubstr("null"));
  }
  start.StepDivisor = 1;
  EXPECT_EQ(sim.Start(0, 10, nullptr, &start), kNullPointer);

  SimulatorRig empty(0);
  EXPECT_EQ(empty.simulator.GetState(0, &state), kBadDevice);
  EXPECT_THAT(empty.simulator.LastError(), HasSubstr("no controllers"));
}

TEST_F(SimulatorTest, NotReadSlotsMustComeBackAsHandedOut) {
  ASSERT_EQ(sim.GetMode(0, &mode), kSuccess);
  for (const std::uint8_t byte : mode.Reserved80) EXPECT_NE(byte, 0);
  KAVR_Mode zeroed = mode;
  std::memset(zeroed.Reserved80, 0, sizeof zeroed.Reserved80);
  zeroed.PowerOff = 1;
  EXPECT_EQ(sim.SetMode(0, &zeroed), kReservedSlotsChanged);
  EXPECT_THAT(sim.LastError(), HasSubstr("not-read slots"));
  EXPECT_EQ(sim.SetMode(1, &mode), kReservedSlotsChanged);  // another controller's record
  ASSERT_EQ(sim.GetMode(0, &mode), kSuccess);
  EXPECT_EQ(mode.PowerOff, 0);

  ASSERT_EQ(sim.GetParameters(0, &params), kSuccess);
  for (std::uint8_t* slot :
       {params.Reserved32, params.Reserved58, params.Reserved60 + 3, params.Reserved80 + 19}) {
    EXPECT_NE(*slot, 0);
    *slot ^= 0x40;
    EXPECT_EQ(sim.SetParameters(0, &params), kReservedSlotsChanged);
    EXPECT_THAT(sim.LastError(), HasSubstr("not-read slots of KAVR_Parameters"));
    *slot ^= 0x40;
  }
  EXPECT_EQ(sim.SetParameters(0, &params), kSuccess);
}

TEST_F(SimulatorTest, ValuesAControllerRefusesFailNamingTheFieldAndChangeNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  struct Spoilt {
    float KAVR_Parameters::*field;
    float value;
    const char* name;
  };
  KAVR_Parameters before;
  ASSERT_EQ(sim.GetParameters(0, &before), kSuccess);
  for (const Spoilt& c : {Spoilt{&KAVR_Parameters::AccelerationTime, -1.0f, "AccelerationTime"},
                          {&KAVR_Parameters::DecelerationTime, nan, "DecelerationTime"},
                          {&KAVR_Parameters::PowerReductionTimeout, -0.5f, "PowerReductionTimeout"},
                          {&KAVR_Parameters::ButtonTimeout4, inf, "ButtonTimeout4"},
                          {&KAVR_Parameters::AccelerationTime, 1e17f, "AccelerationTime"},
                          {&KAVR_Parameters::ButtonResetTimeout, 86'400'100.0f, "ButtonResetTimeout"},
                          {&KAVR_Parameters::ButtonSpeed2, -100.0f, "ButtonSpeed2"},
                          {&KAVR_Parameters::PowerOffTemperature, -inf, "PowerOffTemperature"},
                          {&KAVR_Parameters::BacklashLastPhaseSpeed, nan, "BacklashLastPhaseSpeed"}}) {
    params = before;
    params.ButtonTimeout1 = 999.0f;
    params.*c.field = c.value;
    EXPECT_EQ(sim.SetParameters(0, &params), kInvalidValue) << c.name;
    EXPECT_THAT(sim.LastError(), HasSubstr(c.name));
    ASSERT_EQ(sim.GetParameters(0, &params), kSuccess);
    EXPECT_EQ(std::memcmp(&params, &before, sizeof params), 0) << c.name;
  }
  ASSERT_EQ(sim.GetMode(0, &mode), kSuccess);
  mode.SyncOutCount = -1;
  EXPECT_EQ(sim.SetMode(0, &mode), kInvalidValue);
  EXPECT_THAT(sim.LastError(), HasSubstr("SyncOutCount"));

  float speed = 100.0f;
  for (const std::uint8_t divisor : {0, 3, 16}) {
    start.StepDivisor = divisor;
    EXPECT_EQ(sim.Start(0, 500, &speed, &start), kInvalidValue) << int{divisor};
    EXPECT_THAT(sim.LastError(), HasSubstr("StepDivisor"));
  }
  start.StepDivisor = 1;
  for (const float asked : {0.0f, -5.0f, nan, inf}) {
    speed = asked;
    EXPECT_EQ(sim.Start(0, 500, &speed, &start), kInvalidValue) << asked;
    EXPECT_THAT(sim.LastError(), HasSubstr("speed"));
  }
  rig.clock.Advance(1.0);
  ASSERT_EQ(sim.GetState(0, &state), kSuccess);
  EXPECT_EQ(state.CurrentPosition, 0);
  EXPECT_TRUE(IsSet(state.AfterReset));
}

}  // namespace
}  // namespace kavr::sim::testing
