// The codes the stand-in library answers with. Any nonzero code is a
// failure to the program; distinct codes only help someone reading a log.
#pragma once

#include <cstdint>

namespace kavr::sim {

inline constexpr std::int32_t kSuccess = 0;
// What an injected fault returns unless its configuration names a code.
inline constexpr std::int32_t kDefaultInjectedFault = 1;
inline constexpr std::int32_t kBadDevice = 2;
inline constexpr std::int32_t kNullPointer = 3;
inline constexpr std::int32_t kNotInitialised = 4;
inline constexpr std::int32_t kReservedSlotsChanged = 5;
inline constexpr std::int32_t kInvalidValue = 6;
inline constexpr std::int32_t kPowerOff = 7;
inline constexpr std::int32_t kFlashFailure = 8;
inline constexpr std::int32_t kInternalError = 9;
// The controllers' shared state could not be locked, read or written.
inline constexpr std::int32_t kStateUnavailable = 10;
// Playing a transcript back: the transcript cannot be read, or holds no
// answer for the call.
inline constexpr std::int32_t kNotRecorded = 11;

}  // namespace kavr::sim
