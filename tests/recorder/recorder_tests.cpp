// The recorder in front of the stand-in: every entry, in success and in
// injected failure, gives the caller the same result, bytes and last error
// as the stand-in alone, and the transcript names each call with its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/transcript_replay.h"
#include "contract/entries.h"
#include "contract/entry_names.h"
#include "contract/records.h"
#include "device/dynamic_controller_library.h"
#include "device/shared_library.h"
#include "portable.h"
#include "transcript/library_call.h"
#include "transcript/transcript_reader.h"

namespace {

using kavr::Entry;
using test_support::EnvironmentOverride;

const std::filesystem::path kStandIn = kavr::ExecutableFolder() / kavr::LibraryFileName();
const std::filesystem::path kRecorder = kavr::ExecutableFolder() / "recorder" / kavr::LibraryFileName();
const std::string kOriginalName = std::filesystem::path(kavr::LibraryFileName()).stem().string() +
                                  "-original" +
                                  std::filesystem::path(kavr::LibraryFileName()).extension().string();

// A library file called through its raw entries, as any program calls it.
class RawLibrary {
 public:
  explicit RawLibrary(const std::filesystem::path& file)
      : handle_(kavr::detail::OpenLibrary(file, failure_)) {}
  ~RawLibrary() { kavr::detail::CloseLibrary(handle_); }
  RawLibrary(const RawLibrary&) = delete;
  RawLibrary& operator=(const RawLibrary&) = delete;

  bool Loaded() const { return handle_ != nullptr; }
  const std::string& Failure() const { return failure_; }

  template <Entry entry>
  kavr::EntryPointer<entry> Get() {
    std::string reason;
    void* address =
        kavr::detail::FindExport(handle_, kavr::kEntryNames[static_cast<std::size_t>(entry)], reason);
    EXPECT_NE(address, nullptr) << reason;
    return reinterpret_cast<kavr::EntryPointer<entry>>(address);
  }

  // One byte more than the capacity, as the binding hands buffers over.
  std::string LastError() {
    std::string text(1001, '\x7f');
    Get<Entry::GetLastErr>()(text.data(), 1000);
    return text;
  }

  std::int32_t Init(std::string* bytes = nullptr) {
    std::int32_t count = 0;
    std::string versions(1001, '\0'), serials(1001, '\0');
    const std::int32_t result = Get<Entry::Init>()(&count, versions.data(), 1000, serials.data(), 1000);
    if (bytes != nullptr) *bytes = std::to_string(count) + versions + serials;
    return result;
  }

 private:
  std::string failure_;
  kavr::detail::LibraryHandle handle_;
};

template <typename Record>
std::string BytesText(const Record& record) {
  return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

// What a call left for its caller.
struct Outcome {
  std::int32_t result = 0;
  std::string bytes;
  bool operator==(const Outcome&) const = default;
  friend void PrintTo(const Outcome& outcome, std::ostream* out) {
    *out << "rc " << outcome.result << " bytes "
         << kavr::HexBytes(std::vector<std::uint8_t>(outcome.bytes.begin(), outcome.bytes.end()));
  }
};

// Records start full of a pattern, so that a byte the recorder touched shows.
template <typename Record>
Record Patterned() {
  Record record;
  std::memset(static_cast<void*>(&record), 0x5a, sizeof record);
  return record;
}

// The two readings of a state drift from one moment to the next, whoever
// asks; they are left out of the comparison (a call that succeeded wrote
// them; one that failed left the pattern).
template <typename Record>
void ForgetDrift(Record&) {}
template <>
void ForgetDrift(KAVR_State& state) {
  state.Temperature = state.Temperature != Patterned<KAVR_State>().Temperature ? 0.0f : state.Temperature;
  state.InputVoltage = state.InputVoltage != Patterned<KAVR_State>().InputVoltage ? 0.0f : state.InputVoltage;
}

template <Entry entry, typename Record>
Outcome RecordCall(RawLibrary& library, std::int32_t device) {
  Record record = Patterned<Record>();
  const std::int32_t result = library.Get<entry>()(device, &record);
  ForgetDrift(record);
  return {result, BytesText(record)};
}

// A write sends back what a read gave, as the programs do.
template <Entry read, Entry write, typename Record>
Outcome WriteBack(RawLibrary& library, std::int32_t device) {
  Record record = Patterned<Record>();
  library.Get<read>()(device, &record);
  const std::int32_t result = library.Get<write>()(device, &record);
  return {result, BytesText(record)};
}

Outcome StartCall(RawLibrary& library, std::int32_t device) {
  KAVR_StartParameters start = Patterned<KAVR_StartParameters>();
  library.Get<Entry::GetStartParameters>()(device, &start);
  float speed = 9999999.0f;  // over the maximum: the library lowers it
  const std::int32_t result = library.Get<Entry::Start>()(device, 0, &speed, &start);
  return {result, BytesText(start) + BytesText(speed)};
}

struct EntryCase {
  Entry entry;
  std::function<Outcome(RawLibrary&, std::int32_t)> call;
};

// The read whose record a write sends back: the list's one reading entry of
// that record.
template <typename Record>
constexpr Entry kReadOf = Entry::GetLastErr;  // no such read
#define KAVR_READ_OF(...) KAVR_ENTRY_BY_SHAPE(KAVR_READ_OF, __VA_ARGS__)
#define KAVR_READ_OF_RecordGet(name, record, ...) \
  template <>                                     \
  constexpr Entry kReadOf<record> = Entry::name;
#define KAVR_READ_OF_ControllerOnly(...)
#define KAVR_READ_OF_RecordSet(...)
#define KAVR_READ_OF_Init(...)
#define KAVR_READ_OF_Start(...)
#define KAVR_READ_OF_GetLastErr(...)
KAVR_FOR_EACH_ENTRY(KAVR_READ_OF)
#undef KAVR_READ_OF

template <Entry entry>
Outcome ControllerCall(RawLibrary& library, std::int32_t device) {
  return {library.Get<entry>()(device), {}};
}

// One case per entry of the list, in its order.
#define KAVR_CASE(...) KAVR_ENTRY_BY_SHAPE(KAVR_CASE, __VA_ARGS__)
#define KAVR_CASE_ControllerOnly(name, ...) {Entry::name, ControllerCall<Entry::name>},
#define KAVR_CASE_RecordGet(name, record, ...) {Entry::name, RecordCall<Entry::name, record>},
#define KAVR_CASE_RecordSet(name, record, ...) {Entry::name, WriteBack<kReadOf<record>, Entry::name, record>},
#define KAVR_CASE_Init(name, ...)                 \
  {Entry::name, [](RawLibrary& l, std::int32_t) { \
     Outcome o;                                   \
     o.result = l.Init(&o.bytes);                 \
     return o;                                    \
   }},
#define KAVR_CASE_Start(name, ...) {Entry::name, StartCall},
#define KAVR_CASE_GetLastErr(name, ...) \
  {Entry::name, [](RawLibrary& l, std::int32_t) { return Outcome{0, l.LastError()}; }},
const std::array<EntryCase, kavr::kEntryCount> kEntryCases = {{KAVR_FOR_EACH_ENTRY(KAVR_CASE)}};
#undef KAVR_CASE

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string EntryOf(const std::string& line) {
  const std::size_t start = line.find(' ') + 1;
  return line.substr(start, line.find(' ', start) - start);
}

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(rig);
    std::filesystem::copy_file(kRecorder, rig / kavr::LibraryFileName());
  }

  void InstallOriginal(const std::filesystem::path& file) {
    std::filesystem::copy_file(file, rig / kOriginalName);
  }

  test_support::StandInScratch scratch;
  const std::filesystem::path rig = scratch.folder.path / "rig";
  const std::filesystem::path transcript = scratch.folder.path / "calls.log";
  EnvironmentOverride recordFile{"KAVR_RECORD_FILE", transcript.string()};
};

TEST_F(RecorderTest, EveryEntryGivesTheCallerWhatTheStandInGivesInSuccessAndFailure) {
  InstallOriginal(kStandIn);
  RawLibrary direct(kStandIn);
  RawLibrary recorded(rig / kavr::LibraryFileName());
  ASSERT_TRUE(direct.Loaded()) << direct.Failure();
  ASSERT_TRUE(recorded.Loaded()) << recorded.Failure();

  for (const EntryCase& entryCase : kEntryCases) {
    for (bool failing : {false, true}) {
      const std::string name(kavr::ShortEntryName(entryCase.entry));
      // GetLastErr has no result to fail with.
      if (failing && entryCase.entry == Entry::GetLastErr) continue;
      EnvironmentOverride fault("KAVR_SIM_FAIL", failing ? name : "");
      std::array<Outcome, 2> outcomes;
      std::array<std::string, 2> lastErrors;
      const std::size_t linesBefore = Lines(transcript).size();
      for (std::size_t i = 0; i < 2; ++i) {
        RawLibrary& library = i == 0 ? direct : recorded;
        if (entryCase.entry != Entry::Init) library.Init();
        outcomes[i] = entryCase.call(library, 1);
        lastErrors[i] = library.LastError();
      }
      const std::string what = name + (failing ? " failing" : "");
      EXPECT_EQ(outcomes[0], outcomes[1]) << what;
      EXPECT_EQ(outcomes[0].result != 0, failing) << what;
      EXPECT_EQ(lastErrors[0], lastErrors[1]) << what;

      // The recorded run's lines: Init first, the entry with its result
      // code, and the GetLastErr that followed, last.
      const std::vector<std::string> lines = Lines(transcript);
      ASSERT_GE(lines.size(), linesBefore + 2) << what;
      EXPECT_EQ(EntryOf(lines[linesBefore]), "Init") << what;
      const std::string& line = lines[lines.size() - 2];
      EXPECT_EQ(EntryOf(line), name) << what;
      if (entryCase.entry != Entry::GetLastErr) {
        EXPECT_NE(line.find(" rc=" + std::to_string(outcomes[1].result) + " "), std::string::npos) << line;
      }
      EXPECT_EQ(EntryOf(lines.back()), "GetLastErr") << what;
    }
  }

  // A record goes into the line with the bytes its caller sent and got back.

  KAVR_State state = Patterned<KAVR_State>();
  ASSERT_EQ(recorded.Get<Entry::GetState>()(0, &state), 0);
  const std::vector<std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(&state),
                                        reinterpret_cast<const std::uint8_t*>(&state) + sizeof state);
  const std::string last = Lines(transcript).back();
  EXPECT_EQ(EntryOf(last), "GetState");
  EXPECT_NE(last.find(" device=0 rc=0 "), std::string::npos) << last;
  EXPECT_NE(last.find(" sent=" + kavr::HexBytes(std::vector<std::uint8_t>(sizeof state, 0x5a)) + " "),
            std::string::npos)
      << last;
  EXPECT_NE(last.find(" returned=" + kavr::HexBytes(bytes)), std::string::npos) << last;
}

// Each entry of the list, once, the whole way round: called through the
// recorder, its line read back, the transcript replayed against the stand-in
// with no difference, and the stand-in playing it back gives the caller what
// the recorded call got.
TEST_F(RecorderTest, EveryEntryIsRecordedReadBackReplayedAndPlayedBack) {
  InstallOriginal(kStandIn);
  RawLibrary recorded(rig / kavr::LibraryFileName());
  RawLibrary standIn(kStandIn);
  for (const EntryCase& entryCase : kEntryCases) {
    const std::string name(kavr::ShortEntryName(entryCase.entry));
    // The lines of this entry's run, in a transcript of their own.
    const std::filesystem::path file = scratch.folder.path / (name + ".log");
    Outcome recordedOutcome;
    {
      test_support::StandInScratch controllers;  // each run starts from the defaults
      const std::size_t linesBefore = Lines(transcript).size();
      if (entryCase.entry != Entry::Init) recorded.Init();
      recordedOutcome = entryCase.call(recorded, 1);
      const std::vector<std::string> lines = Lines(transcript);
      std::ofstream out(file, std::ios::binary);
      for (std::size_t i = linesBefore; i < lines.size(); ++i) out << lines[i] << '\n';
    }

    std::ifstream in(file, std::ios::binary);
    std::vector<kavr::RecordedCall> calls;
    std::string problem;
    ASSERT_TRUE(kavr::ReadTranscript(in, calls, problem)) << name << ": " << problem;
    ASSERT_FALSE(calls.empty()) << name;
    EXPECT_EQ(calls.back().call.entry, entryCase.entry) << name;

    {
      test_support::StandInScratch controllers;
      kavr::DynamicControllerLibrary library(kStandIn);
      kavr::ReplayOptions options;
      options.allowMotion = true;
      options.ignored = {"Temperature", "InputVoltage"};  // readings that drift
      const kavr::ReplayOutcome replayed = kavr::ReplayTranscript(calls, library, options);
      EXPECT_EQ(replayed.sent, calls.size()) << name;
      EXPECT_EQ(replayed.differences, 0u) << name << ": " << testing::PrintToString(replayed.lines);
    }

    EnvironmentOverride playBack("KAVR_SIM_REPLAY", file.string());
    if (entryCase.entry != Entry::Init) {
      ASSERT_EQ(standIn.Init(), 0) << name;
    }
    Outcome playedBack = entryCase.call(standIn, 1);
    if (entryCase.entry == Entry::GetLastErr) {
      // The text up to its ending zero byte: what follows it in the buffer
      // is not the text's.
      for (Outcome* outcome : {&playedBack, &recordedOutcome}) outcome->bytes = outcome->bytes.c_str();
    }
    EXPECT_EQ(playedBack, recordedOutcome) << name;
  }
}

TEST_F(RecorderTest, TwoThreadsCallingAtOnceGiveWholeLines) {
  InstallOriginal(kStandIn);
  RawLibrary recorded(rig / kavr::LibraryFileName());
  ASSERT_EQ(recorded.Init(), 0);
  constexpr int kCalls = 200;
  auto poll = [&](std::int32_t device) {
    for (int i = 0; i < kCalls; ++i) {
      KAVR_State state;
      recorded.Get<Entry::GetState>()(device, &state);
    }
  };
  std::thread first(poll, 0), second(poll, 1);
  first.join();
  second.join();

  const std::regex whole(
      "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{6}Z GetState device=[01] rc=0 us=\\d+ "
      "record=KAVR_State sent=[0-9a-f]{160} returned=[0-9a-f]{160}");
  const std::vector<std::string> lines = Lines(transcript);
  ASSERT_EQ(lines.size(), 1u + 2 * kCalls);
  for (std::size_t i = 1; i < lines.size(); ++i) ASSERT_TRUE(std::regex_match(lines[i], whole)) << lines[i];
}

TEST_F(RecorderTest, AMissingLibraryOrEntryFailsTheCallAndSaysWhatIsMissingAndWhere) {
  RawLibrary recorded(rig / kavr::LibraryFileName());
  ASSERT_TRUE(recorded.Loaded()) << recorded.Failure();
  EXPECT_NE(recorded.Init(), 0);
  std::string text = recorded.LastError().c_str();
  EXPECT_NE(text.find((rig / kOriginalName).string()), std::string::npos) << text;

  InstallOriginal(kavr::ExecutableFolder() / KAVR_TEST_LIBRARY_WITHOUT_STOP);
  EXPECT_EQ(recorded.Init(), 0) << recorded.LastError().c_str();
  EXPECT_NE(recorded.Get<Entry::Stop>()(0), 0);
  text = recorded.LastError().c_str();
  EXPECT_NE(text.find("_KAVRVB_Stop"), std::string::npos) << text;
  EXPECT_NE(text.find((rig / kOriginalName).string()), std::string::npos) << text;
  // A call that reaches the library makes its last error the one to give.
  EXPECT_EQ(recorded.Get<Entry::GetState>()(1, nullptr), 7);
  EXPECT_STREQ(recorded.LastError().c_str(), "Test library: no controller 1");
}

TEST_F(RecorderTest, ATranscriptThatCannotBeWrittenChangesNothingAndIsNotedOnce) {
  InstallOriginal(kStandIn);
  // A folder where the file should be: it cannot be opened for writing.
  std::filesystem::create_directories(transcript);
  RawLibrary recorded(rig / kavr::LibraryFileName());
  std::string bytes;
  EXPECT_EQ(recorded.Init(&bytes), 0);
  EXPECT_EQ(bytes.substr(0, 1), "2");
  KAVR_State state;
  EXPECT_EQ(recorded.Get<Entry::GetState>()(0, &state), 0);

  std::filesystem::path note = transcript;
  note += ".err";
  const std::vector<std::string> lines = Lines(note);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("cannot open the transcript"), std::string::npos) << lines[0];
}

TEST_F(RecorderTest, ExportsExactlyTheListedEntries) {
  const std::optional<std::set<std::string>> exported = test_support::ExportedNames(kRecorder);
  if (!exported) GTEST_SKIP() << "the export listing is not available";
  EXPECT_EQ(*exported, std::set<std::string>(kavr::kEntryNames.begin(), kavr::kEntryNames.end()));
}

}  // namespace
