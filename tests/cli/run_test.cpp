// kavrctl run on the scripted library: plan steps to library calls, the
// live lines and the verdicts, in one table; then the files it leaves.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "kavrctl_runner.h"
#include "portable.h"
#include "program_run.h"
#include "xml_elements.h"

namespace cli_test {
namespace {

using ui_test::FakeLibrary;
using ui_test::Strings;

constexpr const char* kA = "ABCDEFGHIJKLMNOP";  // the fake's first serial
constexpr const char* kB = "RSTUVWXYZABCDEFG";

// A controller at rest at 4000.
void AtRest(FakeLibrary& f) {
  f.initCount = 2;
  f.state = KAVR_State{.CurrentPosition = 4000, .Temperature = 30.0f, .InputVoltage = 12.0f};
}

const std::string kMoveAndCheck = R"({"name": "eol", "steps": [
  {"step": "set-mode", "fields": {"SyncOutCount": 25}, "verify": true},
  {"step": "start", "destination": 4000, "speed": 2500},
  {"step": "wait", "seconds": 1},
  {"step": "expect", "position": 4000, "running": false, "voltage": {"min": 11}},
  {"step": "save"}]})";

struct RunCase {
  const char* what;
  std::string plan;
  void (*script)(FakeLibrary&);
  Strings args;  // after "run PLAN"
  int code;
  std::string out;
  Strings events;
  int interruptAfterSleeps = -1;
};

std::string Lines(const std::string& serial, int steps, const Strings& verdicts) {
  std::string text;
  for (std::size_t i = 0; i < verdicts.size(); ++i) {
    text +=
        serial + " step " + std::to_string(i + 1) + "/" + std::to_string(steps) + " " + verdicts[i] + "\n";
  }
  return text;
}

const RunCase kCases[] = {
    {"two controllers pass; each step goes to both before the next",
     kMoveAndCheck,
     AtRest,
     {"-d", "1", "-s", kB, "-d", "1"},
     0,
     std::string(kA) + " step 1/5 set-mode: passed (0 ms)\n" + kB + " step 1/5 set-mode: passed (0 ms)\n" +
         kA + " step 2/5 start: passed (0 ms)\n" + kB + " step 2/5 start: passed (0 ms)\n" + kA +
         " step 3/5 wait: passed (0 ms)\n" + kB + " step 3/5 wait: passed (0 ms)\n" + kA +
         " step 4/5 expect: passed (0 ms)\n" + kB + " step 4/5 expect: passed (0 ms)\n" + kA +
         " step 5/5 save: passed (0 ms)\n" + kB + " step 5/5 save: passed (0 ms)\n" +
         "plan \"eol\": 2 of 2 controllers passed\n",
     {"Init", "GetMode", "SetMode", "GetMode", "GetMode", "SetMode", "GetMode", "GetStartParameters", "Start",
      "GetStartParameters", "Start", "GetState", "GetState", "GetState", "GetState", "SaveParametersToFlash",
      "SaveParametersToFlash"}},
    {"an unmet expectation fails the controller: Stop, the rest skipped",
     R"({"name": "p", "steps": [{"step": "expect", "position": 3990, "tolerance": 5, "inputs": {"EmergencyPushed": true},
        "temperature": {"max": 25}}, {"step": "save"}]})",
     [](FakeLibrary& f) {
       AtRest(f);
       f.initCount = 1;
     },
     {},
     7,
     std::string(kA) +
         " step 1/2 expect: FAILED: expected position 3990 within 5, EmergencyPushed on, temperature at most "
         "25 "
         "°C; got position 4000, EmergencyPushed off, temperature 30 °C\n" +
         kA + " stopped\nplan \"p\": 0 of 1 controllers passed; failed: " + kA + "\n",
     {"Init", "GetState", "Stop"}},
    {"a failed call names the entry and the library's error",
     R"({"name": "p", "steps": [{"step": "start", "destination": 1, "speed": 1}, {"step": "stop"}]})",
     [](FakeLibrary& f) {
       AtRest(f);
       f.initCount = 1;
       f.results[kavr::Entry::Start] = 7;
     },
     {},
     7,
     std::string(kA) +
         " step 1/2 start: FAILED: expected the library calls to succeed; got _KAVRVB_Start failed with "
         "ResultCode 7: Device is busy\n" +
         kA + " stopped\nplan \"p\": 0 of 1 controllers passed; failed: " + kA + "\n",
     {"Init", "GetStartParameters", "Start", "GetLastErr", "Stop"}},
    {"a wait that runs out of time fails at the limit, after reading once more",
     R"({"name": "p", "steps": [{"step": "wait", "seconds": 0.1}]})",
     [](FakeLibrary& f) {
       AtRest(f);
       f.initCount = 1;
       f.state.Running = 1;
     },
     {},
     7,
     std::string(kA) +
         " step 1/1 wait: FAILED: expected the motor stopped within 0.1 s; got still running at position "
         "4000, on a move this run did not start (another program may be driving it)\n" +
         kA + " stopped\nplan \"p\": 0 of 1 controllers passed; failed: " + kA + "\n",
     {"Init", "GetState", "GetState", "GetState", "Stop"}},
    {"a move stopped short of its destination by something the run did not send is noted",
     R"({"name": "p", "steps": [{"step": "start", "destination": 5000, "speed": 100}, {"step": "wait", "seconds": 1}]})",
     [](FakeLibrary& f) {
       AtRest(f);
       f.initCount = 1;
     },
     {},
     0,
     std::string(kA) + " step 1/2 start: passed (0 ms)\n" + kA + " step 2/2 wait: passed (0 ms)\n" + kA +
         " note: stopped at 4000, short of 5000: something this run did not send stopped it (another "
         "program's "
         "Stop, or an input)\nplan \"p\": 1 of 1 controllers passed\n",
     {"Init", "GetStartParameters", "Start", "GetState"}},
    {"Ctrl+C in a wait stops every controller the plan started",
     R"({"name": "p", "steps": [{"step": "start", "destination": 1, "speed": 1}, {"step": "wait", "seconds": 60},
        {"step": "save"}]})",
     [](FakeLibrary& f) {
       AtRest(f);
       f.state.Running = 1;
     },
     {"--all"},
     130,
     Lines(kA, 3, {"start: passed (0 ms)"}) + Lines(kB, 3, {"start: passed (0 ms)"}) +
         "interrupted: stopping every controller the plan started\n" + kA + " stopped\n" + kB + " stopped\n" +
         "plan \"p\": interrupted (SIGINT); 0 of 2 controllers passed\n",
     {"Init", "GetStartParameters", "Start", "GetStartParameters", "Start", "GetState", "GetState", "Stop",
      "Stop"},
     1},
    {"a plan refused before anything is sent",
     R"({"name": "p", "steps": [{"step": "start", "destination": 1, "speed": -1}]})",
     AtRest,
     {"--all"},
     1,
     "",
     {}},
    {"--all and -d together are refused", kMoveAndCheck, AtRest, {"--all", "-d", "1"}, 1, "", {}},
    {"a power cycle needs an operator beyond the stand-in: refused with nobody to ask, before any step",
     R"({"name": "p", "steps": [{"step": "save"}, {"step": "power-cycle"}]})",
     AtRest,
     {"--all", "--no-prompt"},
     1,
     "",
     {"Init"}},
    {"several controllers and none chosen", kMoveAndCheck, AtRest, {}, 4, "", {"Init"}},
};

TEST(Run, PlanStepsToCallsLinesAndVerdicts) {
  for (const RunCase& c : kCases) {
    test_support::ScratchFolder folder;
    const std::filesystem::path plan = folder.path / "plan.json";
    std::ofstream(plan) << c.plan;
    KavrctlRunner runner;
    c.script(runner.library);
    runner.interruptAfterSleeps = c.interruptAfterSleeps;
    Strings args{"run", plan.string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Ran ran = runner.Run(args);
    EXPECT_EQ(ran.code, c.code) << c.what << "\n" << ran.err;
    if (c.code != 1 && c.code != 4) {
      EXPECT_EQ(ran.out, c.out) << c.what;
    }
    EXPECT_EQ(runner.library.events, c.events) << c.what;
  }
}

TEST(Run, BadPlanNamesTheFileAndTheStep) {
  test_support::ScratchFolder folder;
  const std::filesystem::path plan = folder.path / "plan.json";
  std::ofstream(plan) << R"({"name": "p", "steps": [{"step": "stop"}, {"step": "start", "destination": 1}]})";
  KavrctlRunner runner;
  const Ran ran = runner.Run({"run", plan.string()});
  EXPECT_EQ(ran.code, 1);
  EXPECT_EQ(ran.err, "kavrctl: " + plan.string() + ": step 2 (start): speed is missing\n");
  EXPECT_EQ(runner.opened, 0);
}

TEST(Run, ReportAndJunitReadBack) {
  test_support::ScratchFolder folder;
  const std::filesystem::path plan = folder.path / "plan.json";
  std::ofstream(plan) << R"({"name": "a&b <eol>", "steps": [{"step": "save"},
    {"step": "expect", "running": false}, {"step": "stop"}]})";
  KavrctlRunner runner;
  AtRest(runner.library);
  runner.library.state.Running = 1;
  const std::string report = (folder.path / "report.json").string(),
                    junit = (folder.path / "junit.xml").string();
  const Ran ran = runner.Run({"run", plan.string(), "--all", "--report", report, "--junit", junit});
  EXPECT_EQ(ran.code, 7);

  XmlElements xml;
  ASSERT_TRUE(xml.Parse(FileText(junit))) << FileText(junit);
#if KAVR_TEST_XML_PARSER
  Strings shape;
  for (const auto& [name, attributes] : xml.elements) {
    if (name == "testsuites")
      shape.push_back(name + " " + attributes.at("name") + " " + attributes.at("tests") + " " +
                      attributes.at("failures") + " " + attributes.at("skipped"));
    if (name == "testsuite") shape.push_back(name + " " + attributes.at("name"));
    if (name == "testcase")
      shape.push_back(name + " " + attributes.at("classname") + " " + attributes.at("name"));
    if (name == "failure" || name == "skipped") shape.push_back(name + " " + attributes.at("message"));
  }
  const std::string a = std::string("testcase a&b <eol>.") + kA, b = std::string("testcase a&b <eol>.") + kB;
  EXPECT_EQ(shape, (Strings{"testsuites a&b <eol> 6 2 2", std::string("testsuite ") + kA, a + " 01 save",
                            a + " 02 expect", "failure expected not running; got running", a + " 03 stop",
                            "skipped an earlier step failed", std::string("testsuite ") + kB, b + " 01 save",
                            b + " 02 expect", "failure expected not running; got running", b + " 03 stop",
                            "skipped an earlier step failed"}));
#endif

  const auto json = nlohmann::json::parse(FileText(report));
  EXPECT_EQ(json["result"], "failed");
  EXPECT_EQ(json["controllers"][1]["serial"], kB);
  EXPECT_EQ(json["controllers"][1]["steps"][1]["result"], "failed");
  EXPECT_EQ(json["controllers"][1]["steps"][1]["expected"], "not running");
  EXPECT_EQ(json["controllers"][1]["steps"][1]["got"], "running");
  EXPECT_EQ(json["controllers"][1]["steps"][2]["result"], "skipped");

  // A report that cannot be written is an error of its own.
  const Ran unwritable =
      runner.Run({"run", plan.string(), "--all", "--junit", (folder.path / "no" / "x.xml").string()});
  EXPECT_EQ(unwritable.code, 8);
  EXPECT_NE(unwritable.err.find("cannot write"), std::string::npos) << unwritable.err;
}

TEST(Verify, SetModeReadsTheModeBackAfterTheWrite) {
  KavrctlRunner runner;
  const Ran kept = runner.Run({"set-mode", "SyncOutCount=25", "--verify"});
  EXPECT_EQ(kept.code, 0) << kept.err;
  EXPECT_EQ(runner.library.events, (Strings{"Init", "GetMode", "SetMode", "GetMode"}));
}

}  // namespace
}  // namespace cli_test
