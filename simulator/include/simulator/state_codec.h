// The running controllers as the bytes of the shared state file: a checked
// record (see checked_record.h) of magic "KAVRSTAT", version 1. Its
// payload, little-endian:
//   u32  controller count
//   i64  when they were switched on, in nanoseconds of the machine clock
//   u32  length of the last error text, then its bytes
//   per controller:
//     KAVR_Mode (104 bytes), KAVR_Parameters (100), KAVR_StartParameters (32)
//     u8 after reset, u8 step divisor
//     the motion plan: i64 start (ns), f64 start position, f64 start
//     velocity, f64 rest position, f64 cruise speed, u8 counter-clockwise,
//     u8 phase count, then per phase f64 seconds, f64 end velocity, u8 full
//     speed
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "simulator/live_state.h"
#include "simulator/problem.h"

namespace kavr::sim {

// No state file is longer; reading stops beyond it.
inline constexpr std::size_t kLongestStateFile = 64 * 1024;

std::string EncodeState(const LiveState& state);
// The payload alone: two states are the same when their payloads are.
std::string EncodeStatePayload(const LiveState& state);
std::string SealStatePayload(std::string_view payload);
// Accepts only an intact record of values the controllers could have
// reached: anything else would be read back as positions and times.
Problem DecodeState(std::string_view bytes, LiveState& state);

}  // namespace kavr::sim
