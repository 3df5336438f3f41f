// kavrctl as a user runs it: one process per command on the stand-in
// library beside it, whose controllers live on between the processes.
#include <gtest/gtest.h>

#include <fstream>

#include "device/dynamic_controller_library.h"
#include "portable.h"
#include "program_run.h"

namespace cli_test {
namespace {

class KavrctlOnStandIn : public ::testing::Test {
 protected:
  ProgramRun Kavrctl(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), {"-d", "1"});
    return RunProgram(program, args, scratch.folder.path, input);
  }

  test_support::StandInScratch scratch;
  test_support::EnvironmentOverride numbers{"LC_ALL", "C"};
#ifdef _WIN32
  const std::filesystem::path program = kavr::ExecutableFolder() / "kavrctl.exe";
#else
  const std::filesystem::path program = kavr::ExecutableFolder() / "kavrctl";
#endif
};

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(KavrctlOnStandIn, StartWaitStateStopSetSaveAndTheLastError) {
  const ProgramRun start = Kavrctl({"start", "400", "20000", "--wait", "10"});
  EXPECT_EQ(start.code, 0) << start.err;
  // The stand-in runs no faster than 5000 steps/s at divisor 1.
  EXPECT_EQ(start.out.substr(0, start.out.find("Steps")),
            "Destination position - 400\nSpeed - 5000.00 tacts/s\n");

  const ProgramRun state = Kavrctl({"state"});
  EXPECT_EQ(state.code, 0);
  EXPECT_TRUE(Holds(state.out, "- Current Position in microsteps - 400\n")) << state.out;
  EXPECT_TRUE(Holds(state.out, "- Step Motor is Not Running\n"));

  EXPECT_EQ(Kavrctl({"start", "-400", "100"}).code, 0);
  EXPECT_EQ(Kavrctl({"stop"}).out, "Should be Stoped\n");

  const ProgramRun set = Kavrctl({"set-parameters", "ButtonTimeout1=1000", "SyncOutPulse=4"});
  EXPECT_EQ(set.code, 0) << set.err;
  EXPECT_TRUE(Holds(set.out, "Button speedup timeout 1 - 1000 ms\n"));
  EXPECT_TRUE(Holds(set.out, "Duration of the output synchronization pulse - 3.5 * [Tact Period]\n"));
  EXPECT_EQ(Kavrctl({"save"}).out, "Parameters Should be Saved\n");
  EXPECT_FALSE(std::filesystem::is_empty(scratch.folder.path / "flash"));

  EXPECT_EQ(Kavrctl({"set-mode", "PowerOff=1"}).code, 0);
  const ProgramRun refused = Kavrctl({"start", "0", "100"});
  EXPECT_EQ(refused.code, 2);
  EXPECT_TRUE(refused.err.starts_with("kavrctl: _KAVRVB_Start failed with ResultCode ")) << refused.err;
  const ProgramRun lastError = Kavrctl({"last-error"});
  EXPECT_EQ(lastError.code, 0);
  EXPECT_TRUE(Holds(refused.err, lastError.out.substr(0, lastError.out.size() - 1))) << lastError.out;
  EXPECT_TRUE(Holds(lastError.out, "power is off")) << lastError.out;
}

TEST_F(KavrctlOnStandIn, SettingsCopiedFromOneControllerToAnother) {
  EXPECT_EQ(Kavrctl({"set-parameters", "AccelerationTime=150.5", "BacklashDistance=-20"}).code, 0);
  const ProgramRun first = Kavrctl({"parameters", "--json"});
  ASSERT_EQ(first.code, 0) << first.err;
  EXPECT_EQ(
      RunProgram(program, {"-d", "2", "set-parameters", "--file", "-"}, scratch.folder.path, first.out).code,
      0);
  EXPECT_EQ(RunProgram(program, {"parameters", "--json", "--device", "2"}, scratch.folder.path).out,
            first.out);

  const ProgramRun notChosen = RunProgram(program, {"state"}, scratch.folder.path);
  EXPECT_EQ(notChosen.code, 4);
  EXPECT_EQ(RunProgram(program, {"list"}, scratch.folder.path).out,
            "Device - 1 Serial Number - KAVRSIM000000001 Version - 2.14\n"
            "Device - 2 Serial Number - KAVRSIM000000002 Version - 2.15\n");
}

TEST_F(KavrctlOnStandIn, APlanOverFiveControllersWithOneMadeToFailItsMove) {
  const test_support::EnvironmentOverride five{"KAVR_SIM_DEVICES", "5"};
  const std::filesystem::path plan = scratch.folder.path / "plan.json";
  std::ofstream(plan) << R"({"name": "eol", "steps": [
    {"step": "set-parameters", "fields": {"AccelerationTime": 50, "DecelerationTime": 50}, "verify": true},
    {"step": "start", "destination": 300, "speed": 5000},
    {"step": "wait", "seconds": 10},
    {"step": "expect", "position": 300, "running": false}]})";
  const ProgramRun passed = RunProgram(program, {"run", plan.string(), "--all"}, scratch.folder.path);
  EXPECT_EQ(passed.code, 0) << passed.out << passed.err;
  EXPECT_TRUE(Holds(passed.out, "plan \"eol\": 5 of 5 controllers passed\n")) << passed.out;

  // Controller 3 refuses its moves; it is sent Stop, the others go on.
  const test_support::EnvironmentOverride fail{"KAVR_SIM_FAIL", "Start=7"};
  const test_support::EnvironmentOverride third{"KAVR_SIM_FAIL_DEVICE", "3"};
  std::ofstream(plan) << R"({"name": "eol", "steps": [{"step": "start", "destination": 0, "speed": 5000},
    {"step": "wait", "seconds": 10}, {"step": "expect", "position": 0}]})";
  const ProgramRun failed = RunProgram(program, {"run", plan.string(), "--all"}, scratch.folder.path);
  EXPECT_EQ(failed.code, 7) << failed.out << failed.err;
  EXPECT_TRUE(Holds(failed.out, "KAVRSIM000000003 step 1/3 start: FAILED")) << failed.out;
  EXPECT_TRUE(Holds(failed.out, "KAVRSIM000000003 stopped\n")) << failed.out;
  EXPECT_TRUE(Holds(failed.out, "4 of 5 controllers passed; failed: KAVRSIM000000003\n")) << failed.out;
  for (const char* device : {"1", "2", "4", "5"}) {
    const ProgramRun state = RunProgram(program, {"-d", device, "state"}, scratch.folder.path);
    EXPECT_TRUE(Holds(state.out, "- Current Position in microsteps - 0\n")) << device << state.out;
  }
  const ProgramRun thirdState = RunProgram(program, {"-d", "3", "state"}, scratch.folder.path);
  EXPECT_TRUE(Holds(thirdState.out, "- Current Position in microsteps - 300\n")) << thirdState.out;
}

TEST_F(KavrctlOnStandIn, VerifyNamesTheFieldTheControllerKeptOtherwise) {
  const test_support::EnvironmentOverride keep{"KAVR_SIM_KEEP", "SyncOutCount=24"};
  const ProgramRun set = Kavrctl({"set-mode", "SyncOutCount=25", "SyncOutEnabled=1", "--verify"});
  EXPECT_EQ(set.code, 2);
  EXPECT_EQ(set.err,
            "kavrctl: read back, the controller did not keep what was written:\n"
            "SyncOutCount: sent 25, the controller keeps 24\n");
}

#ifndef _WIN32
// What only a real process shows: a full disk behind standard output.
TEST_F(KavrctlOnStandIn, AFullDiskIsReportedWithItsCode) {
  const std::string kavrctl = Quoted(program.string());
  const std::string err = Quoted((scratch.folder.path / "err").string());
  const int full = std::system((kavrctl + " -d 1 state >/dev/full 2>" + err).c_str());
  EXPECT_EQ(WEXITSTATUS(full), 8);
  EXPECT_EQ(FileText(scratch.folder.path / "err"),
            "kavrctl: cannot write to standard output: No space left on device\n");
}
#endif

// Recorded through the recorder library in front of the stand-in, a run
// replays on the stand-in alone with no difference; a parameter changed
// since shows as exactly one.
TEST_F(KavrctlOnStandIn, ARecordedRunReplaysAndAChangedParameterIsOneDifference) {
  const std::filesystem::path rig = scratch.folder.path / "rig";
  const std::filesystem::path library(kavr::LibraryFileName());
  std::filesystem::create_directories(rig);
  std::filesystem::copy_file(kavr::ExecutableFolder() / "recorder" / library, rig / library);
  std::filesystem::copy_file(kavr::ExecutableFolder() / library,
                             rig / (library.stem().string() + "-original" + library.extension().string()));
  const std::string transcript = (scratch.folder.path / "calls.log").string();
  // The run then finds what it leaves, and its replay finds the same.
  EXPECT_EQ(Kavrctl({"set-parameters", "ButtonTimeout1=1500"}).code, 0);
  {
    test_support::EnvironmentOverride record("KAVR_RECORD_FILE", transcript);
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"mode"},
                                               {"set-parameters", "ButtonTimeout1=1500"},
                                               {"start-parameters"},
                                               {"stop"},
                                               {"last-error"}}) {
      std::vector<std::string> through = {"--library", (rig / library).string()};
      through.insert(through.end(), args.begin(), args.end());
      const ProgramRun run = Kavrctl(through);
      EXPECT_EQ(run.code, 0) << args[0] << ": " << run.err;
    }
  }

  const ProgramRun same = Kavrctl({"replay", transcript});
  EXPECT_EQ(same.code, 0) << same.out << same.err;
  EXPECT_EQ(same.out, "11 calls sent, 0 differences\n");

  EXPECT_EQ(Kavrctl({"set-parameters", "ButtonTimeout2=777"}).code, 0);
  const ProgramRun changed = Kavrctl({"replay", transcript});
  EXPECT_EQ(changed.code, 2);
  EXPECT_TRUE(changed.out.starts_with("call 4 GetParameters: ButtonTimeout2 ")) << changed.out;
  EXPECT_TRUE(changed.out.ends_with(" recorded, 777 now\n11 calls sent, 1 difference\n")) << changed.out;
}

// Playing a transcript back, the stand-in gives each call what the recorded
// run got, failures included, and says what it holds when a call is not there.
TEST_F(KavrctlOnStandIn, TheStandInPlaysARecordedRunBack) {
  const std::string transcript = (scratch.folder.path / "calls.log").string();
  const ProgramRun state = Kavrctl({"--trace", transcript, "state"});
  ASSERT_EQ(state.code, 0) << state.err;
  ProgramRun failed;
  {
    test_support::EnvironmentOverride fault("KAVR_SIM_FAIL", "GetMode=5");
    failed = Kavrctl({"--trace", transcript + ".mode", "mode"});
  }
  ASSERT_EQ(failed.code, 2);
  {
    std::ofstream append(transcript, std::ios::app | std::ios::binary);
    append << std::ifstream(transcript + ".mode", std::ios::binary).rdbuf();
  }
  // Position and readings that drift would differ in a new run; played back they cannot.
  EXPECT_EQ(Kavrctl({"set-parameters", "ButtonTimeout1=1234"}).code, 0);

  test_support::EnvironmentOverride replay("KAVR_SIM_REPLAY", transcript);
  const ProgramRun stateAgain = Kavrctl({"state"});
  EXPECT_EQ(stateAgain.code, 0) << stateAgain.err;
  EXPECT_EQ(stateAgain.out, state.out);
  const ProgramRun failedAgain = Kavrctl({"mode"});
  EXPECT_EQ(failedAgain.code, 2);
  EXPECT_EQ(failedAgain.err, failed.err);

  const ProgramRun unrecorded = Kavrctl({"parameters"});
  EXPECT_EQ(unrecorded.code, 2);
  EXPECT_TRUE(Holds(unrecorded.err, "no more GetParameters on device 0 recorded in the transcript"))
      << unrecorded.err;
}

// A rig with trailer 1 from 1000 on the second of three controllers: a
// shadowed move to 2000 fails there alone, naming the switch and the place.
TEST_F(KavrctlOnStandIn, ShadowedMovesFailWhereTheRigStopsThem) {
  const auto rig = scratch.folder.path / "rig.json";
  std::ofstream(rig) << R"({"KAVRSIM000000002": {"trailer1": {"from": 1000}}})";
  const auto plan = scratch.folder.path / "plan.json";
  std::ofstream(plan) << R"({"name": "to 2000", "steps": [
    {"step": "set-mode", "fields": {"Trailer1Enabled": true}},
    {"step": "start", "destination": 2000, "speed": 4000},
    {"step": "wait", "seconds": 5, "shadow": {"tolerance": 50}}]})";
  test_support::EnvironmentOverride devices{"KAVR_SIM_DEVICES", "3"};
  test_support::EnvironmentOverride wired{"KAVR_SIM_RIG", rig.string()};

  const ProgramRun run = RunProgram(program, {"run", plan.string(), "--all"}, scratch.folder.path);
  EXPECT_EQ(run.code, 7) << run.out << run.err;
  EXPECT_TRUE(Holds(run.out,
                    "KAVRSIM000000002 step 3/3 wait: FAILED: expected the move to follow its prediction "
                    "within 50 steps; got stopped at 1000 of 2000 after 0.35 s: Trailer 1 pushed"))
      << run.out;
  EXPECT_TRUE(Holds(run.out, "KAVRSIM000000001 step 3/3 wait: passed")) << run.out;
  EXPECT_TRUE(Holds(run.out, "KAVRSIM000000003 step 3/3 wait: passed")) << run.out;

  // start --wait --shadow: exit 2 with the words; watch --shadow says them too.
  const auto second = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"-d", "2"});
    return RunProgram(program, args, scratch.folder.path);
  };
  EXPECT_EQ(second({"start", "0", "4000", "--wait"}).code, 0);
  const ProgramRun shadowed = second({"start", "2000", "4000", "--wait", "--shadow"});
  EXPECT_EQ(shadowed.code, 2);
  EXPECT_TRUE(Holds(shadowed.err,
                    "the move left its prediction: stopped at 1000 of 2000 after 0.35 s: Trailer 1 pushed"))
      << shadowed.err;
  EXPECT_EQ(Kavrctl({"start", "2000", "4000", "--wait", "--shadow"}).code, 0);
  EXPECT_EQ(second({"start", "--shadow", "0", "4000"}).code, 1);
}

}  // namespace
}  // namespace cli_test

namespace cli_test {
namespace {

// A recorded Init whose count is no number of controllers is refused with
// its line, never read as none.
TEST_F(KavrctlOnStandIn, ARecordedInitWithoutAUsableCountNamesItsLine) {
  const std::string transcript = (scratch.folder.path / "init.log").string();
  ASSERT_EQ(RunProgram(program, {"--trace", transcript, "list"}, scratch.folder.path).code, 0);
  const std::string recorded = FileText(transcript);
  const std::size_t count = recorded.find("count=");
  ASSERT_NE(count, std::string::npos) << recorded;
  const std::size_t end = recorded.find(' ', count);
  for (const std::string bad : {"abc", "-1"}) {
    std::ofstream(transcript, std::ios::binary)
        << recorded.substr(0, count) + "count=" + bad + recorded.substr(end);
    test_support::EnvironmentOverride replay("KAVR_SIM_REPLAY", transcript);
    const ProgramRun list = RunProgram(program, {"list"}, scratch.folder.path);
    EXPECT_NE(list.code, 0) << bad;
    EXPECT_TRUE(
        Holds(list.err, "count=" + bad + " is not a number of controllers (line 1 of " + transcript + ")"))
        << list.err;
  }
}

}  // namespace
}  // namespace cli_test
