// kavrctl as a user runs it: one process per command on the stand-in
// library beside it, whose controllers live on between the processes.
#include <gtest/gtest.h>

#include "kavr/dynamic_controller_library.h"
#include "portable.h"
#include "program_run.h"

namespace cli_test {
namespace {

class KavrctlOnStandIn : public ::testing::Test {
 protected:
  ProgramRun Kavrctl(std::vector<std::string> args, const std::string& input = {}) {
    args.insert(args.begin(), {"-d", "1"});
    return RunProgram(program_, args, scratch_.folder.path, input);
  }

  test_support::StandInScratch scratch_;
  test_support::EnvironmentOverride numbers_{"LC_ALL", "C"};
#ifdef _WIN32
  const std::filesystem::path program_ = kavr::ExecutableFolder() / "kavrctl.exe";
#else
  const std::filesystem::path program_ = kavr::ExecutableFolder() / "kavrctl";
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
  EXPECT_FALSE(std::filesystem::is_empty(scratch_.folder.path / "flash"));

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
      RunProgram(program_, {"-d", "2", "set-parameters", "--file", "-"}, scratch_.folder.path, first.out)
          .code,
      0);
  EXPECT_EQ(RunProgram(program_, {"parameters", "--json", "--device", "2"}, scratch_.folder.path).out,
            first.out);

  const ProgramRun notChosen = RunProgram(program_, {"state"}, scratch_.folder.path);
  EXPECT_EQ(notChosen.code, 4);
  EXPECT_EQ(RunProgram(program_, {"list"}, scratch_.folder.path).out,
            "Device - 1 Serial Number - KAVRSIM000000001 Version - 2.14\n"
            "Device - 2 Serial Number - KAVRSIM000000002 Version - 2.15\n");
}

#ifndef _WIN32
// What only a real process shows: a full disk behind standard output, and
// SIGTERM while a move is waited for.
TEST_F(KavrctlOnStandIn, AFullDiskAndSigtermAreReportedWithTheirCodes) {
  const std::string kavrctl = Quoted(program_.string());
  const std::string err = Quoted((scratch_.folder.path / "err").string());
  const int full = std::system((kavrctl + " -d 1 state >/dev/full 2>" + err).c_str());
  EXPECT_EQ(WEXITSTATUS(full), 8);
  EXPECT_EQ(FileText(scratch_.folder.path / "err"),
            "kavrctl: cannot write to standard output: No space left on device\n");

  // SIGTERM once the start report is out: from then on it is caught.
  const std::string out = Quoted((scratch_.folder.path / "out").string());
  const int terminated =
      std::system(("(" + kavrctl + " -d 1 start 100000 100 --wait 2>" + err + " >" + out + " & until [ -s " +
                   out + " ]; do sleep 0.05; done; kill -TERM $!; wait $!)")
                      .c_str());
  EXPECT_EQ(WEXITSTATUS(terminated), 130);
  EXPECT_TRUE(FileText(scratch_.folder.path / "err")
                  .starts_with("kavrctl: interrupted; controller 1 still running at "))
      << FileText(scratch_.folder.path / "err");
  EXPECT_EQ(Kavrctl({"stop"}).code, 0);
}
#endif

}  // namespace
}  // namespace cli_test
