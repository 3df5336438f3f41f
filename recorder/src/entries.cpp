// The recorder's exports. Each passes its arguments untouched to the
// same entry of the maker's library and returns what it returned; what the
// transcript line says about the call follows from the arguments' kinds (a
// device, a record, a text buffer), so that only the entries with arguments
// of their own (Init, Start, GetLastErr) are described by hand.
#include "contract/entries.h"

#include <chrono>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "contract/entry_names.h"
#include "contract/records.h"
#include "device/dynamic_controller_library.h"
#include "original_library.h"
#include "platform.h"
#include "text/text.h"
#include "transcript/library_call.h"
#include "transcript/record_fields.h"
#include "transcript_writer.h"

namespace {

using kavr::Entry;
using kavr::LibraryCall;
using kavr::recorder::OriginalLibrary;
using kavr::recorder::TranscriptWriter;

// The one recorder of the process, made at the first call and gone when the
// library is unloaded, as a library's own state is.
struct Recorder {
  const std::filesystem::path folder = kavr::recorder::OwnFolder();
  OriginalLibrary original{folder};
  TranscriptWriter transcript{folder};
};

Recorder& TheRecorder() {
  static Recorder recorder;
  return recorder;
}

template <typename Record>
std::vector<std::uint8_t> BytesIn(const Record* record) {
  if (record == nullptr) return {};
  const kavr::RecordBytes bytes = kavr::BytesOf(*record);
  return {bytes.begin(), bytes.end()};
}

// A text buffer's bytes as the transcript shows them: every position up to
// the capacity, or only up to the first code 0 where the rest is not read.
std::string BufferText(const char* buffer, std::int32_t capacity, bool toFirstNul) {
  if (buffer == nullptr || capacity <= 0) return {};
  std::string_view bytes(buffer, static_cast<std::size_t>(capacity));
  if (toFirstNul) bytes = bytes.substr(0, bytes.find('\0'));
  return kavr::ToUtf8(kavr::DecodeCodePage(bytes));
}

// What goes in, by argument kinds.
void Describe(LibraryCall& call, std::int32_t device) { call.device = device; }

template <typename Record>
void Describe(LibraryCall& call, std::int32_t device, Record* record) {
  call.device = device;
  call.recordType = kavr::RecordName<Record>();
  call.sent = BytesIn(record);
}

void Describe(LibraryCall& call, std::int32_t device, std::int32_t destination, float* speed,
              KAVR_StartParameters* start) {
  Describe(call, device, start);
  call.scalars.push_back({"destination", std::to_string(destination), ""});
  call.scalars.push_back({"speed", speed != nullptr ? kavr::FloatText(*speed) : "null", ""});
}

void Describe(LibraryCall&, std::int32_t*, char*, std::int32_t, char*, std::int32_t) {}

// What comes back, by the same kinds.
void Returned(LibraryCall&, std::int32_t) {}

template <typename Record>
void Returned(LibraryCall& call, std::int32_t, Record* record) {
  call.returned = BytesIn(record);
}

void Returned(LibraryCall& call, std::int32_t device, std::int32_t, float* speed,
              KAVR_StartParameters* start) {
  Returned(call, device, start);
  if (speed != nullptr) call.scalars.back().returned = kavr::FloatText(*speed);
}

void Returned(LibraryCall& call, std::int32_t* count, char* versions, std::int32_t versionsCapacity,
              char* serials, std::int32_t serialsCapacity) {
  call.scalars.push_back({"count", "", count != nullptr ? std::to_string(*count) : "null"});
  call.texts.push_back({"versions", BufferText(versions, versionsCapacity, false)});
  call.texts.push_back({"serials", BufferText(serials, serialsCapacity, false)});
}

class Timing {
 public:
  explicit Timing(LibraryCall& call) : call_(call) { call_.started = std::chrono::system_clock::now(); }
  void Stop() {
    call_.duration =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun_);
  }

 private:
  LibraryCall& call_;
  const std::chrono::steady_clock::time_point begun_ = std::chrono::steady_clock::now();
};

// Every entry that returns a result code.
template <Entry entry, typename... Arguments>
KAVR_ResultCode Forward(Arguments... arguments) {
  Recorder& recorder = TheRecorder();
  LibraryCall call;
  call.entry = entry;
  Describe(call, arguments...);
  Timing timing(call);
  std::string problem;
  auto function = reinterpret_cast<kavr::EntryPointer<entry>>(recorder.original.Find(entry, problem));
  KAVR_ResultCode result = kavr::kLibraryUnavailable;
  if (function != nullptr) {
    kavr::recorder::ForgetOwnFailure();
    result = function(arguments...);
  } else {
    kavr::recorder::NoteOwnFailure(problem);
  }
  timing.Stop();
  call.result = result;
  Returned(call, arguments...);
  recorder.transcript.Write(call);
  return result;
}

// The recorder's own text, ended within the caller's capacity.
void CopyText(const std::string& text, char* buffer, std::int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(capacity) - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

}  // namespace

extern "C" {

// Every entry that returns a result code is forwarded as it came.
#define KAVR_RECORDER(...) KAVR_ENTRY_BY_SHAPE(KAVR_RECORDER, __VA_ARGS__)
#define KAVR_RECORDER_FORWARD(name, record, result, parameters, arguments) \
  result KAVR_CALL _KAVRVB_##name parameters { return Forward<Entry::name> arguments; }
#define KAVR_RECORDER_ControllerOnly KAVR_RECORDER_FORWARD
#define KAVR_RECORDER_RecordGet KAVR_RECORDER_FORWARD
#define KAVR_RECORDER_RecordSet KAVR_RECORDER_FORWARD
#define KAVR_RECORDER_Init KAVR_RECORDER_FORWARD
#define KAVR_RECORDER_Start KAVR_RECORDER_FORWARD
#define KAVR_RECORDER_GetLastErr(...)
KAVR_FOR_EACH_ENTRY(KAVR_RECORDER)
#undef KAVR_RECORDER

// Returns nothing; the text is the recorder's own while its failure is the
// thread's latest, else the maker's library's.
void KAVR_CALL _KAVRVB_GetLastErr(char* buffer, int32_t capacity) {
  Recorder& recorder = TheRecorder();
  LibraryCall call;
  call.entry = Entry::GetLastErr;
  Timing timing(call);
  std::string own = kavr::recorder::OwnFailure();
  if (own.empty()) {
    auto function = reinterpret_cast<kavr::EntryPointer<Entry::GetLastErr>>(
        recorder.original.Find(Entry::GetLastErr, own));
    if (function != nullptr) function(buffer, capacity);
  }
  if (!own.empty()) CopyText(own, buffer, capacity);
  timing.Stop();
  call.texts.push_back({"text", BufferText(buffer, capacity, true)});
  recorder.transcript.Write(call);
}

}  // extern "C"
