// kavrctl prove and plan-from as a user runs them: processes on the stand-in,
// each test in folders of its own.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "app/plan.h"
#include "device/dynamic_controller_library.h"
#include "fault_catalog.h"
#include "portable.h"
#include "program_run.h"

namespace cli_test {
namespace {

using Json = nlohmann::ordered_json;
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
  // A copy beside the others: a Windows program reads no Unix path of the build machine.
  const auto outcomes = Outcomes(Plan(FileText(KAVR_EXAMPLES_DIR "/end-of-line.json")), {}, 0);
  Strings caught;
  for (const auto& [name, outcome] : outcomes) {
    EXPECT_NE(outcome.at("result"), "missed") << name << ": " << outcome.dump();
    if (outcome.at("result") == "caught") caught.push_back(name);
  }
  // Every entry the plan calls and every field it writes, at least.
  for (const char* name :
       {"fail:Init", "fail:GetState", "fail:SetMode", "fail:Start", "fail:SaveParametersToFlash",
        "keep:SyncOutCount", "keep:RotaryStopOnError", "keep:DecelerationTime"}) {
    EXPECT_NE(std::ranges::find(caught, name), caught.end()) << name;
  }
  EXPECT_TRUE(
      Holds(outcomes.at("keep:AccelerationTime").at("words"),
            "step 2 (set-parameters): expected every value written kept; got AccelerationTime: sent 100, "
            "the controller keeps 101"))
      << outcomes.at("keep:AccelerationTime");
}

TEST_F(Prove, AWeakPlanMissesAFieldNotReadBack) {
  const std::filesystem::path plan = Plan(kWeak);
  const ProgramRun run = Kavrctl({"prove", plan.string(), "--faults", "fail:Start,keep:SyncOutCount"});
  EXPECT_EQ(run.code, 7) << run.err;
  EXPECT_TRUE(Holds(run.out, "caught  fail:Start: KAVRSIM000000001 step 2 (start): ")) << run.out;
  EXPECT_TRUE(Holds(run.out,
                    "MISSED  keep:SyncOutCount: no step reads back SyncOutCount: add \"verify\": true to "
                    "step 1\ncaught 1 of 2\n"))
      << run.out;
}

TEST_F(Prove, AWeakPlanMissesTheRigFaultsWithAHintEach) {
  if (!StandInHasRig()) GTEST_SKIP() << "this stand-in plays no rig";
  const auto outcomes = Outcomes(Plan(kWeak), {}, 7);
  const std::map<std::string, std::string> hints = {
      {"low-supply", "no step checks the voltage: add \"voltage\": {\"min\": 11, \"max\": 13} to an expect"},
      {"over-temperature", "no step checks the temperature: add \"temperature\": {\"max\": 60} to an expect"},
      {"flash-lost", "nothing is saved: add a save, then a power-cycle step and a verify"},
      {"trailer", "nothing enables Trailer 1 in the mode: add \"Trailer1Enabled\": true to a set-mode step"},
      {"emergency",
       "nothing checks the state after the first move: add an expect of the position after step 3 "
       "(or \"EmergencyPushed\": false)"}};
  for (const auto& [name, hint] : hints) {
    EXPECT_EQ(outcomes.at(name).at("result"), "missed") << name;
    EXPECT_EQ(outcomes.at(name).value("hint", ""), hint) << name;
  }
}

TEST_F(Prove, RefusalsAndTheList) {
  const ProgramRun failing =
      Kavrctl({"prove", Plan(R"({"name": "p", "steps": [{"step": "expect", "position": 5}]})").string()});
  EXPECT_EQ(failing.code, 1);
  EXPECT_EQ(
      failing.err,
      "kavrctl: the plan fails on the stand-in without any fault: KAVRSIM000000001 step 1 (expect): expected "
      "position 5; got position 0\n");

  const ProgramRun bad = Kavrctl({"prove", Plan(R"({"name": "p", "steps": []})").string()});
  EXPECT_EQ(bad.code, 1);
  EXPECT_TRUE(Holds(bad.err, "steps: not a list of at least one step")) << bad.err;

  const std::filesystem::path weak = Plan(kWeak);
  const ProgramRun unknown = Kavrctl({"prove", weak.string(), "--faults", "fail:Stop"});
  EXPECT_EQ(unknown.code, 1);
  EXPECT_TRUE(Holds(unknown.err,
                    "\"fail:Stop\" is not a fault of this plan; its faults are: fail:Init, "
                    "fail:GetState, fail:GetMode, fail:SetMode, fail:GetStartParameters, fail:Start, "
                    "keep:SyncOutCount, trailer,"))
      << unknown.err;

  const ProgramRun list = Kavrctl({"prove", weak.string(), "--list-faults"});
  EXPECT_EQ(list.code, 0);
  EXPECT_TRUE(list.out.starts_with("fail:Init: Init fails (the library answers with an error)\n"))
      << list.out;
  EXPECT_TRUE(
      Holds(list.out, "\nkeep:SyncOutCount: SyncOutCount does not stick: it keeps 26 whatever is written\n"));
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
  EXPECT_TRUE(Holds(missing.err, "is missing: prove runs plans on it, never on the library beside kavrctl"))
      << missing.err;

  std::filesystem::create_directories(rig / "stand-in");
  std::filesystem::copy_file(kavr::ExecutableFolder() / "stand-in" / library, rig / "stand-in" / library);
  const ProgramRun proved = RunProgram(rig / kProgram,
                                       {"--library", (rig / library).string(), "prove", plan.string(),
                                        "--faults", "fail:Start,keep:SyncOutCount"},
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
  for (std::size_t at = 0; (at = calls.find("KAVRSIM", at)) != std::string::npos;)
    calls.replace(at, 7, "REALDEV");
  std::ofstream(transcript, std::ios::binary) << calls;
  const test_support::EnvironmentOverride replay("KAVR_SIM_REPLAY", transcript.string());
  const ProgramRun refused = Kavrctl({"run", plan.string(), "-d", "1"});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(refused.err,
            "kavrctl: step 6 (power-cycle) needs the operator to switch the controllers off and on, "
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

// A session at the bench, recorded through the recorder in front of the
// stand-in, becomes a plan that passes on a fresh stand-in and on the
// session played back.
TEST_F(Prove, ARecordedSessionBecomesAPlan) {
  const std::filesystem::path rig = scratch.folder.path / "rig";
  const std::filesystem::path library(kavr::LibraryFileName());
  std::filesystem::create_directories(rig);
  std::filesystem::copy_file(kavr::ExecutableFolder() / "recorder" / library, rig / library);
  std::filesystem::copy_file(kavr::ExecutableFolder() / library,
                             rig / (library.stem().string() + "-original" + library.extension().string()));
  const std::string transcript = (scratch.folder.path / "session.log").string();
  {
    const test_support::EnvironmentOverride record("KAVR_RECORD_FILE", transcript);
    for (const Strings& args :
         std::vector<Strings>{{"state"},
                              {"set-mode", "SyncOutEnabled=1", "SyncOutCount=25", "--verify"},
                              {"set-parameters", "AccelerationTime=120", "--verify"},
                              {"parameters"},
                              {"start", "3000", "5000", "--wait", "10"},
                              {"state"},
                              {"state"},
                              {"save"},
                              {"mode"},
                              {"parameters"}}) {
      Strings through = {"--library", (rig / library).string(), "-d", "1"};
      through.insert(through.end(), args.begin(), args.end());
      EXPECT_EQ(Kavrctl(through).code, 0) << args[0];
    }
  }
  const std::string planFile = (scratch.folder.path / "from.json").string();
  const ProgramRun made = Kavrctl({"plan-from", transcript, "-o", planFile, "--band", "15%"});
  ASSERT_EQ(made.code, 0) << made.err;
  const Json plan = Json::parse(FileText(planFile));
  EXPECT_EQ(plan.at("name"), "from session.log");
  Strings steps;
  for (const Json& step : plan.at("steps")) steps.push_back(step.dump());
  ASSERT_EQ(steps.size(), 8u) << plan.dump(1);
  EXPECT_TRUE(steps[0].starts_with(R"({"step":"expect","running":false,"inputs":{"EmergencyPushed":false,)"))
      << steps[0];
  EXPECT_EQ(steps[1],
            R"({"step":"set-mode","fields":{"SyncOutEnabled":true,"SyncOutCount":25},"verify":true})");
  EXPECT_EQ(steps[2], R"({"step":"set-parameters","fields":{"AccelerationTime":120.0},"verify":true})");
  EXPECT_EQ(steps[3], R"({"step":"start","destination":3000,"speed":5000})");
  EXPECT_TRUE(steps[4].starts_with(R"({"step":"wait","seconds":)")) << steps[4];
  EXPECT_TRUE(steps[5].starts_with(R"({"step":"expect","position":3000,"running":false,"inputs":)"))
      << steps[5];
  const Json voltage = plan.at("steps")[5].at("voltage");
  EXPECT_LT(voltage.at("min").get<double>(), 10.3);  // 15% under 12 V, rounded down
  EXPECT_GT(voltage.at("max").get<double>(), 13.6);
  EXPECT_EQ(steps[6], R"({"step":"save"})");
  EXPECT_EQ(steps[7], R"({"step":"verify"})");

  const test_support::StandInScratch fresh;
  const ProgramRun onStandIn = Kavrctl({"run", planFile, "-d", "1"});
  EXPECT_EQ(onStandIn.code, 0) << onStandIn.out << onStandIn.err;
  const test_support::EnvironmentOverride replay("KAVR_SIM_REPLAY", transcript);
  const ProgramRun playedBack = Kavrctl({"run", planFile, "-d", "1"});
  EXPECT_EQ(playedBack.code, 0) << playedBack.out << playedBack.err;
}

TEST_F(Prove, ATranscriptAPlanCannotComeFromIsRefusedWithItsLine) {
  const std::string first = (scratch.folder.path / "1.log").string(),
                    second = (scratch.folder.path / "2.log").string();
  ASSERT_EQ(Kavrctl({"--trace", first, "-d", "1", "stop"}).code, 0);
  ASSERT_EQ(Kavrctl({"--trace", second, "-d", "2", "save"}).code, 0);
  const std::string both = (scratch.folder.path / "both.log").string();
  std::ofstream(both, std::ios::binary) << FileText(first) << FileText(second);
  const ProgramRun two = Kavrctl({"plan-from", both});
  EXPECT_EQ(two.code, 1);
  EXPECT_EQ(two.err,
            "kavrctl: " + both +
                ": line 4: SaveParametersToFlash drives controller 2, and line 2 controller 1; a plan does "
                "the same to every controller: record one at a time\n");

  std::ofstream(both, std::ios::binary) << FileText(first) << "not a call\n";
  const ProgramRun bad = Kavrctl({"plan-from", both});
  EXPECT_EQ(bad.code, 1);
  EXPECT_TRUE(Holds(bad.err, both + ": line 3: ")) << bad.err;
  EXPECT_EQ(Kavrctl({"plan-from", first, "--band", "x"}).code, 1);
}

// The rig faults as the stand-in reads them, built around the first move,
// and what a plan of a start and a wait is told would catch each.
TEST(FaultCatalog, RigFilesAndHintsOfAStartAndAWait) {
  std::string problem;
  const auto plan =
      kavr::ReadPlan(R"({"name": "p", "steps": [{"step": "start", "destination": -3000, "speed": 2000},
    {"step": "wait", "seconds": 10}]})",
                     nullptr, problem);
  ASSERT_TRUE(plan) << problem;
  std::map<std::string, std::pair<std::string, std::string>> rigs;
  for (const kavr::cli::Fault& fault : kavr::cli::FaultCatalog(*plan)) {
    if (!fault.rig.empty()) rigs[fault.name] = {Json::parse(fault.rig).at("*").dump(), fault.hint};
  }
  const std::map<std::string, std::pair<std::string, std::string>> expected = {
      {"trailer",
       {R"({"trailer1":{"from":-3000,"to":-1500}})",
        "nothing enables Trailer 1 in the mode: add \"Trailer1Enabled\": true to a set-mode step"}},
      {"rotary-error",
       {R"({"rotary_error_at":-1500})",
        "nothing checks the rotary transducer after the first move: add \"inputs\": {\"RotaryError\": "
        "false} to an expect after step 2"}},
      {"emergency",
       {R"({"emergency_after_ms":800})",
        "nothing checks the state after the first move: add an expect of the position after step 2 (or "
        "\"EmergencyPushed\": false)"}},
      {"low-supply",
       {R"({"supply":9.0,"supply_under_load":8.5})",
        "no step checks the voltage: add \"voltage\": {\"min\": 11, \"max\": 13} to an expect"}},
      {"over-temperature",
       {R"({"temperature":85.0})",
        "no step checks the temperature: add \"temperature\": {\"max\": 60} to an expect"}},
      {"flash-lost",
       {R"({"flash_lost":true})", "nothing is saved: add a save, then a power-cycle step and a verify"}},
      {"slow-motor",
       {R"({"slow_by":0.2})",
        "no wait is tight enough to notice a motor 20% slow: give the wait of step 2 about 1.8 s (the "
        "move takes about 1.6 s)"}},
  };
  EXPECT_EQ(rigs, expected);
}

}  // namespace
}  // namespace cli_test
