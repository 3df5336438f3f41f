// Whatever ends a command that holds controllers (a signal, a reader that
// goes away) leaves no motor running, writes the run's files marked
// interrupted, and says why in its exit code. kavrctl runs as a real child
// process on the stand-in, whose controllers outlive it.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "child_process.h"
#include "device/dynamic_controller_library.h"
#include "kavrctl_runner.h"
#include "portable.h"
#include "program_run.h"
#include "xml_elements.h"

namespace cli_test {
namespace {

bool Holds(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A JUnit file that parses, with the run counted as errors.
void ExpectInterruptedJunit(const std::string& text) {
  XmlElements xml;
  ASSERT_TRUE(xml.Parse(text)) << text;
#if KAVR_TEST_XML_PARSER
  ASSERT_FALSE(xml.elements.empty());
  EXPECT_NE(xml.elements.front().second.at("errors"), "0") << text;
#endif
  EXPECT_TRUE(Holds(text, "<error type=\"interrupted\"")) << text;
}

#ifndef _WIN32

constexpr int kReaderGone = 0;  // no signal: the pipe's reader closes it

struct EndingCase {
  const char* what;
  std::vector<std::string> args;  // after the library options
  int signal;
  int code;
  bool runReports;  // `run`, whose files are read back
};

const EndingCase kEndings[] = {
    {"run, the reader of its output gone", {"run", "slow.json", "--all"}, kReaderGone, 8, true},
    {"run, SIGHUP (the terminal closed)", {"run", "slow.json", "--all"}, SIGHUP, 129, true},
    {"run, SIGTERM", {"run", "slow.json", "--all"}, SIGTERM, 143, true},
    {"run, SIGINT (Ctrl+C)", {"run", "slow.json", "--all"}, SIGINT, 130, true},
    {"run, SIGQUIT", {"run", "slow.json", "--all"}, SIGQUIT, 131, true},
    {"start --wait, SIGHUP", {"-d", "2", "start", "20000", "2000", "--wait"}, SIGHUP, 129, false},
    {"start --wait, the reader gone", {"-d", "2", "start", "20000", "2000", "--wait"}, kReaderGone, 8, false},
    {"watch, SIGTERM", {"-d", "1", "watch", "--interval", "20"}, SIGTERM, 143, false},
};

class EndingOnStandIn : public ::testing::Test {
 protected:
  ProgramRun Kavrctl(const std::vector<std::string>& args) {
    return RunProgram(program, args, scratch.folder.path);
  }

  // Stop lets a motor decelerate; it is at rest well before a second.
  void ExpectAllAtRest(const std::string& what) {
    for (const char* device : {"1", "2", "3"}) {
      ProgramRun state;
      for (int tries = 0; tries < 40; ++tries) {
        state = Kavrctl({"-d", device, "state"});
        if (Holds(state.out, "Step Motor is Not Running")) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
      }
      EXPECT_TRUE(Holds(state.out, "Step Motor is Not Running")) << what << ": controller " << device << "\n"
                                                                 << state.out << state.err;
      EXPECT_FALSE(Holds(state.out, "Current Position in microsteps - 20000\n"))
          << what << ": it ran to the end";
    }
  }

  test_support::StandInScratch scratch;
  test_support::EnvironmentOverride devices{"KAVR_SIM_DEVICES", "3"};
  test_support::EnvironmentOverride numbers{"LC_ALL", "C"};
  const std::filesystem::path program = kavr::ExecutableFolder() / "kavrctl";
};

TEST_F(EndingOnStandIn, EveryEndStopsWhatWasStartedAndWritesTheRunInterrupted) {
  const std::filesystem::path folder = scratch.folder.path;
  std::ofstream(folder / "slow.json")
      << R"({"name":"slow","steps":[{"step":"start","destination":20000,"speed":2000},{"step":"wait","seconds":30},)"
         R"({"step":"expect","position":20000}]})";
  for (const EndingCase& c : kEndings) {
    std::vector<std::string> args = c.args;
    if (c.runReports) {
      args[1] = (folder / "slow.json").string();
      args.insert(args.end(),
                  {"--report", (folder / "r.json").string(), "--junit", (folder / "j.xml").string()});
      std::filesystem::remove(folder / "r.json");
      std::filesystem::remove(folder / "j.xml");
    }
    ChildProcess kavrctl(program, args, folder / "err");
    // Its first line is out: from then on the motor moves (or is watched).
    EXPECT_FALSE(kavrctl.ReadLine().empty()) << c.what;
    if (c.signal == kReaderGone) {
      kavrctl.CloseOutput();
    } else {
      kavrctl.Signal(c.signal);
    }
    EXPECT_EQ(kavrctl.Wait(), c.code) << c.what << "\n" << FileText(folder / "err");
    ExpectAllAtRest(c.what);
    if (!c.runReports) continue;
    const auto report = nlohmann::json::parse(FileText(folder / "r.json"), nullptr, false);
    ASSERT_FALSE(report.is_discarded()) << c.what << "\n" << FileText(folder / "r.json");
    EXPECT_EQ(report["result"], "interrupted") << c.what;
    EXPECT_FALSE(report["interrupted_by"].get<std::string>().empty()) << c.what;
    EXPECT_EQ(report["controllers"][0]["steps"][1]["result"], "interrupted") << c.what;
    ExpectInterruptedJunit(FileText(folder / "j.xml"));
  }
}

// Lost output is exit code 8 whatever the command, not the death by SIGPIPE
// a shell would report as 141.
TEST_F(EndingOnStandIn, AClosedPipeIsLostOutputForEveryCommand) {
  ChildProcess kavrctl(program, {"-d", "1", "parameters"}, scratch.folder.path / "err");
  kavrctl.CloseOutput();
  EXPECT_EQ(kavrctl.Wait(), 8) << FileText(scratch.folder.path / "err");
}

#endif

// Text XML 1.0 cannot carry is replaced in JUnit and kept in the JSON report.
TEST(EndingReports, JunitHoldsOnlyWhatXmlAllows) {
  test_support::ScratchFolder folder;
  const std::filesystem::path plan = folder.path / "plan.json";
  std::ofstream(plan) << R"({"name": "\uffff\ufffe\u0001x", "steps": [{"step": "save"}]})";
  KavrctlRunner runner;
  const std::string report = (folder.path / "r.json").string(), junit = (folder.path / "j.xml").string();
  EXPECT_EQ(runner.Run({"run", plan.string(), "--report", report, "--junit", junit}).code, 0);
  XmlElements xml;
  EXPECT_TRUE(xml.Parse(FileText(junit))) << FileText(junit);
  EXPECT_EQ(nlohmann::json::parse(FileText(report))["plan"], "\uffff\ufffe\u0001x");
}

// An interruption after the last step still fails the dashboard.
TEST(EndingReports, AnInterruptedRunIsAnErrorNeverSkippedOnly) {
  test_support::ScratchFolder folder;
  const std::filesystem::path plan = folder.path / "plan.json";
  std::ofstream(plan) << R"({"name": "p", "steps": [{"step": "start", "destination": 400, "speed": 100},
    {"step": "pause", "ms": 1000}, {"step": "save"}]})";
  KavrctlRunner runner;
  runner.interruptAfterSleeps = 2;
  const std::string junit = (folder.path / "j.xml").string();
  const Ran ran = runner.Run({"run", plan.string(), "--junit", junit});
  EXPECT_EQ(ran.code, 130) << ran.err;
  EXPECT_TRUE(Holds(ran.out, "ABCDEFGHIJKLMNOP stopped")) << ran.out;
  const std::string text = FileText(junit);
  ExpectInterruptedJunit(text);
  EXPECT_TRUE(Holds(text, "errors=\"3\" skipped=\"0\"")) << text;  // two steps cut, and the run
}

}  // namespace
}  // namespace cli_test
