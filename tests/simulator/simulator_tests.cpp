// The entries' contract as the simulator keeps it: the controller list in
// the Init buffers, the records handed out and taken back, refusals with a
// text that says why, and calls from several threads at once.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "simulator/controller_defaults.h"
#include "simulator/result_codes.h"
#include "simulator_test_support.h"

namespace kavr::sim::testing {
namespace {

constexpr char kGuard = '\x5C';

// A buffer with guard bytes on either side of the part the library is told
// about.
struct GuardedBuffer {
  explicit GuardedBuffer(std::size_t capacity) : capacity(capacity), bytes(capacity + 64, kGuard) {}
  char* data() { return bytes.data() + 32; }
  std::int32_t size() const { return static_cast<std::int32_t>(capacity); }
  std::string Slice(std::size_t from, std::size_t length) const { return bytes.substr(32 + from, length); }
  bool GuardsIntact() const {
    return bytes.substr(0, 32) == std::string(32, kGuard) &&
           bytes.substr(32 + capacity) == std::string(32, kGuard);
  }
  std::size_t capacity;
  std::string bytes;
};

class SimulatorTest : public ::testing::Test {
 protected:
  ScratchFolder scratch_;
};

TEST_F(SimulatorTest, InitListsTwoControllersAtTheSlotWidths) {
  SimulatorRig rig(ConfigWith(2, scratch_.path()));
  GuardedBuffer versions(1000), serials(1000);
  std::int32_t count = -5;
  ASSERT_EQ(rig.simulator->Init(&count, versions.data(), versions.size(), serials.data(), serials.size()),
            kSuccess);
  EXPECT_EQ(count, 2);
  std::set<std::string> distinct;
  for (std::size_t index = 0; index < 2; ++index) {
    const std::string serial = serials.Slice(index * 17, 16);
    const std::string version = versions.Slice(index * 5, 4);
    EXPECT_EQ(serial.find('\0'), std::string::npos) << serial;
    EXPECT_EQ(version.find('\0'), std::string::npos) << version;
    EXPECT_EQ(serials.Slice(index * 17 + 16, 1), std::string(1, '\0'));
    EXPECT_EQ(versions.Slice(index * 5 + 4, 1), std::string(1, '\0'));
    distinct.insert(serial);
  }
  EXPECT_EQ(distinct.size(), 2u);
  EXPECT_EQ(serials.Slice(34, 1000 - 34), std::string(1000 - 34, '\0'));
  EXPECT_TRUE(serials.GuardsIntact());
  EXPECT_TRUE(versions.GuardsIntact());
}

TEST_F(SimulatorTest, InitNeverWritesPastTheCapacities) {
  SimulatorRig rig(ConfigWith(200, scratch_.path()));
  {
    GuardedBuffer versions(1000), serials(1000);
    std::int32_t count = 0;
    ASSERT_EQ(rig.simulator->Init(&count, versions.data(), versions.size(), serials.data(), serials.size()),
              kSuccess);
    EXPECT_EQ(count, 200);
    EXPECT_EQ(serials.Slice(57 * 17, 16), SerialNumber(57));
    EXPECT_EQ(serials.Slice(58 * 17, 14), SerialNumber(58).substr(0, 14));  // the 59th: 14 characters fit
    EXPECT_EQ(versions.Slice(199 * 5, 4), FirmwareVersion(199));
    EXPECT_TRUE(serials.GuardsIntact());
    EXPECT_TRUE(versions.GuardsIntact());
  }
  for (std::size_t capacity : {0u, 1u, 10u, 17u, 33u}) {
    GuardedBuffer versions(capacity), serials(capacity);
    std::int32_t count = 0;
    ASSERT_EQ(rig.simulator->Init(&count, versions.data(), versions.size(), serials.data(), serials.size()),
              kSuccess);
    EXPECT_EQ(count, 200);
    EXPECT_TRUE(serials.GuardsIntact()) << capacity;
    EXPECT_TRUE(versions.GuardsIntact()) << capacity;
    EXPECT_EQ(serials.Slice(0, std::min<std::size_t>(capacity, 16)),
              SerialNumber(0).substr(0, std::min<std::size_t>(capacity, 16)));
  }
  std::int32_t count = 0;
  EXPECT_EQ(rig.simulator->Init(&count, nullptr, -1, nullptr, 0), kSuccess);
  char buffer[8];
  EXPECT_EQ(rig.simulator->Init(nullptr, buffer, 8, buffer, 8), kNullPointer);
  EXPECT_EQ(rig.simulator->Init(&count, nullptr, 8, buffer, 8), kNullPointer);
  EXPECT_EQ(rig.simulator->Init(&count, buffer, 8, nullptr, 8), kNullPointer);
}

TEST_F(SimulatorTest, LastErrorIsCutToTheCapacityAndAlwaysEnded) {
  SimulatorRig rig(ConfigWith(2, scratch_.path()));
  KAVR_State state;
  ASSERT_EQ(rig.simulator->GetState(9, &state), kBadDevice);
  const std::string text = rig.simulator->LastError();
  ASSERT_GT(text.size(), 20u);

  for (std::size_t capacity : {1u, 2u, 10u, 1000u}) {
    GuardedBuffer buffer(capacity);
    rig.simulator->GetLastErr(buffer.data(), buffer.size());
    const std::size_t kept = std::min(text.size(), capacity - 1);
    EXPECT_EQ(buffer.Slice(0, kept), text.substr(0, kept));
    EXPECT_EQ(buffer.Slice(kept, 1), std::string(1, '\0'));
    EXPECT_TRUE(buffer.GuardsIntact());
  }
  GuardedBuffer none(0);
  rig.simulator->GetLastErr(none.data(), 0);
  rig.simulator->GetLastErr(none.data(), -3);
  rig.simulator->GetLastErr(nullptr, 100);
  EXPECT_TRUE(none.GuardsIntact());

  // A later success leaves the text of the last failure in place.
  ASSERT_EQ(rig.simulator->GetState(0, &state), kSuccess);
  EXPECT_EQ(rig.simulator->LastError(), text);
}

TEST_F(SimulatorTest, EveryDeviceEntryRefusesABadIndexOrANullRecord) {
  SimulatorRig rig(ConfigWith(2, scratch_.path()));
  Simulator& sim = *rig.simulator;
  KAVR_State state;
  KAVR_Mode mode;
  KAVR_Parameters parameters;
  KAVR_StartParameters start;
  float speed = 100.0f;
  using Call = std::function<KAVR_ResultCode(std::int32_t, bool)>;
  const std::vector<std::pair<const char*, Call>> entries = {
      {"_KAVRVB_GetState",
       [&](std::int32_t d, bool null) { return sim.GetState(d, null ? nullptr : &state); }},
      {"_KAVRVB_GetMode", [&](std::int32_t d, bool null) { return sim.GetMode(d, null ? nullptr : &mode); }},
      {"_KAVRVB_SetMode", [&](std::int32_t d, bool null) { return sim.SetMode(d, null ? nullptr : &mode); }},
      {"_KAVRVB_GetParameters",
       [&](std::int32_t d, bool null) { return sim.GetParameters(d, null ? nullptr : &parameters); }},
      {"_KAVRVB_SetParameters",
       [&](std::int32_t d, bool null) { return sim.SetParameters(d, null ? nullptr : &parameters); }},
      {"_KAVRVB_GetStartParameters",
       [&](std::int32_t d, bool null) { return sim.GetStartParameters(d, null ? nullptr : &start); }},
      {"_KAVRVB_Start",
       [&](std::int32_t d, bool null) { return sim.Start(d, 10, &speed, null ? nullptr : &start); }},
      {"_KAVRVB_Stop", [&](std::int32_t d, bool) { return sim.Stop(d); }},
      {"_KAVRVB_SaveParametersToFlash", [&](std::int32_t d, bool) { return sim.SaveParametersToFlash(d); }},
  };
  for (const auto& [name, call] : entries) {
    for (std::int32_t device : {-1, 2, std::numeric_limits<std::int32_t>::min(), 1000}) {
      EXPECT_EQ(call(device, false), kBadDevice) << name << " " << device;
      const std::string text = sim.LastError();
      EXPECT_NE(text.find(name), std::string::npos) << text;
      EXPECT_NE(text.find("device index " + std::to_string(device) + " is out of range"), std::string::npos)
          << text;
    }
  }
  for (std::size_t at = 0; at < 7; ++at) {
    EXPECT_EQ(entries[at].second(0, true), kNullPointer) << entries[at].first;
    EXPECT_NE(sim.LastError().find("null"), std::string::npos);
  }
  start.StepDivisor = 1;
  EXPECT_EQ(sim.Start(0, 10, nullptr, &start), kNullPointer);

  SimulatorRig empty(ConfigWith(0, scratch_.path()));
  EXPECT_EQ(empty.simulator->GetState(0, &state), kBadDevice);
  EXPECT_NE(empty.simulator->LastError().find("no controllers"), std::string::npos);
}

TEST_F(SimulatorTest, RecordsGoOutWithPlausibleDefaultsAndComeBackAsSet) {
  SimulatorRig rig(ConfigWith(2, scratch_.path()));
  KAVR_Mode mode;
  ASSERT_EQ(rig.simulator->GetMode(0, &mode), kSuccess);
  EXPECT_EQ(mode.PowerOff, 0);
  mode.PowerOff = 1;
  mode.Trailer1Enabled = 1;
  mode.TrailersSwapped = -1;
  ASSERT_EQ(rig.simulator->SetMode(0, &mode), kSuccess);
  KAVR_Mode again;
  ASSERT_EQ(rig.simulator->GetMode(0, &again), kSuccess);
  EXPECT_EQ(std::memcmp(&again, &mode, sizeof mode), 0);

  KAVR_Parameters parameters;
  ASSERT_EQ(rig.simulator->GetParameters(1, &parameters), kSuccess);
  EXPECT_GT(parameters.AccelerationTime, 0.0f);
  EXPECT_NEAR(parameters.PowerOffTemperature, 70.0f, 10.0f);
  parameters.ButtonTimeout1 = 1000.0f;
  ASSERT_EQ(rig.simulator->SetParameters(1, &parameters), kSuccess);
  KAVR_Parameters read_back;
  ASSERT_EQ(rig.simulator->GetParameters(1, &read_back), kSuccess);
  EXPECT_EQ(std::memcmp(&read_back, &parameters, sizeof parameters), 0);

  KAVR_StartParameters start;
  ASSERT_EQ(rig.simulator->GetStartParameters(0, &start), kSuccess);
  EXPECT_EQ(start.StepDivisor, 1);
}

TEST_F(SimulatorTest, NotReadSlotsMustComeBackAsHandedOut) {
  SimulatorRig rig(ConfigWith(2, scratch_.path()));
  KAVR_Mode mode;
  ASSERT_EQ(rig.simulator->GetMode(0, &mode), kSuccess);
  for (const std::uint8_t byte : mode.Reserved80) EXPECT_NE(byte, 0);

  KAVR_Mode zeroed = mode;
  std::memset(zeroed.Reserved80, 0, sizeof zeroed.Reserved80);
  zeroed.PowerOff = 1;
  EXPECT_EQ(rig.simulator->SetMode(0, &zeroed), kReservedSlotsChanged);
  EXPECT_NE(rig.simulator->LastError().find("not-read slots"), std::string::npos)
      << rig.simulator->LastError();
  EXPECT_EQ(rig.simulator->SetMode(1, &mode), kReservedSlotsChanged);  // another controller's record
  KAVR_Mode stored;
  ASSERT_EQ(rig.simulator->GetMode(0, &stored), kSuccess);
  EXPECT_EQ(stored.PowerOff, 0);

  KAVR_Parameters parameters;
  ASSERT_EQ(rig.simulator->GetParameters(0, &parameters), kSuccess);
  std::uint8_t* slots[] = {parameters.Reserved32, parameters.Reserved58, parameters.Reserved60 + 3,
                           parameters.Reserved80 + 19};
  for (std::uint8_t* slot : slots) {
    EXPECT_NE(*slot, 0);
    const std::uint8_t kept = *slot;
    *slot = static_cast<std::uint8_t>(kept ^ 0x40);
    EXPECT_EQ(rig.simulator->SetParameters(0, &parameters), kReservedSlotsChanged);
    EXPECT_NE(rig.simulator->LastError().find("not-read slots of KAVR_Parameters"), std::string::npos);
    *slot = kept;
  }
  EXPECT_EQ(rig.simulator->SetParameters(0, &parameters), kSuccess);
}

TEST_F(SimulatorTest, ValuesAControllerRefusesFailNamingTheFieldAndChangeNothing) {
  SimulatorRig rig(ConfigWith(1, scratch_.path()));
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    const char* field;
    std::function<void(KAVR_Parameters&)> spoil;
  };
  const Case cases[] = {
      {"AccelerationTime", [](KAVR_Parameters& p) { p.AccelerationTime = -1.0f; }},
      {"DecelerationTime", [&](KAVR_Parameters& p) { p.DecelerationTime = nan; }},
      {"PowerReductionTimeout", [](KAVR_Parameters& p) { p.PowerReductionTimeout = -0.5f; }},
      {"ButtonTimeout4", [&](KAVR_Parameters& p) { p.ButtonTimeout4 = inf; }},
      {"ButtonSpeed2", [](KAVR_Parameters& p) { p.ButtonSpeed2 = -100.0f; }},
      {"PowerOffTemperature", [&](KAVR_Parameters& p) { p.PowerOffTemperature = -inf; }},
      {"BacklashLastPhaseSpeed", [&](KAVR_Parameters& p) { p.BacklashLastPhaseSpeed = nan; }},
  };
  KAVR_Parameters before;
  ASSERT_EQ(rig.simulator->GetParameters(0, &before), kSuccess);
  for (const Case& c : cases) {
    KAVR_Parameters parameters = before;
    parameters.ButtonTimeout1 = 999.0f;
    c.spoil(parameters);
    EXPECT_EQ(rig.simulator->SetParameters(0, &parameters), kInvalidValue) << c.field;
    EXPECT_NE(rig.simulator->LastError().find(c.field), std::string::npos) << rig.simulator->LastError();
    KAVR_Parameters after;
    ASSERT_EQ(rig.simulator->GetParameters(0, &after), kSuccess);
    EXPECT_EQ(std::memcmp(&after, &before, sizeof after), 0) << c.field;
  }

  KAVR_Mode mode;
  ASSERT_EQ(rig.simulator->GetMode(0, &mode), kSuccess);
  mode.SyncOutCount = -1;
  EXPECT_EQ(rig.simulator->SetMode(0, &mode), kInvalidValue);
  EXPECT_NE(rig.simulator->LastError().find("SyncOutCount"), std::string::npos);

  struct StartCase {
    std::uint8_t divisor;
    float speed;
    const char* named;
  };
  for (const StartCase& c :
       {StartCase{0, 100.0f, "StepDivisor"}, StartCase{3, 100.0f, "StepDivisor"},
        StartCase{16, 100.0f, "StepDivisor"}, StartCase{1, 0.0f, "speed"}, StartCase{1, -5.0f, "speed"},
        StartCase{1, nan, "speed"}, StartCase{1, inf, "speed"}}) {
    KAVR_StartParameters start;
    ASSERT_EQ(rig.simulator->GetStartParameters(0, &start), kSuccess);
    start.StepDivisor = c.divisor;
    float speed = c.speed;
    EXPECT_EQ(rig.simulator->Start(0, 500, &speed, &start), kInvalidValue)
        << int{c.divisor} << " " << c.speed;
    EXPECT_NE(rig.simulator->LastError().find(c.named), std::string::npos) << rig.simulator->LastError();
    rig.clock->Advance(std::chrono::seconds(1));
    KAVR_State state;
    ASSERT_EQ(rig.simulator->GetState(0, &state), kSuccess);
    EXPECT_EQ(state.CurrentPosition, 0);
    EXPECT_TRUE(IsSet(state.AfterReset));
  }
}

TEST_F(SimulatorTest, TwoThreadsCallingAtOnce) {
  SimulatorRig rig(ConfigWith(2, scratch_.path()));
  Simulator& sim = *rig.simulator;
  auto worker = [&sim](int device, int* failures) {
    for (int round = 0; round < 2000; ++round) {
      KAVR_Mode mode;
      KAVR_Parameters parameters;
      KAVR_StartParameters start;
      KAVR_State state;
      float speed = 2000.0f;
      bool ok = sim.GetMode(device, &mode) == kSuccess && sim.SetMode(device, &mode) == kSuccess &&
                sim.GetParameters(device, &parameters) == kSuccess &&
                sim.SetParameters(device, &parameters) == kSuccess &&
                sim.GetStartParameters(device, &start) == kSuccess &&
                sim.Start(device, round, &speed, &start) == kSuccess &&
                sim.GetState(device, &state) == kSuccess && sim.Stop(device) == kSuccess;
      // Both threads also share device 0 and the last error.
      ok = ok && sim.GetState(0, &state) == kSuccess && sim.GetState(7, &state) == kBadDevice;
      char text[64];
      sim.GetLastErr(text, sizeof text);
      ok = ok && std::strlen(text) < sizeof text;
      if (!ok) ++*failures;
    }
  };
  int failures[2] = {};
  std::thread first(worker, 0, &failures[0]);
  std::thread second(worker, 1, &failures[1]);
  first.join();
  second.join();
  EXPECT_EQ(failures[0], 0);
  EXPECT_EQ(failures[1], 0);
}

}  // namespace
}  // namespace kavr::sim::testing
