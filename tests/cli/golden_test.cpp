// Every command on the scripted library: the exact standard output and
// error, the exit code and the library calls made, in one table.
#include <gtest/gtest.h>

#include "app/version.h"
#include "kavrctl_runner.h"

namespace cli_test {
namespace {

using fakes::FakeLibrary;
using fakes::Strings;

// The state of the state report's worked example.
const KAVR_State kWorkedState{.CurrentPosition = 250,
                              .Temperature = 31.25f,
                              .StepDivisor = 8,
                              .FullPower = 1,
                              .DirectionCCW = 1,
                              .PowerOn = 1,
                              .FullSpeed = 1,
                              .Running = 1,
                              .SyncOutState = 1,
                              .Trailer1Pushed = 1,
                              .InputVoltage = 12.0f};

constexpr const char* kTwoDevices =
    "Device - 1 Serial Number - ABCDEFGHIJKLMNOP Version - 0123\n"
    "Device - 2 Serial Number - RSTUVWXYZABCDEFG Version - 5601\n";
constexpr const char* kStartFields =
    "the fields are: BacklashCCW, AutoBacklash, SlowStart, WaitSyncIn, SyncOutCounterReset, ForceBacklash\n";

struct Golden {
  Strings args;
  void (*script)(FakeLibrary&);  // on one attached controller
  int code;
  std::string out, err;
  Strings events;
};

void None(FakeLibrary&) {}
void TwoAttached(FakeLibrary& f) { f.initCount = 2; }
void WorkedState(FakeLibrary& f) { f.state = kWorkedState; }

const Golden kGolden[] = {
    // Listing and choosing the controller.
    {{"list"}, TwoAttached, 0, kTwoDevices, "", {"Init"}},
    {{"list"},
     [](FakeLibrary& f) { f.initCount = 0; },
     3,
     "",
     "kavrctl: No Devices Found\nOr DLL is locked - try restart Visual Basic\n",
     {"Init"}},
    {{"list"},
     [](FakeLibrary& f) { f.results[kavr::Entry::Init] = 4; },
     2,
     "",
     "kavrctl: _KAVRVB_Init failed with ResultCode 4: Device is busy\n",
     {"Init", "GetLastErr"}},
    {{"state"},
     TwoAttached,
     4,
     "",
     std::string("kavrctl: 2 controllers are attached; choose one with --device N (its number below) or "
                 "--serial SERIAL:\n") +
         kTwoDevices,
     {"Init"}},
    {{"-d", "3", "state"},
     TwoAttached,
     3,
     "",
     std::string("kavrctl: there is no controller 3: 2 controllers are attached. The controllers:\n") +
         kTwoDevices,
     {"Init"}},
    {{"state", "--device", "0"},
     None,
     3,
     "",
     "kavrctl: there is no controller 0: 1 controller is attached. The controllers:\n"
     "Device - 1 Serial Number - ABCDEFGHIJKLMNOP Version - 0123\n",
     {"Init"}},
    {{"-s", "ABCDEFGHIJKLMNOQ", "state"},
     TwoAttached,
     3,
     "",
     std::string("kavrctl: no controller has the serial number ABCDEFGHIJKLMNOQ. The controllers:\n") +
         kTwoDevices,
     {"Init"}},

    // The library: a file that does not load, an entry it lacks, a call that fails.
    {{"list"},
     [](FakeLibrary& f) {
       f.loadFailure = "Cannot load the controller library /opt/KAVRVBDLL.so: not found";
       f.results[kavr::Entry::Init] = -1001;
     },
     5,
     "",
     "kavrctl: Cannot load the controller library /opt/KAVRVBDLL.so: not found\n",
     {"Init"}},
    {{"state"},
     [](FakeLibrary& f) {
       f.results[kavr::Entry::GetState] = -1001;
       f.lastError = U"The controller library /opt/x.so has no entry _KAVRVB_GetState";
     },
     5,
     "",
     "kavrctl: The controller library /opt/x.so has no entry _KAVRVB_GetState\n",
     {"Init", "GetState", "GetLastErr"}},
    {{"state"},
     [](FakeLibrary& f) {
       f.results[kavr::Entry::GetState] = 7;
       f.lastError = U"Busy\x1b[2J\r\nnow\u009b";
     },
     2,
     "",
     "kavrctl: _KAVRVB_GetState failed with ResultCode 7: Busy\\x1b[2J\\x0d\\x0anow\\u009b\n",
     {"Init", "GetState", "GetLastErr"}},

    // Reading.
    {{"state"},
     WorkedState,
     0,
     "The state is:\n- Current Position in microsteps - 250\n- Temperature - 31.25\u00B0C\n- Step Divisor - "
     "8\n"
     "- Loft State - Fixed\n- Power - Full\n- Step Motor is Running in CCW Direction \n"
     "- Device Position Already Set\n- Input Synchronization Logical Pin State - FALSE\n"
     "- Output Synchronization Logical Pin State - TRUE\n- Rotary Transducer Logical Pin State - FALSE\n"
     "- Rotary Transducer Error Flag - Clear\n- Emergency Disable Button - Unpushed\n"
     "- Trailer 1 Press State - Pushed\n- Trailer 2 Press State - Unpushed\n- Input Voltage - 12.0\n",
     "",
     {"Init", "GetState"}},
    {{"start-parameters"},
     [](FakeLibrary& f) { f.start = {.StepDivisor = 2, .AutoBacklash = -1, .ForceBacklash = 1}; },
     0,
     "StepDivisor=2\nBacklashCCW=false\nAutoBacklash=true\nSlowStart=false\nWaitSyncIn=false\n"
     "SyncOutCounterReset=false\nForceBacklash=true\n",
     "",
     {"Init", "GetStartParameters"}},
    {{"start-parameters", "--json"},
     [](FakeLibrary& f) { f.start = {.StepDivisor = 4, .SlowStart = 1}; },
     0,
     "{\n  \"StepDivisor\": 4,\n  \"BacklashCCW\": false,\n  \"AutoBacklash\": false,\n  \"SlowStart\": "
     "true,\n"
     "  \"WaitSyncIn\": false,\n  \"SyncOutCounterReset\": false,\n  \"ForceBacklash\": false\n}\n",
     "",
     {"Init", "GetStartParameters"}},
    {{"last-error"},
     [](FakeLibrary& f) { f.lastError = U"Step lost\rat 200\a"; },
     0,
     "Step lost\nat 200\\x07\n",
     "",
     {"Init", "GetLastErr"}},
    {{"last-error"},
     [](FakeLibrary& f) { f.results[kavr::Entry::Init] = 5; },
     0,
     "Device is busy\n",
     "",
     {"Init", "GetLastErr"}},

    // Moving: the start report's second worked example, a speed the library lowered.
    {{"start", "-150", "0.5", "--divisor", "8", "AutoBacklash=1", "BacklashCCW=on", "ForceBacklash=off",
      "WaitSyncIn=true", "SyncOutCounterReset=1"},
     [](FakeLibrary& f) { f.start = {}; },
     0,
     "Destination position - -150\nSpeed - .50 tacts/s\nSteps Divisor - 8\nAutomatic backlash operation - "
     "Enabled\n"
     "Automatic backlash operation direction - CCW\nForce automatic backlash operation - FALSE\n"
     "Controller will wait for input synchronization signal to start\n"
     "Output synchronization counter will be reset\n",
     "",
     {"Init", "GetStartParameters", "Start"}},
    {{"start", "12.5", "30000"},
     [](FakeLibrary& f) {
       f.start = {};
       f.speedAfterStart = 5000.0f;
     },
     0,
     "Destination position - 13\nSpeed - 5000.00 tacts/s\nSteps Divisor - 1\nSlow start/stop mode - "
     "Disabled\n"
     "Input synchronization signal ignored\nOutput synchronization counter will not be reset\n",
     "",
     {"Init", "GetStartParameters", "Start"}},
    {{"start", "0", "100"},
     [](FakeLibrary& f) { f.results[kavr::Entry::GetStartParameters] = 3; },
     2,
     "",
     "kavrctl: _KAVRVB_GetStartParameters failed with ResultCode 3: Device is busy\n",
     {"Init", "GetStartParameters", "GetLastErr"}},
    {{"stop"}, None, 0, "Should be Stoped\n", "", {"Init", "Stop"}},
    {{"stop"},
     [](FakeLibrary& f) { f.results[kavr::Entry::Stop] = 1; },
     2,
     "",
     "kavrctl: _KAVRVB_Stop failed with ResultCode 1: Device is busy\n",
     {"Init", "Stop", "GetLastErr"}},
    {{"save"}, None, 0, "Parameters Should be Saved\n", "", {"Init", "SaveParametersToFlash"}},
    {{"set-mode", "PowerOff=1"},
     [](FakeLibrary& f) { f.results[kavr::Entry::GetMode] = 3; },
     2,
     "",
     "kavrctl: _KAVRVB_GetMode failed with ResultCode 3: Device is busy\n",
     {"Init", "GetMode", "GetLastErr"}},
    {{"watch", "--count", "2"},
     WorkedState,
     0,
     "12:00:00.000 position=250 running=CCW full-speed=yes power=Full voltage=12.0 temperature=31.25\u00B0C\n"
     "12:00:00.000 position=250 running=CCW full-speed=yes power=Full voltage=12.0 "
     "temperature=31.25\u00B0C\n",
     "",
     {"Init", "GetState", "GetState"}},
    {{"watch", "--count", "2", "--interval", "10"},
     [](FakeLibrary& f) { f.results[kavr::Entry::GetState] = 7; },
     2,
     "",
     "12:00:00.000 _KAVRVB_GetState failed with ResultCode 7: Device is busy\n"
     "12:00:00.000 _KAVRVB_GetState failed with ResultCode 7: Device is busy\n",
     {"Init", "GetState", "GetLastErr", "GetState", "GetLastErr"}},

    // Refused before the library is touched.
    {{},
     None,
     1,
     "",
     "kavrctl: A subcommand is required\nRun kavrctl --help, or kavrctl COMMAND --help.\n",
     {}},
    {{"--version"}, None, 0, std::string("kavrctl ") + kavr::kVersion + "\n", "", {}},
    {{"-d", "1", "-s", "X", "state"},
     None,
     1,
     "",
     "kavrctl: --device excludes --serial\nRun kavrctl --help, or kavrctl COMMAND --help.\n",
     {}},
    {{"set-mode"}, None, 1, "", "kavrctl: set-mode: name at least one FIELD=VALUE or a --file\n", {}},
    {{"start", "x", "10"}, None, 1, "", "kavrctl: DEST: \"x\" is not a number\n", {}},
    {{"start", "10", "-0"}, None, 1, "", "kavrctl: SPEED: \"-0\" is not above 0\n", {}},
    {{"start", "10", "10", "StepDivisor=2"}, None, 1, "", "kavrctl: StepDivisor is set with --divisor\n", {}},
    {{"start", "10", "10", "Slow=1"},
     None,
     1,
     "",
     std::string("kavrctl: \"Slow\" is not a field of KAVR_StartParameters; ") + kStartFields,
     {}},
    {{"start", "10", "10", "--divisor", "3"},
     None,
     1,
     "",
     "kavrctl: --divisor: 3 not in {1,2,4,8}\nRun kavrctl --help, or kavrctl COMMAND --help.\n",
     {}},
    {{"start", "10", "10", "--wait", "SlowStart=1"},
     None,
     1,
     "",
     "kavrctl: --wait: \"SlowStart=1\" is not a number of seconds from 0 up (write --wait=SECONDS when "
     "FIELD=VALUE follows)\n",
     {}},
};

TEST(Kavrctl, GoldenOutputs) {
  for (const Golden& golden : kGolden) {
    SCOPED_TRACE(::testing::PrintToString(golden.args));
    KavrctlRunner kavrctl;
    golden.script(kavrctl.library);
    const Ran ran = kavrctl.Run(golden.args);
    EXPECT_EQ(ran.code, golden.code);
    EXPECT_EQ(ran.out, golden.out);
    EXPECT_EQ(ran.err, golden.err);
    EXPECT_EQ(kavrctl.library.events, golden.events);
    // A run refused by its arguments does not even load the library.
    if (golden.code == 1) {
      EXPECT_EQ(kavrctl.opened, 0);
    }
  }
}

}  // namespace
}  // namespace cli_test
