// The stand-in playing a transcript back (KAVR_SIM_REPLAY=FILE, read at each
// Init): every call is answered with what the recorded call of the same
// entry and controller answered, the recorded calls taken in order, and the
// controllers are not simulated at all. A call the transcript has no answer
// for fails, and its last error says what the transcript holds next.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "contract/entries.h"
#include "contract/entry_names.h"
#include "transcript/record_fields.h"

namespace kavr::sim {

// A played-back answer: the recorded result code, or a failure of the
// stand-in's own (`failure` not empty) for a call the transcript cannot answer.
struct ReplayAnswer {
  KAVR_ResultCode code = 0;
  std::string failure;
};

// Init: starts or ends playing back, as the environment now says; nothing
// when the controllers are simulated.
std::optional<ReplayAnswer> ReplayedInit(std::int32_t* count, char* versions, std::int32_t versionsCapacity,
                                         char* serials, std::int32_t serialsCapacity);

// The other entries while a transcript plays; nothing when the controllers
// are simulated.
std::optional<ReplayAnswer> Replayed(Entry entry, std::int32_t device);
std::optional<ReplayAnswer> ReplayedRecord(Entry entry, std::int32_t device, std::string_view recordType,
                                           void* record, std::size_t size);
template <typename Record>
std::optional<ReplayAnswer> Replayed(Entry entry, std::int32_t device, Record* record) {
  return ReplayedRecord(entry, device, RecordName<Record>(), record, sizeof(Record));
}
std::optional<ReplayAnswer> Replayed(Entry entry, std::int32_t device, std::int32_t destination, float* speed,
                                     KAVR_StartParameters* start);
// The recorded text of the next GetLastErr, or why there is none; false
// when the controllers are simulated.
bool ReplayedLastError(char* buffer, std::int32_t capacity);

}  // namespace kavr::sim
