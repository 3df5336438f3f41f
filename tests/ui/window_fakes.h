// A scripted controller library and a recording display for the test-window
// tests. Both write into one journal, so a test sees the library calls and
// the boxes shown in the order they happened.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kavr/controller_library.h"
#include "kavr/records.h"
#include "reports/show_report.h"

namespace window_test {

using Bytes = std::vector<std::uint8_t>;

template <typename Record>
Bytes BytesOf(const Record& record) {
  Bytes bytes(sizeof(Record));
  std::memcpy(bytes.data(), &record, sizeof(Record));
  return bytes;
}

// A record whose every byte differs from its neighbours and from zero, so
// that any byte the program touches shows up.
template <typename Record>
Record Patterned(std::uint8_t seed) {
  Record record;
  std::uint8_t bytes[sizeof(Record)];
  for (std::size_t i = 0; i < sizeof(Record); ++i) bytes[i] = static_cast<std::uint8_t>(seed + 3 * i + 1);
  std::memcpy(&record, bytes, sizeof(Record));
  return record;
}

struct Journal {
  std::vector<std::string> events;
};

struct Shown {
  std::string prompt;
  std::string title;
};

class RecordingDisplay : public kavr::ReportDisplay {
 public:
  explicit RecordingDisplay(Journal& journal) : journal_(journal) {}

  void ShowReport(const std::string& prompt, const std::string& title) override {
    shown.push_back({prompt, title});
    journal_.events.push_back("show " + title);
  }

  std::vector<Shown> shown;

 private:
  Journal& journal_;
};

// One call the program made: the record's bytes as they arrived (a get entry
// must receive zeros; a set or start entry receives what is sent).
struct LibraryCall {
  std::string entry;
  std::int32_t device = -1;
  Bytes bytes;
  std::int32_t destination = 0;
  float speed = 0.0f;
};

class ScriptedLibrary : public kavr::ControllerLibrary {
 public:
  explicit ScriptedLibrary(Journal& journal) : journal_(journal) {}

  // What the get entries hand back.
  KAVR_State state = Patterned<KAVR_State>(10);
  KAVR_Mode mode = Patterned<KAVR_Mode>(20);
  KAVR_Parameters parameters = Patterned<KAVR_Parameters>(30);
  KAVR_StartParameters start = Patterned<KAVR_StartParameters>(40);
  // Result per entry name ("GetMode"...); entries not listed succeed.
  std::map<std::string, kavr::ResultCode> results;
  // What Start leaves in the speed, when it changes it.
  std::optional<float> speedAfterStart;
  std::string lastError = "Device is busy";

  std::vector<LibraryCall> calls;

  // Only calls of this entry.
  std::vector<LibraryCall> CallsOf(const std::string& entry) const {
    std::vector<LibraryCall> found;
    for (const LibraryCall& call : calls) {
      if (call.entry == entry) found.push_back(call);
    }
    return found;
  }

  kavr::ResultCode Init(std::int32_t&, kavr::LibraryText&, kavr::LibraryText&) override {
    return Record(LibraryCall{"Init", -1, {}, 0, 0.0f});
  }
  kavr::ResultCode GetState(std::int32_t device, KAVR_State& record) override {
    const kavr::ResultCode result = Record(LibraryCall{"GetState", device, BytesOf(record), 0, 0.0f});
    record = state;
    return result;
  }
  kavr::ResultCode GetMode(std::int32_t device, KAVR_Mode& record) override {
    const kavr::ResultCode result = Record(LibraryCall{"GetMode", device, BytesOf(record), 0, 0.0f});
    record = mode;
    return result;
  }
  kavr::ResultCode SetMode(std::int32_t device, KAVR_Mode& record) override {
    const kavr::ResultCode result = Record(LibraryCall{"SetMode", device, BytesOf(record), 0, 0.0f});
    return result;
  }
  kavr::ResultCode GetParameters(std::int32_t device, KAVR_Parameters& record) override {
    const kavr::ResultCode result = Record(LibraryCall{"GetParameters", device, BytesOf(record), 0, 0.0f});
    record = parameters;
    return result;
  }
  kavr::ResultCode SetParameters(std::int32_t device, KAVR_Parameters& record) override {
    const kavr::ResultCode result = Record(LibraryCall{"SetParameters", device, BytesOf(record), 0, 0.0f});
    return result;
  }
  kavr::ResultCode GetStartParameters(std::int32_t device, KAVR_StartParameters& record) override {
    const kavr::ResultCode result =
        Record(LibraryCall{"GetStartParameters", device, BytesOf(record), 0, 0.0f});
    record = start;
    return result;
  }
  kavr::ResultCode Start(std::int32_t device, std::int32_t destination, float& speed,
                         KAVR_StartParameters& record) override {
    const kavr::ResultCode result = Record(LibraryCall{"Start", device, BytesOf(record), destination, speed});
    if (speedAfterStart) speed = *speedAfterStart;
    return result;
  }
  kavr::ResultCode Stop(std::int32_t device) override {
    return Record(LibraryCall{"Stop", device, {}, 0, 0.0f});
  }
  kavr::ResultCode SaveParametersToFlash(std::int32_t device) override {
    return Record(LibraryCall{"SaveParametersToFlash", device, {}, 0, 0.0f});
  }
  void GetLastErr(kavr::LibraryText& buffer) override {
    Record(LibraryCall{"GetLastErr", -1, {}, 0, 0.0f});
    for (std::size_t i = 0; i < lastError.size() && i < buffer.size(); ++i) {
      buffer[i] = static_cast<char32_t>(static_cast<unsigned char>(lastError[i]));
    }
  }

 private:
  kavr::ResultCode Record(LibraryCall call) {
    journal_.events.push_back(call.entry);
    const auto result = results.find(call.entry);
    calls.push_back(std::move(call));
    return result == results.end() ? 0 : result->second;
  }

  Journal& journal_;
};

}  // namespace window_test
