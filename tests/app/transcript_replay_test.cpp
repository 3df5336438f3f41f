// Replaying recorded calls on a scripted library: controllers follow their
// serial numbers, motion waits for leave, and differences read in words.
#include "app/transcript_replay.h"

#include <gtest/gtest.h>

#include "app/recording_library.h"
#include "fakes.h"

namespace {

using ui_test::Fakes;

const std::u32string kSerialA = U"SERIAL-AAAAAAAAA";
const std::u32string kSerialB = U"SERIAL-BBBBBBBBB";

// Init, GetState of controller 1, Start on 1, Stop on 0, recorded.
std::vector<kavr::RecordedCall> Recorded() {
  Fakes fakes;
  fakes.library.initCount = 2;
  fakes.library.initSerials = kSerialA + U'\0' + kSerialB;
  kavr::RecordingControllerLibrary recording(fakes.library);
  std::vector<kavr::RecordedCall> calls;
  recording.AddObserver([&](const kavr::LibraryCall& call) {
    std::string error;
    calls.push_back({calls.size() + 1, *kavr::ParseTranscriptLine(kavr::TranscriptLine(call), error)});
  });
  std::int32_t count = 0;
  kavr::LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
  recording.Init(count, versions, serials);
  KAVR_State state{};
  recording.GetState(1, state);
  KAVR_StartParameters start{};
  float speed = 1000.0f;
  recording.Start(1, 400, speed, start);
  recording.Stop(0);
  return calls;
}

struct Live : Fakes {
  Live() {
    library.initCount = 2;
    library.initSerials = kSerialB + U'\0' + kSerialA;  // listed the other way round
  }
};

TEST(TranscriptReplay, ControllersFollowTheirSerialsAndStartWaitsForLeave) {
  Live live;
  kavr::ReplayOutcome outcome = kavr::ReplayTranscript(Recorded(), live.library, {});
  EXPECT_EQ(outcome.differences, 0u) << ::testing::PrintToString(outcome.lines);
  EXPECT_EQ(outcome.lines,
            std::vector<std::string>{"call 3 Start: not sent without --allow-motion: it moves the motor"});
  EXPECT_EQ(live.library.events, (ui_test::Strings{"Init", "GetState", "Stop"}));
  EXPECT_EQ(live.library.devices, (std::vector<std::int32_t>{0, 1}));

  Live moving;
  outcome = kavr::ReplayTranscript(Recorded(), moving.library,
                                   {.ignored = {}, .firstDifferenceOnly = false, .allowMotion = true});
  EXPECT_EQ(moving.library.events, (ui_test::Strings{"Init", "GetState", "Start", "Stop"}));
  EXPECT_EQ(moving.library.destination, 400);
  EXPECT_EQ(moving.library.speed, 1000.0f);
}

TEST(TranscriptReplay, EachDifferingFieldIsOneLineInWordsUnlessIgnored) {
  Live live;
  live.library.state.CurrentPosition = 19998;
  live.library.results[kavr::Entry::Stop] = 3;
  const std::vector<kavr::RecordedCall> calls = Recorded();
  const std::string recordedPosition = std::to_string(Fakes().library.state.CurrentPosition);

  kavr::ReplayOutcome outcome = kavr::ReplayTranscript(calls, live.library, {});
  EXPECT_EQ(outcome.differences, 2u);
  EXPECT_EQ(outcome.lines.at(0),
            "call 2 GetState: CurrentPosition " + recordedPosition + " recorded, 19998 now");
  EXPECT_EQ(outcome.lines.at(2), "call 4 Stop: rc 0 recorded, 3 now");

  outcome = kavr::ReplayTranscript(calls, live.library, {.ignored = {}, .firstDifferenceOnly = true});
  EXPECT_EQ(outcome.differences, 1u);
  EXPECT_EQ(outcome.sent, 2u);

  outcome = kavr::ReplayTranscript(calls, live.library, {.ignored = {"CurrentPosition", "rc"}});
  EXPECT_EQ(outcome.differences, 0u);

  // A controller of the recording that is not attached is passed over.
  Live other;
  other.library.initSerials = kSerialB;
  other.library.initCount = 1;
  outcome = kavr::ReplayTranscript(calls, other.library, {.ignored = {"count"}});
  EXPECT_EQ(outcome.lines.back(), "call 4 Stop: not sent: controller 0 of the recording is not attached");

  // A line without its device is passed over, not sent to some controller.
  std::vector<kavr::RecordedCall> deviceless = calls;
  deviceless[1].call.device.reset();
  outcome = kavr::ReplayTranscript(deviceless, live.library, {});
  EXPECT_EQ(outcome.lines.at(0), "call 2 GetState: not sent: the line names no device");
}

}  // namespace
