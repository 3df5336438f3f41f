// The run report as a record of what each controller measured: golden
// reports of a passing, a failing and a marginal run on the scripted
// library, and the same run read back from the results database.
// KAVR_UPDATE_GOLDEN=1 rewrites the golden files beside the test program;
// copy them to tests/cli/golden/ when the change is meant.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

#include "device/dynamic_controller_library.h"
#include "kavrctl_runner.h"
#include "portable.h"
#include "program_run.h"
#include "results/results_store.h"

namespace cli_test {
namespace {

using ui_test::Strings;

// What changes from build to build and run to run: the scratch folder, the library file, the clock.
std::string Steady(const std::string& report) {
  auto json = nlohmann::ordered_json::parse(report);
  json["file"] = "PLAN";
  json["library"] = {{"path", "LIBRARY"}, {"sha256", "SHA256"}};
  json["started"] = "STARTED";
  json["ended"] = "ENDED";
  return json.dump(2) + "\n";
}

struct GoldenCase {
  const char* name;
  const char* plan;
  int code;
  Strings linesHeld;  // parts of standard output
};

const GoldenCase kGolden[] = {
    {"passed",
     R"({"name": "eol", "steps": [
       {"step": "set-mode", "fields": {"SyncOutCount": 25, "PowerOff": false}, "verify": true},
       {"step": "start", "destination": 4000, "speed": 2500},
       {"step": "wait", "seconds": 1},
       {"step": "expect", "position": 4000, "running": false, "inputs": {"EmergencyPushed": false},
        "voltage": {"min": 11, "max": 13}, "temperature": {"max": 60}},
       {"step": "verify"}]})",
     0,
     {"plan \"eol\": 2 of 2 controllers passed\n"}},
    {"failed",
     R"({"name": "eol", "steps": [
       {"step": "expect", "position": 3990, "tolerance": 5, "temperature": {"max": 25}},
       {"step": "save"}]})",
     7,
     {"FAILED: expected position 3990 within 5, temperature at most 25 °C; got position 4000, temperature 30 "
      "°C"}},
    {"marginal",
     R"({"name": "eol", "steps": [
       {"step": "expect", "voltage": {"min": 11.9, "max": 13, "marginal": 0.2}, "temperature": {"max": 60, "marginal": 5}}]})",
     0,
     {"expect: passed (0 ms); marginal: InputVoltage 12 V, limit 11.9 V\n",
      "ABCDEFGHIJKLMNOP marginal: InputVoltage 12 V, limit 11.9 V\n"}},
};

TEST(RunReport, GoldenReportsOfAPassingAFailingAndAMarginalRun) {
  for (const GoldenCase& c : kGolden) {
    test_support::ScratchFolder folder;
    std::ofstream(folder.path / "plan.json", std::ios::binary) << c.plan;
    KavrctlRunner runner;
    runner.library.initCount = 2;
    runner.library.state = KAVR_State{.CurrentPosition = 4000, .Temperature = 30.0f, .InputVoltage = 12.0f};
    const std::string report = (folder.path / "report.json").string();
    // A build without the database (no SQLite) checks the report alone.
    const bool database = kavr::ResultsStore::Available();
    Strings args{"run",    (folder.path / "plan.json").string(),
                 "--all",  "--report",
                 report,   "--station",
                 "line-1", "--operator",
                 "anna",   "--no-db"};
    if (database) args.back() = "--db=" + (folder.path / "r.sqlite").string();
    const Ran ran = runner.Run(args);
    EXPECT_EQ(ran.code, c.code) << c.name << ran.err;
    for (const std::string& line : c.linesHeld)
      EXPECT_NE(ran.out.find(line), std::string::npos) << c.name << ran.out;

    const std::filesystem::path golden =
        kavr::ExecutableFolder() / "golden" / (std::string("report_") + c.name + ".json");
    const std::string got = Steady(FileText(report));
    if (std::getenv("KAVR_UPDATE_GOLDEN") != nullptr) std::ofstream(golden, std::ios::binary) << got;
    EXPECT_EQ(got, FileText(golden)) << c.name;

    // The database holds the report as written.
    if (!database) continue;
    const Ran stored =
        runner.Run({"results", "--db", (folder.path / "r.sqlite").string(), "--run", "1", "--json"});
    EXPECT_EQ(stored.code, 0) << stored.err;
    EXPECT_EQ(stored.out, FileText(report)) << c.name;
  }
}

TEST(RunReport, TheDatabaseAnswersByUnitAsCsvAndJunitCarriesTheMeasurements) {
  if (!kavr::ResultsStore::Available()) GTEST_SKIP() << "this build has no results database";
  test_support::ScratchFolder folder;
  std::ofstream(folder.path / "plan.json", std::ios::binary) << kGolden[2].plan;
  KavrctlRunner runner;
  runner.library.state = KAVR_State{.CurrentPosition = 4000, .Temperature = 30.0f, .InputVoltage = 12.0f};
  const std::string db = (folder.path / "r.sqlite").string(), junit = (folder.path / "j.xml").string();
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(runner.Run({"run", (folder.path / "plan.json").string(), "--db", db, "--junit", junit}).code,
              0);
  }
  EXPECT_NE(
      FileText(junit).find("<property name=\"InputVoltage\" value=\"12 V (min 11.9, max 13, marginal 0.2): "
                           "marginal\"/>"),
      std::string::npos)
      << FileText(junit);

  const Ran history = runner.Run({"results", "--db", db, "--serial", "ABCDEFGHIJKLMNOP"});
  EXPECT_EQ(history.code, 0) << history.err;
  EXPECT_NE(
      history.out.find("  ABCDEFGHIJKLMNOP: passed\n    step 1 expect: InputVoltage 12 V (min 11.9, max 13, "
                       "marginal 0.2): marginal\n"),
      std::string::npos)
      << history.out;
  EXPECT_EQ(std::count(history.out.begin(), history.out.end(), '\n'), 2 * 4);

  const std::string csv = (folder.path / "m.csv").string();
  ASSERT_EQ(runner.Run({"results", "--db", db, "--csv", csv}).code, 0);
  const std::string rows = FileText(csv);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 1 + 2 * 2);
  EXPECT_NE(rows.find(",1,expect,Temperature,30,°C,,,60,,,5,pass\r\n"), std::string::npos) << rows;

  // Ctrl+C in a wait: the run is closed as interrupted.
  std::ofstream(folder.path / "wait.json", std::ios::binary)
      << R"({"name": "w", "steps": [{"step": "wait", "seconds": 60}]})";
  runner.library.state.Running = 1;
  runner.interruptAfterSleeps = 1;
  EXPECT_EQ(runner.Run({"run", (folder.path / "wait.json").string(), "--db", db}).code, 130);
  const Ran listed = runner.Run({"results", "--db", db, "--plan", "w"});
  EXPECT_NE(listed.out.find("  w  station "), std::string::npos) << listed.out;
  EXPECT_NE(listed.out.find("  interrupted: 0 passed, 0 failed of 1\n"), std::string::npos) << listed.out;
  runner.library.state.Running = 0;
  runner.interruptAfterSleeps = -1;

  // A database that cannot be written: the plan runs, the report is written, exit 8.
  std::ofstream(folder.path / "text.sqlite") << std::string(2000, 'x');
  const std::string report = (folder.path / "report.json").string();
  const Ran lost = runner.Run({"run", (folder.path / "plan.json").string(), "--db",
                               (folder.path / "text.sqlite").string(), "--report", report});
  EXPECT_EQ(lost.code, 8);
  EXPECT_NE(lost.err.find("not a database; this run is not recorded there"), std::string::npos) << lost.err;
  EXPECT_NE(lost.out.find("1 of 1 controllers passed"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(report));
}

}  // namespace
}  // namespace cli_test
