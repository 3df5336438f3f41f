// The fakes every test shares: a scripted controller library and a
// recording display.
// Both write into the library's event list, so a test sees the calls and the
// boxes shown in the order they happened.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "contract/entry_names.h"
#include "contract/record_fields.h"
#include "contract/records.h"
#include "device/controller_library.h"
#include "reports/show_report.h"
#include "text/text.h"

namespace fakes {

using kavr::ResultCode;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

template <typename Record>
Bytes BytesOf(const Record& record) {
  Bytes bytes(sizeof(Record));
  std::memcpy(bytes.data(), &record, sizeof(Record));
  return bytes;
}

// Every byte differs from its neighbours and from zero, so that any byte the
// program touches shows up.
template <typename Record>
Record Patterned(std::uint8_t seed) {
  std::uint8_t bytes[sizeof(Record)];
  for (std::size_t i = 0; i < sizeof(Record); ++i) bytes[i] = static_cast<std::uint8_t>(seed + 3 * i + 1);
  Record record;
  std::memcpy(&record, bytes, sizeof(Record));
  return record;
}

// A 1000-character device buffer without code 0 whose nearby positions
// differ, so that a slice taken one position off shows.
inline std::u32string PatternedText(char32_t base, int period) {
  std::u32string text;
  for (int i = 0; i < 1000; ++i) text.push_back(base + static_cast<char32_t>(i % period));
  return text;
}

// The characters at 1-based positions first..last, as UTF-8.
inline std::string Positions(const std::u32string& text, std::size_t first, std::size_t last) {
  return kavr::ToUtf8(std::u32string_view(text).substr(first - 1, last - first + 1));
}

// The entry of that short name ("GetState"), for tables that list calls as
// the event list writes them; a misspelt name fails the test at once.
inline kavr::Entry EntryCalled(std::string_view name) {
  for (std::size_t i = 0; i < kavr::kEntryCount; ++i) {
    if (kavr::ShortEntryName(static_cast<kavr::Entry>(i)) == name) return static_cast<kavr::Entry>(i);
  }
  throw std::invalid_argument("no entry " + std::string(name));
}

// A std::tuple of the records of a kavr::RecordTypes list.
template <typename>
struct TupleOf;
template <typename... Records>
struct TupleOf<kavr::RecordTypes<Records...>> {
  using Type = std::tuple<Records...>;
};

class FakeLibrary : public kavr::ControllerLibrary {
 public:
  std::int32_t initCount = 0;
  std::u32string initSerials = PatternedText(U'A', 26), initVersions = PatternedText(U'0', 7);
  std::string loadFailure;
  // The get entries hand these out; the set entries and Start keep what they receive in them.
  KAVR_State state = Patterned<KAVR_State>(10);
  KAVR_Mode mode = Patterned<KAVR_Mode>(20);
  KAVR_Parameters parameters = Patterned<KAVR_Parameters>(30);
  KAVR_StartParameters start = Patterned<KAVR_StartParameters>(40);
  std::int32_t destination = 0;
  float speed = 0.0f;
  std::optional<float> speedAfterStart;  // what Start leaves in the caller's speed
  std::u32string lastError = U"Device is busy";
  std::map<kavr::Entry, ResultCode> results;  // unlisted entries succeed
  Strings events;                             // entry names and "show <title>"
  std::vector<std::int32_t> devices;          // of every call that names one
  Strings dirtyReads;                         // get entries handed a record that was not zero-filled

  ResultCode Init(std::int32_t& count, kavr::LibraryText& versions, kavr::LibraryText& serials) override {
    count = initCount;
    CopyOver(versions, initVersions);
    CopyOver(serials, initSerials);
    return Called(kavr::Entry::Init);
  }
  ResultCode Start(std::int32_t d, std::int32_t to, float& s, KAVR_StartParameters& r) override {
    destination = to;
    speed = s;
    if (speedAfterStart) s = *speedAfterStart;
    return Set(kavr::Entry::Start, d, r, start);
  }
// The get entries hand out the held record of their type, the set entries
// keep what they receive in it, the others only answer.
#define KAVR_FAKE(...) KAVR_ENTRY_BY_SHAPE(KAVR_FAKE, __VA_ARGS__)
#define KAVR_FAKE_ControllerOnly(name, ...) \
  ResultCode name(std::int32_t d) override { return Called(kavr::Entry::name, d); }
#define KAVR_FAKE_RecordGet(name, record, ...) \
  ResultCode name(std::int32_t d, record& r) override { return Get(kavr::Entry::name, d, r, Held(r)); }
#define KAVR_FAKE_RecordSet(name, record, ...) \
  ResultCode name(std::int32_t d, record& r) override { return Set(kavr::Entry::name, d, r, Held(r)); }
#define KAVR_FAKE_Init(...)
#define KAVR_FAKE_Start(...)
#define KAVR_FAKE_GetLastErr(...)
  KAVR_FOR_EACH_ENTRY(KAVR_FAKE)
#undef KAVR_FAKE

  void GetLastErr(kavr::LibraryText& buffer) override {
    Called(kavr::Entry::GetLastErr);
    CopyOver(buffer, lastError);
  }
  std::string LibraryLoadFailure() override { return loadFailure; }

 private:
  KAVR_State& Held(const KAVR_State&) { return state; }
  KAVR_Mode& Held(const KAVR_Mode&) { return mode; }
  KAVR_Parameters& Held(const KAVR_Parameters&) { return parameters; }
  KAVR_StartParameters& Held(const KAVR_StartParameters&) { return start; }
  // Any other record of the list, held zero-filled until a set entry writes it.
  template <typename R>
  R& Held(const R&) {
    return std::get<R>(otherRecords_);
  }
  TupleOf<kavr::AllRecordTypes>::Type otherRecords_;

  template <typename R>
  ResultCode Get(kavr::Entry entry, std::int32_t device, R& record, const R& held) {
    if (BytesOf(record) != Bytes(sizeof(R))) dirtyReads.emplace_back(kavr::ShortEntryName(entry));
    record = held;
    return Called(entry, device);
  }
  template <typename R>
  ResultCode Set(kavr::Entry entry, std::int32_t device, const R& record, R& held) {
    held = record;
    return Called(entry, device);
  }
  ResultCode Called(kavr::Entry entry, std::optional<std::int32_t> device = {}) {
    events.emplace_back(kavr::ShortEntryName(entry));
    if (device) devices.push_back(*device);
    const auto found = results.find(entry);
    return found == results.end() ? 0 : found->second;
  }
  // Keeps the buffer's length, as the library must.
  static void CopyOver(kavr::LibraryText& buffer, const std::u32string& text) {
    buffer.replace(0, std::min(text.size(), buffer.size()), text, 0, buffer.size());
  }
};

struct Shown {
  std::string prompt, title;
};

class RecordingDisplay : public kavr::ReportDisplay {
 public:
  explicit RecordingDisplay(Strings* events = nullptr) : events_(events) {}
  void ShowReport(const std::string& prompt, const std::string& title) override {
    shown.push_back({prompt, title});
    if (events_) events_->push_back("show " + title);
  }
  std::vector<Shown> shown;

 private:
  Strings* events_;
};

// A library and a display that journal together.
struct Fakes {
  FakeLibrary library;
  RecordingDisplay display{&library.events};
};

}  // namespace fakes

// The name the fakes went by before; kept for tests written against it.
namespace ui_test = fakes;
