#include "app/recording_library.h"

#include <type_traits>

#include "text/text.h"
#include "transcript/record_fields.h"

namespace kavr {
namespace {

template <typename Record>
std::vector<std::uint8_t> CopyOf(const Record& record) {
  const RecordBytes bytes = BytesOf(record);
  return {bytes.begin(), bytes.end()};
}

LibraryCall CallOf(Entry entry, std::optional<std::int32_t> device = std::nullopt,
                   std::string_view recordType = {}) {
  LibraryCall call;
  call.entry = entry;
  call.device = device;
  call.recordType = recordType;
  return call;
}

CallText TextOf(std::string name, const LibraryText& buffer) { return {std::move(name), ToUtf8(buffer)}; }

}  // namespace

template <typename Call, typename After>
auto RecordingControllerLibrary::Observe(LibraryCall& record, Call call, After after) {
  // Counted from before the call until every observer has been told.
  struct Running {
    int& count;
    explicit Running(int& calls) : count(++calls) {}
    ~Running() { --count; }
  } running(running_);
  record.started = std::chrono::system_clock::now();
  const auto begun = std::chrono::steady_clock::now();
  const auto finish = [&] {
    record.duration =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begun);
    after(record);
    for (const CallObserver& observer : observers_) observer(record);
  };
  if constexpr (std::is_void_v<decltype(call())>) {
    call();
    finish();
  } else {
    const auto result = call();
    record.result = result;
    finish();
    return result;
  }
}

template <typename Record>
ResultCode RecordingControllerLibrary::RecordCall(Entry entry, std::int32_t device, Record& record,
                                                  ResultCode (ControllerLibrary::*method)(std::int32_t,
                                                                                          Record&)) {
  LibraryCall call = CallOf(entry, device, RecordName<Record>());
  call.sent = CopyOf(record);
  return Observe(
      call, [&] { return (library_.*method)(device, record); },
      [&](LibraryCall& done) { done.returned = CopyOf(record); });
}

ResultCode RecordingControllerLibrary::Init(std::int32_t& count, LibraryText& versions,
                                            LibraryText& serials) {
  LibraryCall call = CallOf(Entry::Init);
  return Observe(
      call, [&] { return library_.Init(count, versions, serials); },
      [&](LibraryCall& done) {
        done.scalars.push_back({"count", "", std::to_string(count)});
        done.texts.push_back(TextOf("versions", versions));
        done.texts.push_back(TextOf("serials", serials));
      });
}

ResultCode RecordingControllerLibrary::Start(std::int32_t device, std::int32_t destination, float& speed,
                                             KAVR_StartParameters& start) {
  LibraryCall call = CallOf(Entry::Start, device, RecordName<KAVR_StartParameters>());
  call.scalars.push_back({"destination", std::to_string(destination), ""});
  call.scalars.push_back({"speed", FloatText(speed), ""});
  call.sent = CopyOf(start);
  return Observe(
      call, [&] { return library_.Start(device, destination, speed, start); },
      [&](LibraryCall& done) {
        done.scalars.back().returned = FloatText(speed);
        done.returned = CopyOf(start);
      });
}

// The entries of the common shapes: a controller number, and a record
// recorded as sent and as returned.
#define KAVR_RECORDING(...) KAVR_ENTRY_BY_SHAPE(KAVR_RECORDING, __VA_ARGS__)
#define KAVR_RECORDING_ControllerOnly(name, ...)                           \
  ResultCode RecordingControllerLibrary::name(std::int32_t device) {       \
    LibraryCall call = CallOf(Entry::name, device);                        \
    return Observe(                                                        \
        call, [&] { return library_.name(device); }, [](LibraryCall&) {}); \
  }
#define KAVR_RECORDING_RecordGet(name, record, ...)                                 \
  ResultCode RecordingControllerLibrary::name(std::int32_t device, record& value) { \
    return RecordCall(Entry::name, device, value, &ControllerLibrary::name);        \
  }
#define KAVR_RECORDING_RecordSet KAVR_RECORDING_RecordGet
#define KAVR_RECORDING_Init(...)
#define KAVR_RECORDING_Start(...)
#define KAVR_RECORDING_GetLastErr(...)
KAVR_FOR_EACH_ENTRY(KAVR_RECORDING)
#undef KAVR_RECORDING

void RecordingControllerLibrary::GetLastErr(LibraryText& buffer) {
  LibraryCall call = CallOf(Entry::GetLastErr);
  Observe(
      call, [&] { library_.GetLastErr(buffer); },
      [&](LibraryCall& done) { done.texts.push_back(TextOf("text", buffer)); });
}

}  // namespace kavr
