// What the golden table cannot show: the records as sent, settings that
// round-trip, the transcript, the library file, waiting and Ctrl+C.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

#include "kavrctl_runner.h"
#include "portable.h"
#include "reports/reports.h"
#include "transcript/record_fields.h"

namespace cli_test {
namespace {

using fakes::BytesOf;
using fakes::Strings;

// A report as kavrctl prints it: one line feed per carriage return.
std::string Printed(std::string report) {
  std::replace(report.begin(), report.end(), '\r', '\n');
  return report;
}

TEST(Kavrctl, WritesOnlyTheFieldsNamedOverTheRecordAsReadAndReportsIt) {
  KavrctlRunner kavrctl;
  kavrctl.decimalSeparator = ",";
  // Trailer1Enabled reads as set already, so it keeps the value read.
  KAVR_Mode mode = kavrctl.library.mode;
  mode.PowerOff = 0;
  mode.SyncOutCount = 5;
  const Ran ran = kavrctl.Run({"set-mode", "PowerOff=0", "SyncOutCount=5", "Trailer1Enabled=on"});
  EXPECT_EQ(ran.code, 0);
  EXPECT_EQ(BytesOf(kavrctl.library.mode), BytesOf(mode));
  EXPECT_EQ(ran.out, Printed(kavr::ModeReportText(mode, ",")));

  KAVR_Parameters parameters = kavrctl.library.parameters;
  parameters.ButtonTimeout1 = 1000.0f;
  EXPECT_EQ(kavrctl.Run({"set-parameters", "ButtonTimeout1=1000"}).out,
            Printed(kavr::ParametersReportText(parameters, ",")));
  EXPECT_EQ(BytesOf(kavrctl.library.parameters), BytesOf(parameters));
  EXPECT_EQ(kavrctl.library.events,
            (Strings{"Init", "GetMode", "SetMode", "Init", "GetParameters", "SetParameters"}));
  EXPECT_EQ(kavrctl.Run({"parameters"}).out, Printed(kavr::ParametersReportText(parameters, ",")));
}

TEST(Kavrctl, SettingsPrintedAsJsonGoBackByteForByte) {
  test_support::ScratchFolder scratch;
  KavrctlRunner kavrctl;
  const KAVR_Parameters parameters = kavrctl.library.parameters;
  const KAVR_Mode mode = kavrctl.library.mode;
  const Ran printed = kavrctl.Run({"parameters", "--json"});
  ASSERT_EQ(printed.code, 0);
  EXPECT_EQ(kavrctl.Run({"set-parameters", "--file", "-"}, printed.out).code, 0);
  EXPECT_EQ(BytesOf(kavrctl.library.parameters), BytesOf(parameters));

  const std::filesystem::path file = scratch.path / "mode.json";
  std::ofstream(file) << kavrctl.Run({"mode", "--json"}).out;
  EXPECT_EQ(kavrctl.Run({"set-mode", "--file", file.string(), "PowerOff=0"}).code, 0);
  KAVR_Mode expected = mode;
  expected.PowerOff = 0;
  EXPECT_EQ(BytesOf(kavrctl.library.mode), BytesOf(expected));
}

TEST(Kavrctl, RefusedSettingsSendNothing) {
  test_support::ScratchFolder scratch;
  const struct {
    Strings args;
    std::string input, err;
  } cases[] = {
      {{"set-parameters", "--file", "-"},
       "{\"ButtonTimeout1\": true}",
       "kavrctl: -: ButtonTimeout1: true is not a number\n"},
      {{"set-mode", "--file", "-", "PowerOff=2"},
       "{}",
       "kavrctl: PowerOff: \"2\" is not a flag (0, 1, true, false, on or off)\n"},
      {{"set-mode", "--file", (scratch.path / "none.json").string()},
       "",
       "kavrctl: " + (scratch.path / "none.json").string() + ": cannot be read: No such file or directory\n"},
      {{"set-parameters", "DecelerationTime=9223372036854775807"},
       "",
       "kavrctl: DecelerationTime: 9.223372e+18 must not be longer than a day (86400000 ms)\n"},
      {{"set-mode", "SyncOutCount=-1"}, "", "kavrctl: SyncOutCount: -1 must not be negative\n"},
      {{"set-parameters", "--file", "-"},
       std::string("{\"AccelerationTime\": 153}") + '\0' + "{\"AccelerationTime\": 154, \"Bogus\": [",
       "kavrctl: -: not JSON: a NUL byte at byte 26; nothing may follow the value\n"},
  };
  for (const auto& c : cases) {
    KavrctlRunner kavrctl;
    const Ran ran = kavrctl.Run(c.args, c.input);
    EXPECT_EQ(ran.code, 1);
    EXPECT_EQ(ran.err, c.err);
    EXPECT_EQ(kavrctl.opened, 0);
  }
}

TEST(Kavrctl, TheTranscriptHasALinePerLibraryCall) {
  test_support::ScratchFolder scratch;
  const std::filesystem::path trace = scratch.path / "calls.txt";
  KavrctlRunner kavrctl;
  kavrctl.library.results[kavr::Entry::Stop] = 7;
  EXPECT_EQ(kavrctl.Run({"--trace", trace.string(), "stop"}).code, 2);
  std::ifstream in(trace);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  const std::string time = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z )";
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(
      std::regex_match(lines[0], std::regex(time + "Init count=1 rc=0 us=\\d+ versions=\"0123456.*")));
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(time + "Stop device=0 rc=7 us=\\d+")));
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(time + "GetLastErr us=\\d+ text=\"Device is busy\"")));

  const Ran unwritable = kavrctl.Run({"--trace", (scratch.path / "no" / "calls.txt").string(), "stop"});
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_TRUE(unwritable.err.starts_with("kavrctl: Cannot write the transcript ")) << unwritable.err;
  EXPECT_EQ(kavrctl.opened, 1);
}

TEST(Kavrctl, LoadsTheLibraryBesideItselfOrTheOneNamedByItsFullPath) {
  KavrctlRunner kavrctl;
  kavrctl.Run({"list"});
  EXPECT_EQ(kavrctl.openedFile, std::nullopt);
  kavrctl.Run({"--library", "libs/KAVRVBDLL.so", "list"});
  EXPECT_EQ(kavrctl.openedFile, std::filesystem::current_path() / "libs" / "KAVRVBDLL.so");
}

TEST(Kavrctl, ChoosesTheControllerByNumberOrSerial) {
  for (const Strings& args : {Strings{"-d", "2", "stop"}, Strings{"stop", "--device", "2"},
                              Strings{"--serial", "RSTUVWXYZABCDEFG", "stop"}}) {
    KavrctlRunner kavrctl;
    kavrctl.library.initCount = 2;
    EXPECT_EQ(kavrctl.Run(args).code, 0);
    EXPECT_EQ(kavrctl.library.devices, std::vector<std::int32_t>{1});
  }
}

TEST(Kavrctl, StartWaitsUntilTheMotorStopsOrTheTimeIsUp) {
  KavrctlRunner kavrctl;
  kavrctl.library.state.Running = 1;
  kavrctl.library.state.CurrentPosition = 120;
  const Ran timedOut = kavrctl.Run({"start", "400", "100", "--wait", "1.5"});
  EXPECT_EQ(timedOut.code, 6);
  EXPECT_EQ(timedOut.err, "kavrctl: the motor is still running after 1.5 s, at position 120\n");
  EXPECT_EQ(kavrctl.now.time_since_epoch(), std::chrono::milliseconds(1500));

  kavrctl.library.results[kavr::Entry::GetState] = 8;
  EXPECT_EQ(kavrctl.Run({"start", "400", "100", "--wait"}).code, 2);

  kavrctl.library.results.clear();
  kavrctl.library.state.Running = 0;
  EXPECT_EQ(kavrctl.Run({"start", "400", "100", "--wait=0"}).code, 0);
}

TEST(Kavrctl, CtrlCSaysWhatTheMotorIsLeftDoing) {
  KavrctlRunner kavrctl;
  kavrctl.library.state.Running = 1;
  kavrctl.library.state.CurrentPosition = 4210;
  kavrctl.interruptAfterSleeps = 3;
  const Ran watched = kavrctl.Run({"watch", "--interval", "50"});
  EXPECT_EQ(watched.code, 130);
  EXPECT_EQ(std::count(watched.out.begin(), watched.out.end(), '\n'), 3);
  EXPECT_EQ(watched.err, "kavrctl: interrupted; controller 1 still running at 4210\n");

  kavrctl.sleeps = 0;
  const Ran waited = kavrctl.Run({"start", "400", "100", "--wait"});
  EXPECT_EQ(waited.code, 130);
  EXPECT_EQ(waited.err, "kavrctl: interrupted; Stop sent to controller 1; still running at 4210\n");

  kavrctl.sleeps = 0;
  kavrctl.library.state.Running = 0;
  EXPECT_EQ(kavrctl.Run({"watch"}).err, "kavrctl: interrupted; controller 1 stopped at 4210\n");
}

// Output that is lost is never a success, whatever the command.
TEST(Kavrctl, AFailedWriteEndsTheRunWithItsOwnCode) {
  for (const Strings& args :
       {Strings{"state"}, Strings{"list"}, Strings{"mode", "--json"}, Strings{"watch", "--count", "2"},
        Strings{"start", "400", "100"}, Strings{"start-parameters"}, Strings{"--help"}}) {
    KavrctlRunner kavrctl;
    kavrctl.outputFails = true;
    const Ran ran = kavrctl.Run(args);
    EXPECT_EQ(ran.code, 8) << args.front();
    EXPECT_EQ(ran.err, "kavrctl: cannot write to standard output\n") << args.front();
  }
#ifndef _WIN32
  KavrctlRunner kavrctl;
  const Ran traced = kavrctl.Run({"--trace", "/dev/full", "stop"});
  EXPECT_EQ(traced.code, 8);
  EXPECT_EQ(traced.err, "kavrctl: Cannot write the transcript /dev/full: No space left on device\n");
  EXPECT_EQ(kavrctl.Run({"--trace", "/dev/full", "watch"}).code, 8);
#endif
}

TEST(Kavrctl, AValueSentOtherThanTypedIsNamedOnStandardError) {
  KavrctlRunner kavrctl;
  const Ran ran = kavrctl.Run({"set-parameters", "ButtonTimeout1=86400001"});
  EXPECT_EQ(ran.code, 0);
  EXPECT_EQ(ran.err, "kavrctl: ButtonTimeout1: 86400001 is sent as 86400000, the nearest 32-bit float\n");
  EXPECT_EQ(kavrctl.library.parameters.ButtonTimeout1, 86400000.0f);
  EXPECT_EQ(kavrctl.Run({"start", "0", "16777217"}).err,
            "kavrctl: SPEED: 16777217 is sent as 16777216, the nearest 32-bit float\n");
}

}  // namespace
}  // namespace cli_test

namespace cli_test {
namespace {

// Arguments that once gave a misleading message: each now names what it got.
TEST(Kavrctl, MisleadingArgumentsAreNamedAsTyped) {
  const struct {
    Strings args;
    const char* err;
  } cases[] = {
      {{"-d", "18446744073709551617", "state"},
       "--device: \"18446744073709551617\" is not a controller number"},
      {{"watch", "--count", "0"}, "--count: Value 0 not in range 1 to 9223372036854775807"},
      {{"replay", "-", "--ignore", "Temprature"},
       "--ignore: \"Temprature\" is not a name replay compares; the names are: CurrentPosition, Temperature"},
  };
  for (const auto& c : cases) {
    KavrctlRunner kavrctl;
    const Ran ran = kavrctl.Run(c.args);
    EXPECT_EQ(ran.code, 1) << c.args[0];
    EXPECT_NE(ran.err.find(c.err), std::string::npos) << ran.err;
    EXPECT_EQ(kavrctl.opened, 0);
  }
}

}  // namespace
}  // namespace cli_test
