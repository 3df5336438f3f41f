#include "simulator/reserved_slots.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "contract/record_fields.h"

namespace kavr::sim {
namespace {

// Never zero (the high bit is set) and never the same two bytes running,
// so neither a zero-filled record nor a shifted copy passes for it.
std::uint8_t PatternByte(std::size_t offset, int device) {
  return static_cast<std::uint8_t>(0x80u |
                                   ((offset * 29u + static_cast<unsigned>(device) * 11u + 0x35u) & 0x7Fu));
}

// The maker's reserved slots of a record, from its field table.
template <typename Record, typename Visit>
void ForEachReservedByte(Visit visit) {
  for (const RecordField& slot : RecordFields<Record>()) {
    if (!IsReservedSlot(slot)) continue;
    for (std::size_t at = slot.offset; at < slot.offset + slot.size; ++at) visit(at);
  }
}

template <typename Record>
void Fill(Record& record, int device) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
  ForEachReservedByte<Record>([&](std::size_t at) { bytes[at] = PatternByte(at, device); });
}

template <typename Record>
bool Intact(const Record& record, int device) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
  bool intact = true;
  ForEachReservedByte<Record>(
      [&](std::size_t at) { intact = intact && bytes[at] == PatternByte(at, device); });
  return intact;
}

template <typename Record>
bool Zero(const Record& record) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
  bool zero = true;
  ForEachReservedByte<Record>([&](std::size_t at) { zero = zero && bytes[at] == 0; });
  return zero;
}

}  // namespace

void FillReservedSlots(KAVR_Mode& mode, int device) { Fill(mode, device); }
void FillReservedSlots(KAVR_Parameters& parameters, int device) { Fill(parameters, device); }
bool ReservedSlotsIntact(const KAVR_Mode& mode, int device) { return Intact(mode, device); }
bool ReservedSlotsIntact(const KAVR_Parameters& parameters, int device) { return Intact(parameters, device); }

}  // namespace kavr::sim

namespace kavr::sim {

bool ReservedSlotsZero(const KAVR_Mode& mode) { return Zero(mode); }
bool ReservedSlotsZero(const KAVR_Parameters& parameters) { return Zero(parameters); }

}  // namespace kavr::sim
