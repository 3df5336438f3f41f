#include "simulator/reserved_slots.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kavr::sim {
namespace {

struct Slot {
  std::size_t offset;
  std::size_t size;
};

constexpr Slot kModeSlots[] = {{offsetof(KAVR_Mode, Reserved80), sizeof(KAVR_Mode::Reserved80)}};
constexpr Slot kParameterSlots[] = {
    {offsetof(KAVR_Parameters, Reserved32), sizeof(KAVR_Parameters::Reserved32)},
    {offsetof(KAVR_Parameters, Reserved58), sizeof(KAVR_Parameters::Reserved58)},
    {offsetof(KAVR_Parameters, Reserved60), sizeof(KAVR_Parameters::Reserved60)},
    {offsetof(KAVR_Parameters, Reserved80), sizeof(KAVR_Parameters::Reserved80)},
};

// Never zero (the high bit is set) and never the same two bytes running,
// so neither a zero-filled record nor a shifted copy passes for it.
std::uint8_t PatternByte(std::size_t offset, int device) {
  return static_cast<std::uint8_t>(0x80u |
                                   ((offset * 29u + static_cast<unsigned>(device) * 11u + 0x35u) & 0x7Fu));
}

template <typename Record, std::size_t N>
void Fill(Record& record, const Slot (&slots)[N], int device) {
  auto* bytes = reinterpret_cast<std::uint8_t*>(&record);
  for (const Slot& slot : slots) {
    for (std::size_t at = slot.offset; at < slot.offset + slot.size; ++at)
      bytes[at] = PatternByte(at, device);
  }
}

template <typename Record, std::size_t N>
bool Intact(const Record& record, const Slot (&slots)[N], int device) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
  for (const Slot& slot : slots) {
    for (std::size_t at = slot.offset; at < slot.offset + slot.size; ++at) {
      if (bytes[at] != PatternByte(at, device)) return false;
    }
  }
  return true;
}

template <typename Record, std::size_t N>
bool Zero(const Record& record, const Slot (&slots)[N]) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&record);
  for (const Slot& slot : slots) {
    for (std::size_t at = slot.offset; at < slot.offset + slot.size; ++at) {
      if (bytes[at] != 0) return false;
    }
  }
  return true;
}

}  // namespace

void FillReservedSlots(KAVR_Mode& mode, int device) { Fill(mode, kModeSlots, device); }
void FillReservedSlots(KAVR_Parameters& parameters, int device) { Fill(parameters, kParameterSlots, device); }
bool ReservedSlotsIntact(const KAVR_Mode& mode, int device) { return Intact(mode, kModeSlots, device); }
bool ReservedSlotsIntact(const KAVR_Parameters& parameters, int device) {
  return Intact(parameters, kParameterSlots, device);
}

}  // namespace kavr::sim

namespace kavr::sim {

bool ReservedSlotsZero(const KAVR_Mode& mode) { return Zero(mode, kModeSlots); }
bool ReservedSlotsZero(const KAVR_Parameters& parameters) { return Zero(parameters, kParameterSlots); }

}  // namespace kavr::sim
