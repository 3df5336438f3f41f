// Transcript lines read back into the calls they describe: every line the
// recording library writes reads back to itself, a bad line is refused with
// its number and what is wrong, and no mutation of a good line crashes.
#include "transcript/transcript_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "app/recording_library.h"
#include "fakes.h"

namespace {

using ui_test::Fakes;

// One line of each kind of call, as the recording library writes them,
// texts with quotes, backslashes and control characters included.
std::vector<std::string> GoodLines() {
  Fakes fakes;
  fakes.library.lastError = U"Busy \"now\"\\\n\u00e9";
  fakes.library.results[kavr::Entry::Stop] = -7;
  kavr::RecordingControllerLibrary recording(fakes.library);
  std::vector<std::string> lines;
  recording.AddObserver([&](const kavr::LibraryCall& call) { lines.push_back(kavr::TranscriptLine(call)); });
  std::int32_t count = 0;
  kavr::LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
  recording.Init(count, versions, serials);
  KAVR_State state{};
  recording.GetState(1, state);
  KAVR_Mode mode{};
  recording.SetMode(0, mode);
  KAVR_Parameters parameters{};
  recording.GetParameters(0, parameters);
  KAVR_StartParameters start{};
  float speed = 2500.25f;
  recording.Start(0, -400, speed, start);
  recording.Stop(0);
  kavr::LibraryText text = kavr::EmptyLibraryText();
  recording.GetLastErr(text);
  return lines;
}

TEST(TranscriptReader, EveryLineTheProgramsWriteReadsBackToItself) {
  for (const std::string& line : GoodLines()) {
    std::string error;
    const auto call = kavr::ParseTranscriptLine(line, error);
    ASSERT_TRUE(call) << line << "\n" << error;
    EXPECT_EQ(kavr::TranscriptLine(*call), line);
  }
  std::string error;
  const auto init = kavr::ParseTranscriptLine(GoodLines().front(), error);
  ASSERT_TRUE(init);
  ASSERT_EQ(init->scalars.size(), 1u);
  EXPECT_TRUE(init->scalars[0].sent.empty()) << "Init's count only comes back";
}

TEST(TranscriptReader, ABadLineIsRefusedWithWhatIsWrong) {
  const std::string time = "2026-12-08T15:20:01.123456Z ";
  const std::string state = std::string(160, '0');
  const struct {
    std::string line;
    std::string says;
  } cases[] = {
      {"Init rc=0 us=1", "time"},
      {"2026-13-08T15:20:01.123456Z Stop device=0 rc=0 us=1", "time"},
      {"5026-12-08T15:20:01.123456Z Stop device=0 rc=0 us=1", "time"},
      {time + "Halt device=0 rc=0 us=1", "\"Halt\" is not an entry"},
      {time + "Stop device=x rc=0 us=1", "device=x is not a 32-bit whole number"},
      {time + "Stop device=4294967296 rc=0 us=1", "device=4294967296"},
      {time + "Stop device=0 us=1", "no result code"},
      {time + "Stop device=0 rc=0", "no duration"},
      {time + "Stop device=0 rc=0 rc=1 us=1", "rc appears twice"},
      {time + "Stop device=0  rc=0 us=1", "single spaces"},
      {time + "Stop device=0 rc=0 us=-5", "duration"},
      {time + "Stop device=0 rc=0 us=1 junk", "\"junk\" is not a NAME=VALUE field"},
      {time + "GetLastErr us=1 rc=0", "GetLastErr returns no result code"},
      {time + "GetLastErr us=1 text=\"open", "in text, a quoted text is not ended"},
      {time + "GetLastErr us=1 text=\"\\q\"", "escape"},
      {time + "GetState device=0 rc=0 us=1 record=KAVR_Thing", "not a record"},
      {time + "GetState device=0 rc=0 us=1 sent=00", "before record="},
      {time + "GetState device=0 rc=0 us=1 record=KAVR_State sent=00 returned=00",
       "80 bytes of a KAVR_State"},
      {time + "GetState device=0 rc=0 us=1 record=KAVR_State sent=" + state, "bytes as sent and returned"},
      {time + "GetState device=0 rc=0 us=1 record=KAVR_State sent=" + state.substr(2) +
           "zz returned=" + state,
       "in hex"},
      {time + "Start device=0 speed=>5 rc=0 us=1", "SENT>RETURNED"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(kavr::ParseTranscriptLine(c.line, error)) << c.line;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.line << "\n" << error;
  }
}

TEST(TranscriptReader, ATranscriptIsReadToItsFirstBadLineWhichIsNamed) {
  const std::vector<std::string> good = GoodLines();
  std::istringstream in(good[0] + "\r\n\n" + good[1] + "\nnot a call\n" + good[2] + "\n");
  std::vector<kavr::RecordedCall> calls;
  std::string error;
  EXPECT_FALSE(kavr::ReadTranscript(in, calls, error));
  EXPECT_EQ(error.rfind("line 4: ", 0), 0u) << error;
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].line, 3u);
  EXPECT_EQ(calls[1].call.entry, kavr::Entry::GetState);

  // A line without end (a device's endless bytes) is refused at its limit,
  // never read whole.
  std::istringstream endless(good[0] + "\n" + std::string(1 << 20, '\0'));
  calls.clear();
  EXPECT_FALSE(kavr::ReadTranscript(endless, calls, error));
  EXPECT_EQ(error, "line 2: longer than 64 KiB; no transcript line is");
}

// Mutations of good lines: none may crash, and whatever is accepted must
// read back to the same call once written again.
TEST(TranscriptReader, MutatedLinesNeverCrashAndWhatIsAcceptedIsStable) {
  const std::vector<std::string> good = GoodLines();
  const std::string alphabet = " =\">\\x0123456789abcdefZT.:-rc";
  std::mt19937 random(16);
  int accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string line = good[random() % good.size()];
    for (int edits = 1 + static_cast<int>(random() % 3); edits > 0 && !line.empty(); --edits) {
      const std::size_t at = random() % line.size();
      switch (random() % 4) {
        case 0:
          line[at] = alphabet[random() % alphabet.size()];
          break;
        case 1:
          line.erase(at, 1 + random() % 8);
          break;
        case 2:
          line.insert(at, 1, alphabet[random() % alphabet.size()]);
          break;
        default:
          line.resize(at);
          break;
      }
    }
    std::string error;
    const auto call = kavr::ParseTranscriptLine(line, error);
    if (!call) {
      EXPECT_FALSE(error.empty()) << line;
      continue;
    }
    ++accepted;
    const std::string written = kavr::TranscriptLine(*call);
    const auto again = kavr::ParseTranscriptLine(written, error);
    ASSERT_TRUE(again) << line << "\n" << error;
    EXPECT_EQ(kavr::TranscriptLine(*again), written) << line;
  }
  EXPECT_GT(accepted, 0);
}

}  // namespace
