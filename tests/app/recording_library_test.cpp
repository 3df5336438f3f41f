// The recording library passes calls through untouched and describes each
// one: the transcript line and the records before and after.
#include "app/recording_library.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "transcript/record_fields.h"

namespace {

using fakes::Fakes;

struct Recorded : Fakes {
  kavr::RecordingControllerLibrary recording{library};
  std::vector<kavr::LibraryCall> calls;
  Recorded() {
    recording.AddObserver([this](const kavr::LibraryCall& call) { calls.push_back(call); });
  }
};

// The fields after the time stamp, which changes from run to run; the
// duration is cut too.
std::string Stable(const kavr::LibraryCall& call) {
  std::string line = kavr::TranscriptLine(call);
  line = line.substr(line.find(' ') + 1);
  const std::size_t us = line.find(" us=");
  return line.erase(us, line.find(' ', us + 1) - us);
}

TEST(RecordingLibrary, DescribesEachCallAndPassesItThroughUnchanged) {
  Recorded r;
  r.library.speedAfterStart = 1500.0f;
  r.library.results[kavr::Entry::Stop] = 7;
  r.library.lastError = U"Busy \"now\"\n";
  KAVR_StartParameters start{};
  start.StepDivisor = 2;
  float speed = 3000.5f;
  EXPECT_EQ(r.recording.Start(1, -150, speed, start), 0);
  EXPECT_EQ(speed, 1500.0f);
  EXPECT_EQ(r.library.start.StepDivisor, 2);
  EXPECT_EQ(r.recording.Stop(1), 7);
  kavr::LibraryText text = kavr::EmptyLibraryText();
  r.recording.GetLastErr(text);
  std::int32_t count = 0;
  kavr::LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
  r.library.initCount = 2;
  r.library.initSerials = U"AB";
  r.library.initVersions = U"1";
  EXPECT_EQ(r.recording.Init(count, versions, serials), 0);

  ASSERT_EQ(r.calls.size(), 4u);
  const std::string startHex = "02" + std::string(62, '0');
  EXPECT_EQ(Stable(r.calls[0]),
            "Start device=1 destination=-150 speed=3000.5>1500 rc=0 record=KAVR_StartParameters sent=" +
                startHex + " returned=" + startHex);
  EXPECT_EQ(Stable(r.calls[1]), "Stop device=1 rc=7");
  EXPECT_TRUE(r.calls[1].Failed());
  EXPECT_EQ(Stable(r.calls[2]), "GetLastErr text=\"Busy \\\"now\\\"\\x0a\"");
  EXPECT_EQ(Stable(r.calls[3]), "Init count=2 rc=0 versions=\"1\" serials=\"AB\"");
  EXPECT_EQ(r.library.events, (fakes::Strings{"Start", "Stop", "GetLastErr", "Init"}));
}

TEST(RecordFields, NamesReadAndWriteTheRecordsBytes) {
  KAVR_Parameters parameters{};
  auto bytes = kavr::WritableBytesOf(parameters);
  const auto fields = kavr::RecordFields<KAVR_Parameters>();
  kavr::WriteFloat(bytes, *kavr::FindField(fields, "ButtonTimeout1"), 1000.0f);
  kavr::WriteInteger(bytes, *kavr::FindField(fields, "MinRevolutionError"), -2);
  kavr::WriteInteger(bytes, *kavr::FindField(fields, "SyncOutPulse"), 200);
  EXPECT_EQ(parameters.ButtonTimeout1, 1000.0f);
  EXPECT_EQ(parameters.MinRevolutionError, -2);
  EXPECT_EQ(parameters.SyncOutPulse, 200);
  EXPECT_EQ(kavr::ReadInteger(kavr::BytesOf(parameters), *kavr::FindField(fields, "MinRevolutionError")), -2);
  EXPECT_EQ(kavr::FindField(fields, "buttontimeout1"), nullptr);
  EXPECT_EQ(kavr::FindField(kavr::RecordFields<KAVR_Mode>(), "Reserved80")->kind, kavr::FieldKind::kNotRead);
}

}  // namespace
