#include "app/transcript_replay.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>

#include "app/device_list.h"
#include "app/field_assignments.h"
#include "text/text.h"
#include "transcript/record_fields.h"

namespace kavr {
namespace {

using RecordedBytes = std::vector<std::uint8_t>;

std::string WithoutPadding(std::string text) {
  const std::size_t end = text.find_last_not_of('\0');
  text.resize(end == std::string::npos ? 0 : end + 1);
  return text;
}

class Replay {
 public:
  Replay(ControllerLibrary& library, const ReplayOptions& options) : library_(library), options_(options) {}

  // False once the replay is to stop.
  bool Send(std::size_t number, const LibraryCall& recorded) {
    number_ = number;
    entry_ = recorded.entry;
    const std::size_t before = outcome_.differences;
    // Every entry but these two names the controller.
    std::optional<std::int32_t> device;
    if (recorded.entry != Entry::Init && recorded.entry != Entry::GetLastErr) {
      if (!recorded.device) {
        Skip("not sent: the line names no device");
        return true;
      }
      device = LiveDevice(*recorded.device);
      if (!device) return true;
    }
    switch (recorded.entry) {
      case Entry::Init:
        Init(recorded);
        break;
      case Entry::Start:
        Start(recorded, *device);
        break;
      case Entry::GetLastErr:
        LastError(recorded);
        break;
// The entries of the common shapes: a controller number, and a record.
#define KAVR_REPLAYING(...) KAVR_ENTRY_BY_SHAPE(KAVR_REPLAYING, __VA_ARGS__)
#define KAVR_REPLAYING_ControllerOnly(name, ...) \
  case Entry::name:                              \
    Result(recorded, library_.name(*device));    \
    break;
#define KAVR_REPLAYING_RecordGet(name, ...)                  \
  case Entry::name:                                          \
    RecordCall(recorded, *device, &ControllerLibrary::name); \
    break;
#define KAVR_REPLAYING_RecordSet KAVR_REPLAYING_RecordGet
#define KAVR_REPLAYING_Init(...)
#define KAVR_REPLAYING_Start(...)
#define KAVR_REPLAYING_GetLastErr(...)
        KAVR_FOR_EACH_ENTRY(KAVR_REPLAYING)
#undef KAVR_REPLAYING
    }
    return !(options_.firstDifferenceOnly && outcome_.differences > before);
  }

  ReplayOutcome Outcome() { return std::move(outcome_); }

 private:
  std::string Prefix() const {
    return "call " + std::to_string(number_) + " " + std::string(ShortEntryName(entry_)) + ": ";
  }

  void Compare(std::string_view field, const std::string& recorded, const std::string& now) {
    if (recorded == now || options_.ignored.contains(field)) return;
    ++outcome_.differences;
    outcome_.lines.push_back(Prefix() + std::string(field) + " " + recorded + " recorded, " + now + " now");
  }

  void Skip(const std::string& why) { outcome_.lines.push_back(Prefix() + why); }

  void Result(const LibraryCall& recorded, ResultCode now) {
    ++outcome_.sent;
    Compare("rc", recorded.result ? std::to_string(*recorded.result) : "none", std::to_string(now));
  }

  // The controller that had number `recorded` when the transcript was made.
  std::optional<std::int32_t> LiveDevice(std::int32_t recorded) {
    if (!mapped_) return recorded;
    const auto found = devices_.find(recorded);
    if (found != devices_.end()) return found->second;
    Skip("not sent: controller " + std::to_string(recorded) + " of the recording is not attached");
    return std::nullopt;
  }

  void Init(const LibraryCall& recorded) {
    std::int32_t count = 0;
    LibraryText versions = EmptyLibraryText(), serials = EmptyLibraryText();
    Result(recorded, library_.Init(count, versions, serials));
    const CallScalar* recordedCount = ScalarNamed(recorded, "count");
    if (recordedCount != nullptr) Compare("count", recordedCount->returned, std::to_string(count));
    const std::string* recordedSerials = TextNamed(recorded, "serials");
    if (const std::string* recordedVersions = TextNamed(recorded, "versions")) {
      Compare("versions", QuotedText(*recordedVersions), QuotedText(WithoutPadding(ToUtf8(versions))));
    }
    if (recordedSerials == nullptr) return;
    // Each recorded controller follows its serial number.
    const std::u32string was = FromUtf8(*recordedSerials);
    mapped_ = true;
    devices_.clear();
    for (std::int32_t i = 0; i < kMaxListedDevices; ++i) {
      const std::u32string_view serial = UpToFirstNul(SerialOf(was, i));
      if (serial.empty()) continue;
      for (std::int32_t j = 0; j < std::min(count, kMaxListedDevices); ++j) {
        if (UpToFirstNul(SerialOf(serials, j)) == serial) devices_[i] = j;
      }
    }
  }

  template <typename Record>
  void RecordCall(const LibraryCall& recorded, std::int32_t device,
                  ResultCode (ControllerLibrary::*method)(std::int32_t, Record&)) {
    Record record{};
    if (!Load(recorded, record)) return;
    Result(recorded, (library_.*method)(device, record));
    CompareRecord(recorded, record);
  }

  template <typename Record>
  bool Load(const LibraryCall& recorded, Record& record) {
    if (recorded.recordType != RecordName<Record>() || recorded.sent.size() != sizeof(Record)) {
      Skip("not sent: the line holds no " + std::string(RecordName<Record>()));
      return false;
    }
    std::copy(recorded.sent.begin(), recorded.sent.end(), WritableBytesOf(record).begin());
    return true;
  }

  template <typename Record>
  void CompareRecord(const LibraryCall& recorded, const Record& now) {
    for (const RecordField& field : RecordFields<Record>()) {
      Compare(field.name, FieldValueText(recorded.returned, field), FieldValueText(BytesOf(now), field));
    }
  }

  void Start(const LibraryCall& recorded, std::int32_t device) {
    if (!options_.allowMotion) return Skip("not sent without --allow-motion: it moves the motor");
    KAVR_StartParameters start{};
    const CallScalar* destination = ScalarNamed(recorded, "destination");
    const CallScalar* speed = ScalarNamed(recorded, "speed");
    std::int32_t destinationValue = 0;
    float speedValue = 0.0f;
    if (!Load(recorded, start) || destination == nullptr || speed == nullptr ||
        !ParseNumber(destination->sent, destinationValue) || !ParseNumber(speed->sent, speedValue)) {
      if (recorded.recordType == RecordName<KAVR_StartParameters>()) {
        Skip("not sent: the line lacks a usable destination or speed");
      }
      return;
    }
    Result(recorded, library_.Start(device, destinationValue, speedValue, start));
    Compare("speed", speed->returned.empty() ? speed->sent : speed->returned, FloatText(speedValue));
    CompareRecord(recorded, start);
  }

  template <typename Number>
  static bool ParseNumber(const std::string& text, Number& value) {
    const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    return problem == std::errc{} && end == text.data() + text.size();
  }

  void LastError(const LibraryCall& recorded) {
    LibraryText buffer = EmptyLibraryText();
    library_.GetLastErr(buffer);
    ++outcome_.sent;
    const std::string* text = TextNamed(recorded, "text");
    Compare("text", QuotedText(text != nullptr ? *text : ""), QuotedText(ToUtf8(UpToFirstNul(buffer))));
  }

  ControllerLibrary& library_;
  const ReplayOptions& options_;
  ReplayOutcome outcome_;
  std::size_t number_ = 0;
  Entry entry_ = Entry::Init;
  bool mapped_ = false;
  std::map<std::int32_t, std::int32_t> devices_;
};

}  // namespace

ReplayOutcome ReplayTranscript(const std::vector<RecordedCall>& calls, ControllerLibrary& library,
                               const ReplayOptions& options) {
  Replay replay(library, options);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (!replay.Send(i + 1, calls[i].call)) break;
  }
  return replay.Outcome();
}

std::vector<std::string> ReplayComparedNames() {
  std::vector<std::string> names;
  const auto add = [&](std::span<const RecordField> fields) {
    for (const RecordField& field : fields) {
      if (field.kind != FieldKind::kNotRead && std::ranges::find(names, field.name) == names.end())
        names.emplace_back(field.name);
    }
  };
  add(RecordFields<KAVR_State>());
  add(RecordFields<KAVR_Mode>());
  add(RecordFields<KAVR_Parameters>());
  add(RecordFields<KAVR_StartParameters>());
  for (const char* name : {"rc", "count", "versions", "speed", "text"}) names.emplace_back(name);
  return names;
}

}  // namespace kavr
