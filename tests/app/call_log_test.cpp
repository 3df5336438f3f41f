// The call log's rows and the field-by-field description of a call, on
// calls recorded from the scripted library.
#include "app/call_log.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "app/call_details.h"
#include "app/recording_library.h"
#include "fakes.h"

namespace {

using ::testing::HasSubstr;

struct Logged : fakes::Fakes {
  kavr::RecordingControllerLibrary recording{library};
  kavr::CallLog log;
  Logged() {
    recording.AddObserver([this](const kavr::LibraryCall& call) { log.Add(call); });
  }
  void GetState(std::int32_t device, bool poll) {
    std::optional<kavr::CallLog::PollScope> scope;
    if (poll) scope.emplace(log);
    KAVR_State state{};
    recording.GetState(device, state);
  }
  // Each row's text without the times and duration, which change from run to run.
  std::vector<std::string> Rows() {
    static const std::regex kVarying("^[0-9:.]+( to [0-9:.]+)? | [0-9]+ us");
    std::vector<std::string> rows;
    for (std::size_t i = 0; i < log.Size(); ++i)
      rows.push_back(std::regex_replace(kavr::RowText(log.Row(i)), kVarying, ""));
    return rows;
  }
};

TEST(CallLog, CollapsesOnlyRunsOfAlikePollsAndKeepsEveryOtherCallInOrder) {
  Logged l;
  l.GetState(0, true);
  l.GetState(0, true);
  l.GetState(1, true);   // another controller
  l.GetState(1, false);  // the test window's own, never folded into polling
  l.GetState(1, true);
  l.library.results[kavr::Entry::GetState] = 4;
  l.GetState(1, true);  // a failure stands alone
  l.library.results.clear();
  l.GetState(1, true);
  l.GetState(1, true);
  l.recording.Stop(1);
  EXPECT_EQ(l.Rows(), (std::vector<std::string>{"GetState 0 rc=0, 2 polls", "GetState 1 rc=0",
                                                "GetState 1 rc=0", "GetState 1 rc=0", "GetState 1 rc=4",
                                                "GetState 1 rc=0, 2 polls", "Stop 1 rc=0"}));
  EXPECT_TRUE(l.log.Row(4).call.Failed());
}

TEST(CallDetails, ShowsEachFieldAndScalarAsSentAndReturnedMarkingChangesAndSlotsAsHex) {
  Logged l;
  l.library.speedAfterStart = 1500.0f;
  l.library.lastError = U"Speed \"lowered\"";
  KAVR_StartParameters start{};
  start.StepDivisor = 4;
  start.StepDivisorPadding[1] = 0xab;
  start.SlowStart = -1;
  float speed = 3000.5f;
  l.recording.Start(0, -150, speed, start);
  kavr::LibraryText text = kavr::EmptyLibraryText();
  l.recording.GetLastErr(text);

  const auto fields = kavr::RecordFieldValues(l.log.Row(0).call);
  ASSERT_EQ(fields.size(), 9u);
  EXPECT_EQ(fields[1].name, "StepDivisorPadding");
  EXPECT_EQ(fields[1].sent, "00ab00");
  EXPECT_EQ(fields[3].sent, "0");
  EXPECT_EQ(fields[4].sent, "-1");                                             // a flag as stored
  for (const auto& field : fields) EXPECT_FALSE(field.changed) << field.name;  // the fake keeps the record

  const std::string details = kavr::CallDetailsText(l.log.Row(0));
  EXPECT_THAT(details, HasSubstr("KAVR_StartParameters, as sent and as returned:\n"));
  EXPECT_THAT(details, HasSubstr("  destination          -150\n"));
  EXPECT_THAT(details, HasSubstr("* speed                3000.5    1500\n"));
  EXPECT_THAT(details, HasSubstr("  Reserved28           00000000  00000000\n"));
  EXPECT_THAT(kavr::CallDetailsText(l.log.Row(1)), HasSubstr("text: \"Speed \\\"lowered\\\"\"\n"));

  KAVR_State state{};
  l.recording.GetState(0, state);
  const auto read = kavr::RecordFieldValues(l.log.Row(2).call);
  EXPECT_TRUE(read[0].changed);
  EXPECT_EQ(read[0].returned, std::to_string(l.library.state.CurrentPosition));
}

}  // namespace
