// kavrctl prove and plan-from as a user runs them: processes on the stand-in,
// each test in folders of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "kavr/dynamic_controller_library.h"
#include "portable.h"
#include "program_run.h"

namespace cli_test {
namespace {

using Json = nlohmann::json;
using Strings = std::vector<std::string>;

#ifdef _WIN32
constexpr const char* kProgram = "kavrctl.exe";
#else
constexpr const char* kProgram = "kavrctl";
#endif

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Prove : public ::testing::Test {
 protected:
  ProgramRun Kavrctl(const Strings& args) { return RunProgram(program, args, scratch.folder.path); }

  std::filesystem::path Plan(const std::string& text) {
    const std::filesystem::path plan = scratch.folder.path / ("plan" + std::to_string(++plans) + ".json");
    std::ofstream(plan, std::ios::binary) << text;
    return plan;
  }

  // The faults of `plan` by name, with their outcome, from prove's report.
  std::map<std::string, Json> Outcomes(const std::filesystem::path& plan, Strings more, int expectedCode) {
    const std::string report = (scratch.folder.path / "prove.json").string();
    Strings args = {"prove", plan.string(), "--report", report};
    args.insert(args.end(), more.begin(), more.end());
    const ProgramRun run = Kavrctl(args);
    EXPECT_EQ(run.code, expectedCode) << run.out << run.err;
    std::map<std::string, Json> outcomes;
    const Json parsed = Json::parse(FileText(report));
    for (const Json& fault : parsed.at("faults")) outcomes[fault.at("fault").get<std::string>()] = fault;
    return outcomes;
  }

  // Whether this build's stand-in plays a rig (KAVR_SIM_RIG).
  bool StandInHasRig() {
    const ProgramRun listed = Kavrctl({"prove", Plan(kWeak).string(), "--faults", "trailer", "--report",
                                       (scratch.folder.path / "probe.json").string()});
    return !Holds(listed.out, "n/a");
  }

  test_support::StandInScratch scratch;
  test_support::EnvironmentOverride numbers{"LC_ALL", "C"};
  const std::filesystem::path program = kavr::ExecutableFolder() / kProgram;
  int plans = 0;

  static constexpr const char* kWeak = R"({"name": "weak", "steps": [
    {"step": "set-mode", "fields": {"SyncOutCount": 25}},
    {"step": "start", "destination": 400, "speed": 5000}, {"step": "wait", "seconds": 10}]})";
};

TEST_F(Prove, TheEndOfLineExampleCatchesEveryFault) {
  const auto outcomes = Outcomes(KAVR_EXAMPLES_DIR "/end-of-line.json", {}, 0);
  Strings caught;
  for (const auto& [name, outcome] : outcomes) {
    EXPECT_NE(outcome.at("result"), "missed") << name << ": " << outcome.dump();
    if (outcome.at("result") == "caught") caught.push_back(name);
  }
  // Every entry the plan calls and every field it writes, at least.
  for (const char* name : {"fail:Init", "fail:GetState", "fail:SetMode", "fail:Start", "fail:SaveParametersToFlash",
                           "keep:SyncOutCount", "keep:RotaryStopOnError", "keep:DecelerationTime"}) {
    EXPECT_NE(std::ranges::find(caught, name), caught.end()) << name;
  }
  EXPECT_TRUE(Holds(outcomes.at("keep:AccelerationTime").at("words"),
                    "step 2 (set-parameters): expected every value written kept; got AccelerationTime: sent 100, "
                    "the controller keeps 101"))
      << outcomes.at("keep:AccelerationTime");
}

TEST_F(Prove, AWeakPlanMissesWithHintsAndScoresLower) {
  const std::filesystem::path plan = Plan(kWeak);
  const ProgramRun run = Kavrctl({"prove", plan.string(), "--faults", "fail:Start,keep:SyncOutCount"});
  EXPECT_EQ(run.code, 7) << run.err;
  EXPECT_TRUE(Holds(run.out, "caught  fail:Start: KAVRSIM000000001 step 2 (start): ")) << run.out;
  EXPECT_TRUE(Holds(run.out, "MISSED  keep:SyncOutCount: no step reads back SyncOutCount: add \"verify\": true to "
                             "step 1\ncaught 1 of 2\n"))
      << run.out;

  if (!StandInHasRig()) GTEST_SKIP() << "this stand-in plays no rig";
  const auto outcomes = Outcomes(plan, {}, 7);
  const std::map<std::string, std::string> hints = {
      {"low-supply", "no step checks the voltage: add \"voltage\": {\"min\": 11, \"max\": 13} to an expect"},
      {"over-temperature", "no step checks the temperature: add \"temperature\": {\"max\": 60} to an expect"},
      {"flash-lost", "nothing is saved: add a save, then a power-cycle step and a verify"},
      {"trailer", "nothing enables Trailer 1 in the mode: add \"Trailer1Enabled\": true to a set-mode step"},
      {"emergency", "nothing checks the state after the first move: add an expect of the position after step 3 "
                    "(or \"EmergencyPushed\": false)"}};
  for (const auto& [name, hint] : hints) {
    EXPECT_EQ(outcomes.at(name).at("result"), "missed") << name;
    EXPECT_EQ(outcomes.at(name).value("hint", ""), hint) << name;
  }
}

TEST_F(Prove, RefusalsAndTheList) {
  const ProgramRun failing = Kavrctl({"prove", Plan(R"({"name": "p", "steps": [{"step": "expect", "position": 5}]})").string()});
  EXPECT_EQ(failing.code, 1);
  EXPECT_EQ(failing.err,
            "kavrctl: the plan fails on the stand-in without any fault: KAVRSIM000000001 step 1 (expect): expected "
            "position 5; got position 0\n");

  const ProgramRun bad = Kavrctl({"prove", Plan(R"({"name": "p", "steps": []})").string()});
  EXPECT_EQ(bad.code, 1);
  EXPECT_TRUE(Holds(bad.err, "steps: not a list of at least one step")) << bad.err;

  const std::filesystem::path weak = Plan(kWeak);
  const ProgramRun unknown = Kavrctl({"prove", weak.string(), "--faults", "fail:Stop"});
  EXPECT_EQ(unknown.code, 1);
  EXPECT_TRUE(Holds(unknown.err, "\"fail:Stop\" is not a fault of this plan; its faults are: fail:Init, "
                                 "fail:GetState, fail:GetMode, fail:SetMode, fail:GetStartParameters, fail:Start, "
                                 "keep:SyncOutCount, trailer,"))
      << unknown.err;

  const ProgramRun list = Kavrctl({"prove", weak.string(), "--list-faults"});
  EXPECT_EQ(list.code, 0);
  EXPECT_TRUE(list.out.starts_with("fail:Init: Init fails (the library answers with an error)\n")) << list.out;
  EXPECT_TRUE(Holds(list.out, "\nkeep:SyncOutCount: SyncOutCount does not stick: it keeps 26 whatever is written\n"));
  EXPECT_TRUE(list.out.ends_with("\nslow-motor: the motor runs 20% slower than asked\n")) << list.out;
}

// On a rig the maker's library stands beside kavrctl: prove takes the
// stand-in from its own folder and never loads that library, even when named.
TEST_F(Prove, NeverTouchesTheLibraryBesideKavrctl) {
  const std::filesystem::path rig = scratch.folder.path / "rig";
  const std::filesystem::path library(kavr::LibraryFileName());
  std::filesystem::create_directories(rig);
  std::filesystem::copy_file(program, rig / kProgram);
  // The recorder stands in for the maker's library: any call would leave a line.
  std::filesystem::copy_file(kavr::ExecutableFolder() / "recorder" / library, rig / library);
  const std::filesystem::path transcript = scratch.folder.path / "calls.log";
  const test_support::EnvironmentOverride record("KAVR_RECORD_FILE", transcript.string());
  const std::filesystem::path plan = Plan(kWeak);

  const ProgramRun missing = RunProgram(rig / kProgram, {"prove", plan.string()}, scratch.folder.path);
  EXPECT_EQ(missing.code, 5);
  EXPECT_TRUE(Holds(missing.err, "is missing: prove runs plans on it, never on the library beside kavrctl")) << missing.err;

  std::filesystem::create_directories(rig / "stand-in");
  std::filesystem::copy_file(kavr::ExecutableFolder() / "stand-in" / library, rig / "stand-in" / library);
  const ProgramRun proved = RunProgram(rig / kProgram,
                                       {"--library", (rig / library).string(), "prove", plan.string(), "--faults",
                                        "fail:Start,keep:SyncOutCount"},
                                       scratch.folder.path);
  EXPECT_EQ(proved.code, 7) << proved.out << proved.err;
  EXPECT_TRUE(Holds(proved.out, "caught 1 of 2\n")) << proved.out;
  EXPECT_FALSE(std::filesystem::exists(transcript)) << FileText(transcript);
}

TEST_F(Prove, APowerCycleKeepsWhatWasSavedAndNeedsAnOperatorElsewhere) {
  const std::filesystem::path plan = Plan(R"({"name": "p", "steps": [
    {"step": "set-parameters", "fields": {"AccelerationTime": 150}},
    {"step": "start", "destination": 300, "speed": 5000}, {"step": "wait", "seconds": 10},
    {"step": "save"}, {"step": "set-parameters", "fields": {"DecelerationTime": 150}},
    {"step": "power-cycle"},
    {"step": "expect", "position": 0, "inputs": {"AfterReset": true}},
    {"step": "verify"}]})");
  const ProgramRun run = Kavrctl({"run", plan.string(), "--all", "--no-prompt"});
  EXPECT_EQ(run.code, 0) << run.out << run.err;
  EXPECT_TRUE(Holds(run.out, "KAVRSIM000000002 step 6/8 power-cycle: passed")) << run.out;
  const ProgramRun parameters = Kavrctl({"-d", "2", "parameters", "--json"});
  EXPECT_TRUE(Holds(parameters.out, "\"AccelerationTime\": 150.0,")) << parameters.out;
  EXPECT_TRUE(Holds(parameters.out, "\"DecelerationTime\": 200.0,")) << parameters.out;
  EXPECT_TRUE(Holds(Kavrctl({"list"}).out, "Device - 2 ")) << "the power cycle kept both controllers";

  // The recorder's serial numbers are not the stand-in's: nobody to ask, refused before any step.
  const std::filesystem::path transcript = scratch.folder.path / "calls.log";
  ASSERT_EQ(Kavrctl({"--trace", transcript.string(), "-d", "1", "state"}).code, 0);
  std::string calls = FileText(transcript);
  for (std::size_t at = 0; (at = calls.find("KAVRSIM", at)) != std::string::npos;) calls.replace(at, 7, "REALDEV");
  std::ofstream(transcript, std::ios::binary) << calls;
  const test_support::EnvironmentOverride replay("KAVR_SIM_REPLAY", transcript.string());
  const ProgramRun refused = Kavrctl({"run", plan.string(), "-d", "1"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err, "kavrctl: step 6 (power-cycle) needs the operator to switch the controllers off and on, "
                         "and there is nobody to ask (--no-prompt, or standard input is not a terminal); nothing "
                         "was sent\n");
}

TEST_F(Prove, ALostSaveIsCaughtAfterThePowerCycle) {
  if (!StandInHasRig()) GTEST_SKIP() << "this stand-in plays no rig";
  const auto outcomes = Outcomes(Plan(R"({"name": "p", "steps": [
    {"step": "set-parameters", "fields": {"AccelerationTime": 150}}, {"step": "save"},
    {"step": "power-cycle"}, {"step": "verify"}]})"),
                                 {"--faults", "flash-lost"}, 0);
  EXPECT_TRUE(Holds(outcomes.at("flash-lost").at("words"), "step 4 (verify)")) << outcomes.at("flash-lost");
}

}  // namespace
}  // namespace cli_test
