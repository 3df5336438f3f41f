// kavrctl serve on the scripted library: each request's exact response and
// the calls it made, bad lines answered with the session going on, a
// mutation fuzz of the request reader, and the real program stopping what
// it started when its input ends.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

#include "app/version.h"
#include "device/dynamic_controller_library.h"
#include "kavrctl_runner.h"
#include "portable.h"
#include "program_run.h"
#include "serve_protocol.h"

namespace cli_test {
namespace {

using fakes::FakeLibrary;
using fakes::Strings;
using Json = nlohmann::ordered_json;

Strings Lines(const std::string& text) {
  Strings lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string Call(const std::string& method, const std::string& params = {}, const std::string& id = "1") {
  return "{\"jsonrpc\":\"2.0\",\"id\":" + id + ",\"method\":\"" + method + "\"" +
         (params.empty() ? "" : ",\"params\":" + params) + "}";
}
// A response to id 1; a text ending in "..." is the start of one.
std::string Response(const std::string& kind, const std::string& text) {
  return "{\"jsonrpc\":\"2.0\",\"id\":1,\"" + kind + "\":" + text + (text.ends_with("...") ? "" : "}");
}
std::string Result(const std::string& result) { return Response("result", result); }
std::string Error(const std::string& error) { return Response("error", error); }

const KAVR_State kMoving{
    .CurrentPosition = 250, .Temperature = 31.25f, .StepDivisor = 8, .Running = 1, .InputVoltage = 12.0f};
constexpr const char* kMovingJson =
    "{\"CurrentPosition\":250,\"Temperature\":31.25,\"StepDivisor\":8,\"LoftIndefinite\":false,"
    "\"FullPower\":false,\"DirectionCCW\":false,\"PowerOn\":false,\"FullSpeed\":false,\"AfterReset\":false,"
    "\"Running\":true,\"SyncInState\":false,\"SyncOutState\":false,\"RotaryState\":false,\"RotaryError\":"
    "false,"
    "\"EmergencyPushed\":false,\"Trailer1Pushed\":false,\"Trailer2Pushed\":false,\"InputVoltage\":12.0}";

struct Golden {
  std::string request;
  void (*script)(FakeLibrary&);
  std::string response;  // exact, or its start when it ends in "..."
  Strings events;
};

void None(FakeLibrary&) {}
void Moving(FakeLibrary& f) { f.state = kMoving; }
void Stopped(FakeLibrary& f) { f.state = KAVR_State{.CurrentPosition = 7}; }
void TwoAttached(FakeLibrary& f) { f.initCount = 2; }
void Zeroed(FakeLibrary& f) {
  f.mode = {};
  f.start = {};
}

const Golden kGolden[] = {
    {Call("version"),
     None,
     Result(std::string("{\"kavrctl\":\"") + kavr::kVersion + "\",\"protocol\":1}"),
     {}},
    {Call("list"),
     TwoAttached,
     Result("[{\"number\":1,\"serial\":\"ABCDEFGHIJKLMNOP\",\"version\":\"0123\"},"
            "{\"number\":2,\"serial\":\"RSTUVWXYZABCDEFG\",\"version\":\"5601\"}]"),
     {"Init"}},
    {Call("state", "{\"device\":1}"), Moving, Result(kMovingJson), {"Init", "GetState"}},
    {Call("state", "{\"serial\":\"ABCDEFGHIJKLMNOP\"}"), Moving, Result(kMovingJson), {"Init", "GetState"}},
    {Call("state"),
     TwoAttached,
     Error("{\"code\":4,\"message\":\"2 controllers are attached; ..."),
     {"Init"}},
    {Call("state", "{\"device\":3}"),
     None,
     Error("{\"code\":3,\"message\":\"there is no controller 3..."),
     {"Init"}},
    {Call("state"),
     [](FakeLibrary& f) { f.initCount = 0; },
     Error("{\"code\":3,\"message\":\"No Devices Found..."),
     {"Init"}},
    {Call("mode", "{\"device\":1}"),
     [](FakeLibrary& f) { f.results[kavr::Entry::GetMode] = 4; },
     Error("{\"code\":2,\"message\":\"_KAVRVB_GetMode failed with ResultCode 4: Device is "
           "busy\",\"data\":{\"entry\":"
           "\"GetMode\",\"result\":4,\"text\":\"Device is busy\",\"serial\":\"ABCDEFGHIJKLMNOP\"}}"),
     {"Init", "GetMode", "GetLastErr"}},
    {Call("set_mode", "{\"fields\":{\"SyncOutCount\":25,\"PowerOff\":true},\"verify\":true}"),
     Zeroed,
     Result("{\"ButtonsDisabled\":false,\"CurrentReduction\":false,\"PowerOff\":true,..."),
     {"Init", "GetMode", "SetMode", "GetMode"}},
    {Call("set_parameters", "{\"fields\":{\"SyncOutPulse\":300}}"),
     None,
     Error("{\"code\":1,\"message\":\"SyncOutPulse: 300 is outside 0 to "
           "255\",\"data\":{\"field\":\"SyncOutPulse\"}}"),
     {}},
    // A move still running when the input ends is stopped.
    {Call("start", "{\"destination\":1000.4,\"speed\":500,\"divisor\":2,\"fields\":{\"SlowStart\":true}}"),
     Zeroed,
     Result(
         "{\"destination\":1000,\"speed\":500,\"start_parameters\":{\"StepDivisor\":2,\"BacklashCCW\":false,"
         "\"AutoBacklash\":false,\"SlowStart\":true,\"WaitSyncIn\":false,\"SyncOutCounterReset\":false,"
         "\"ForceBacklash\":false}}"),
     {"Init", "GetStartParameters", "Start", "Stop"}},
    {Call("start", "{\"destination\":1,\"speed\":500,\"fields\":{\"StepDivisor\":2}}"),
     None,
     Error("{\"code\":1,\"message\":\"\\\"StepDivisor\\\" is not a field of KAVR_StartParameters..."),
     {}},
    {Call("start", "{\"destination\":1,\"speed\":0}"),
     None,
     Error("{\"code\":1,\"message\":\"speed: 0 is not above 0\",\"data\":{\"field\":\"speed\"}}"),
     {}},
    {Call("start", "{\"destination\":1,\"speed\":5,\"divisor\":3}"),
     None,
     Error("{\"code\":1,\"message\":\"divisor: 3 is not 1, 2, 4 or 8\",\"data\":{\"field\":\"divisor\"}}"),
     {}},
    {Call("wait", "{\"timeout\":5}"), Stopped, Result("[{\"CurrentPosition\":7,..."), {"Init", "GetState"}},
    // Read at once, every 50 ms, and once more at the limit.
    {Call("wait", "{\"controllers\":[1],\"timeout\":0.1}"),
     Moving,
     Error("{\"code\":6,\"message\":\"still running after the timeout: ABCDEFGHIJKLMNOP at 250\",\"data\":{"
           "\"running\":[{\"serial\":\"ABCDEFGHIJKLMNOP\",\"position\":250}]}}"),
     {"Init", "GetState", "GetState", "GetState", "GetState"}},
    {Call("stop"), None, Result("true"), {"Init", "Stop"}},
    {Call("save"), None, Result("true"), {"Init", "SaveParametersToFlash"}},
    {Call("last_error"), None, Result("\"Device is busy\""), {"Init", "GetLastErr"}},
    {Call("describe"),
     None,
     Result("{\"state\":[{\"name\":\"CurrentPosition\",\"type\":\"int32\",\"writable\":false,\"min\":-"
            "2147483648,"
            "\"max\":2147483647},..."),
     {}},
    {Call("run", "{\"plan\":{\"name\":\"p\",\"steps\":[{\"step\":\"stop\"}]}}"),
     None,
     Result("{..."),
     {"Init", "Stop"}},
    // Nothing after close is read.
    {Call("close") + "\n" + Call("stop"), None, Result("true"), {}},
};

TEST(Serve, AnswersEachMethodWithItsCalls) {
  for (const Golden& golden : kGolden) {
    KavrctlRunner runner;
    golden.script(runner.library);
    const Ran ran = runner.Run({"serve"}, golden.request + "\n");
    EXPECT_EQ(ran.code, 0) << golden.request;
    const Strings lines = Lines(ran.out);
    ASSERT_EQ(lines.size(), 1u) << golden.request << "\n" << ran.out;
    if (golden.response.ends_with("...")) {
      EXPECT_TRUE(lines[0].starts_with(golden.response.substr(0, golden.response.size() - 3)))
          << golden.request << "\n"
          << lines[0];
    } else {
      EXPECT_EQ(lines[0], golden.response) << golden.request;
    }
    EXPECT_EQ(runner.library.events, golden.events) << golden.request;
  }
}

TEST(Serve, LeaveRunningKeepsTheMoveAndCloseEndsWithoutStopping) {
  KavrctlRunner leave;
  leave.Run({"serve", "--leave-running"}, Call("start", "{\"destination\":1,\"speed\":5}") + "\n");
  EXPECT_EQ(leave.library.events, (Strings{"Init", "GetStartParameters", "Start"}));
  KavrctlRunner closed;
  closed.Run({"serve"},
             Call("start", "{\"destination\":1,\"speed\":5}") + "\n" + Call("close", "", "2") + "\n");
  EXPECT_EQ(closed.library.events, (Strings{"Init", "GetStartParameters", "Start"}));
}

struct BadLine {
  std::string line;
  int code;
};

const BadLine kBadLines[] = {
    {"", -32700},
    {"nonsense", -32700},
    {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"version\"", -32700},
    {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"x\",\"params\":{\"a\":1e999}}", -32700},
    {"{\"jsonrpc\":\"2.0\",\"id\":\"\xff\",\"method\":\"version\"}", -32700},
    {std::string(100000, '['), -32700},
    {"[1,2]", -32600},
    {"{\"jsonrpc\":\"2.0\",\"id\":{},\"method\":\"version\"}", -32600},
    {"{\"jsonrpc\":\"2.0\",\"id\":1.5,\"method\":\"version\"}", -32600},
    {"{\"jsonrpc\":\"2.0\",\"id\":true,\"method\":\"version\"}", -32600},
    {"{\"id\":1,\"method\":\"version\"}", -32600},
    {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":5}", -32600},
    {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"version\",\"extra\":1}", -32600},
    {Call("reboot"), -32601},
    {"{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"state\",\"params\":[1]}", -32602},
    {Call("state", "{\"device\":\"one\"}"), -32602},
    {Call("state", "{\"device\":1,\"serial\":\"A\"}"), -32602},
    {Call("version", "{\"device\":1}"), -32602},
    {Call("start", "{\"destinaton\":1,\"speed\":5}"), -32602},
    {Call("start", "{\"destination\":1}"), -32602},
    {Call("start", "{\"destination\":\"1\",\"speed\":5}"), -32602},
    {Call("set_mode", "{}"), -32602},
    {Call("set_mode", "{\"fields\":{\"SyncOutCount\":1e10}}"), 1},
    {Call("set_mode", "{\"fields\":{\"Bogus\":1}}"), 1},
    {Call("set_mode", "{\"fields\":{\"PowerOff\":2}}"), 1},
    {Call("set_parameters", "{\"fields\":{\"AccelerationTime\":1e300}}"), 1},
    {Call("start", "{\"destination\":1e300,\"speed\":5}"), 1},
    {Call("wait", "{\"timeout\":-1}"), 1},
    {Call("wait", "{\"controllers\":[{}]}"), -32602},
    {Call("run", "{\"plan\":\"/nonexistent/plan.json\"}"), 1},
    {Call("run", "{\"plan\":{\"steps\":5}}"), 1},
    {std::string(kavr::cli::kLongestRequestLine + 1, ' '), -32600},
};

TEST(Serve, EveryBadLineIsAnsweredAndTheSessionGoesOn) {
  for (const BadLine& bad : kBadLines) {
    KavrctlRunner runner;
    const Ran ran = runner.Run({"serve"}, bad.line + "\r\n" + Call("version", "", "\"next\"") + "\n");
    const Strings lines = Lines(ran.out);
    const std::string shown = bad.line.substr(0, 80);
    ASSERT_EQ(lines.size(), 2u) << shown << "\n" << ran.out;
    const Json error = Json::parse(lines[0]);
    EXPECT_EQ(error["error"]["code"], bad.code) << shown << "\n" << lines[0];
    EXPECT_FALSE(error["error"]["message"].get<std::string>().empty());
    EXPECT_EQ(Json::parse(lines[1])["id"], "next") << shown;
  }
}

// Valid requests of every kind, cut and spliced at random: every answer is
// a JSON-RPC response, and a request after each is still answered.
TEST(Serve, MutatedRequestsNeverEndTheSession) {
  const std::vector<std::string> seeds = {
      Call("version"),
      Call("list"),
      Call("state", "{\"device\":1}"),
      Call("set_mode", "{\"fields\":{\"SyncOutCount\":25,\"PowerOff\":true},\"verify\":true}"),
      Call("set_parameters", "{\"serial\":\"ABCDEFGHIJKLMNOP\",\"fields\":{\"AccelerationTime\":1.5e2}}"),
      Call("start", "{\"destination\":-12.5,\"speed\":1e3,\"divisor\":4,\"fields\":{\"SlowStart\":true}}"),
      Call("wait", "{\"controllers\":[1,\"ABCDEFGHIJKLMNOP\"],\"timeout\":0}"),
      Call("stop", "{\"device\":1}"),
      Call("last_error", "", "\"text id\"")};
  const std::string pieces[] = {"{",
                                "}",
                                "[",
                                "]",
                                "\"",
                                ":",
                                ",",
                                "null",
                                "-",
                                "1e999",
                                "\\u0000",
                                "\xc3",
                                "\\",
                                "0",
                                "true",
                                "1e-400",
                                "18446744073709551616",
                                "\"params\"",
                                "\"id\""};
  std::mt19937 random(25);
  const auto below = [&](std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
  };
  constexpr int kLines = 100000;
  std::string input;
  for (int i = 0; i < kLines; ++i) {
    std::string line = seeds[below(std::size(seeds))];
    for (std::size_t edits = 1 + below(4); edits > 0; --edits) {
      const std::size_t at = below(line.size() + 1);
      switch (below(5)) {
        case 0:
          line.insert(at, pieces[below(std::size(pieces))]);
          break;
        case 1:
          line.erase(at, 1 + below(8));
          break;
        case 2:
          if (at < line.size()) line[at] = static_cast<char>(below(256));
          break;
        case 3:
          line.resize(at);
          break;
        default:
          line.insert(at, line.substr(below(line.size() + 1), below(16)));
          break;
      }
    }
    std::erase(line, '\n');
    input += line + "\n" + Call("version", "", "\"alive " + std::to_string(i) + "\"") + "\n";
  }
  KavrctlRunner runner;
  runner.library.state = KAVR_State{};
  const Ran ran = runner.Run({"serve"}, input);
  EXPECT_EQ(ran.code, 0);
  int alive = 0;
  std::istringstream out(ran.out);
  const std::string version =
      "\",\"result\":{\"kavrctl\":\"" + std::string(kavr::kVersion) + "\",\"protocol\":1}}";
  for (std::string line; std::getline(out, line);) {
    // The probe's answer is known to the byte; only the others are parsed.
    if (line == "{\"jsonrpc\":\"2.0\",\"id\":\"alive " + std::to_string(alive) + version) {
      ++alive;
      continue;
    }
    const Json response = Json::parse(line, nullptr, false);
    ASSERT_FALSE(response.is_discarded()) << line;
    ASSERT_EQ(response["jsonrpc"], "2.0") << line;
    ASSERT_NE(response.contains("result"), response.contains("error")) << line;
  }
  EXPECT_EQ(alive, kLines);
}

// kavrctl serve as a script starts it, on the stand-in library.
class ServeOnStandIn : public ::testing::Test {
 protected:
  ProgramRun Kavrctl(const std::vector<std::string>& args, const std::string& input = {}) {
    return RunProgram(program, args, scratch.folder.path, input);
  }
  bool Running() {
    return Kavrctl({"-d", "1", "state", "--json"}).out.find("\"Running\": true") != std::string::npos;
  }

  test_support::StandInScratch scratch;
#ifdef _WIN32
  const std::filesystem::path program = kavr::ExecutableFolder() / "kavrctl.exe";
#else
  const std::filesystem::path program = kavr::ExecutableFolder() / "kavrctl";
#endif
};

TEST_F(ServeOnStandIn, InputEndingMidMoveStopsWhatTheSessionStarted) {
  const std::string start = Call("start", "{\"device\":1,\"destination\":100000,\"speed\":100}") + "\n";
  const ProgramRun ended = Kavrctl({"serve"}, start);
  EXPECT_EQ(ended.code, 0) << ended.err;
  EXPECT_EQ(ended.err, "kavrctl: input ended without close; controller 1 stopped\n");
  EXPECT_FALSE(Running());

  const ProgramRun left = Kavrctl({"serve", "--leave-running"}, start);
  EXPECT_EQ(left.code, 0) << left.err;
  EXPECT_EQ(left.err, "");
  EXPECT_TRUE(Running());
  EXPECT_EQ(Kavrctl({"-d", "1", "stop"}).code, 0);
}

}  // namespace
}  // namespace cli_test
