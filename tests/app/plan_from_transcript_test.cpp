// A session's calls to a plan's steps: what is kept, what is left out.
#include "app/plan_from_transcript.h"

#include <gtest/gtest.h>

#include <cstring>

#include "contract/records.h"

namespace {

using kavr::Entry;
using kavr::LibraryCall;
using kavr::RecordedCall;
using Strings = std::vector<std::string>;

template <typename Record>
std::vector<std::uint8_t> Bytes(const Record& record) {
  std::vector<std::uint8_t> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

// A session of calls on controller 0 (unless told), one every 100 ms.
struct Session {
  std::vector<RecordedCall> calls;

  LibraryCall& Add(Entry entry, int result = 0, std::int32_t device = 0) {
    RecordedCall& recorded = calls.emplace_back();
    recorded.line = calls.size();
    recorded.call.entry = entry;
    recorded.call.device = device;
    recorded.call.result = result;
    recorded.call.started =
        std::chrono::system_clock::time_point{} + std::chrono::milliseconds(100 * calls.size());
    return recorded.call;
  }
  void Mode(Entry entry, const KAVR_Mode& mode, int result = 0) {
    Add(entry, result).returned = Bytes(mode);
    calls.back().call.sent = Bytes(mode);
  }
  void State(std::int32_t position, bool running, bool emergency = false) {
    KAVR_State state{};
    state.CurrentPosition = position;
    state.Temperature = 30.0f;
    state.Running = running;
    state.EmergencyPushed = emergency;
    state.InputVoltage = 12.0f;
    Add(Entry::GetState).returned = Bytes(state);
  }
  void Start(std::int32_t destination) {
    LibraryCall& call = Add(Entry::Start);
    KAVR_StartParameters start{};
    start.StepDivisor = 2;
    call.sent = Bytes(start);
    call.scalars = {{"destination", std::to_string(destination), ""}, {"speed", "2500", "2500"}};
  }

  Strings Steps() {
    std::string problem;
    const auto plan = kavr::PlanFromTranscript(calls, "p", 0.1, problem);
    EXPECT_TRUE(plan) << problem;
    Strings steps;
    for (std::size_t from = 0, end; (end = plan->find('\n', from)) != std::string::npos; from = end + 1) {
      std::string line = plan->substr(from, end - from);
      if (!line.starts_with("    {")) continue;
      if (line.ends_with(',')) line.pop_back();
      steps.push_back(line.substr(4));
    }
    return steps;
  }
};

const std::string kAtRest = R"("running":false,"inputs":{"EmergencyPushed":false,"Trailer1Pushed":false,)"
                            R"("Trailer2Pushed":false,"SyncInState":false,"RotaryError":false},)"
                            R"("voltage":{"min":10.8,"max":13.2},"temperature":{"min":27.0,"max":33.0}})";

TEST(PlanFromTranscript, WritesKeepOnlyWhatChangedAndFailedCallsAreLeftOut) {
  Session s;
  KAVR_Mode mode{};
  s.Mode(Entry::GetMode, mode);
  mode.SyncOutCount = 25;
  s.Mode(Entry::SetMode, mode, 7);  // refused: not repeated
  s.Mode(Entry::SetMode, mode);
  s.Mode(Entry::SetMode, mode);  // changes nothing
  s.Add(Entry::SaveParametersToFlash);
  s.Add(Entry::GetMode, 0, 1);  // another controller's read
  EXPECT_EQ(s.Steps(), (Strings{R"({"step":"set-mode","fields":{"SyncOutCount":25},"verify":true})",
                                R"({"step":"save"})", R"({"step":"verify"})"}));
}

TEST(PlanFromTranscript, MovesBecomeStartWaitAndTheirEndAndPollsAreLeftOut) {
  Session s;
  s.State(0, false);
  s.State(0, false);  // the same again: left out
  s.Start(4000);
  s.State(1000, true);
  s.State(3000, true);
  s.State(4000, false);        // 300 ms after the start
  s.State(4000, false);        // merged into the move's expect
  s.State(4000, false, true);  // an input changed: kept
  s.Start(0);
  s.State(2000, true);
  s.Add(Entry::Stop);
  s.State(1500, false);  // stopped by the session: no position to expect
  s.Start(9000);         // never seen to end: twice what was seen
  s.State(100, true);
  s.State(200, true);
  EXPECT_EQ(
      s.Steps(),
      (Strings{R"({"step":"expect",)" + kAtRest,
               R"({"step":"start","destination":4000,"speed":2500,"divisor":2})",
               R"({"step":"wait","seconds":0.9})", R"({"step":"expect","position":4000,)" + kAtRest,
               R"({"step":"expect",)" + std::string(kAtRest).replace(kAtRest.find("false", 30), 5, "true"),
               R"({"step":"start","destination":0,"speed":2500,"divisor":2})", R"({"step":"stop"})",
               R"({"step":"wait","seconds":0.7})", R"({"step":"expect",)" + kAtRest,
               R"({"step":"start","destination":9000,"speed":2500,"divisor":2})",
               R"({"step":"wait","seconds":1.0})", R"({"step":"verify"})"}));
}

TEST(PlanFromTranscript, ASessionOfSeveralControllersOrNoneIsRefused) {
  Session s;
  std::string problem;
  s.Add(Entry::Init).device.reset();
  EXPECT_FALSE(kavr::PlanFromTranscript(s.calls, "p", 0.1, problem));
  EXPECT_EQ(problem, "the transcript holds no call to a controller");
  s.Add(Entry::Stop, 0, 0);
  s.Add(Entry::Stop, 0, 1);
  EXPECT_FALSE(kavr::PlanFromTranscript(s.calls, "p", 0.1, problem));
  EXPECT_EQ(problem,
            "line 3: Stop drives controller 2, and line 2 controller 1; a plan does the same to every "
            "controller: record one at a time");
}

}  // namespace
