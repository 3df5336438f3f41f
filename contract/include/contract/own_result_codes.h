// The result codes of our own, all in one place so that none is given two
// meanings: those the binding and the recorder answer with when a call never
// reached the maker's library, and those the stand-in library answers with.
// Any nonzero code is a failure to the program; distinct codes only help
// someone reading a log. A code once given is never given again to another
// meaning.
#pragma once

#include <algorithm>
#include <array>

#include "contract/result_code.h"

namespace kavr {

// The library file would not load or lacks the entry. Far from the small
// codes a library tends to use, so that it is recognisable in a report.
inline constexpr ResultCode kLibraryUnavailable = -1001;

}  // namespace kavr

namespace kavr::sim {

inline constexpr ResultCode kSuccess = 0;
// What an injected fault returns unless its configuration names a code.
inline constexpr ResultCode kDefaultInjectedFault = 1;
inline constexpr ResultCode kBadDevice = 2;
inline constexpr ResultCode kNullPointer = 3;
inline constexpr ResultCode kNotInitialised = 4;
inline constexpr ResultCode kReservedSlotsChanged = 5;
inline constexpr ResultCode kInvalidValue = 6;
inline constexpr ResultCode kPowerOff = 7;
inline constexpr ResultCode kFlashFailure = 8;
inline constexpr ResultCode kInternalError = 9;
// The controllers' shared state could not be locked, read or written.
inline constexpr ResultCode kStateUnavailable = 10;
// Playing a transcript back: the transcript cannot be read, or holds no
// answer for the call.
inline constexpr ResultCode kNotRecorded = 11;

}  // namespace kavr::sim

namespace kavr::own_result_codes {

// Every code above, once: a new one goes here too, and must differ.
inline constexpr std::array kAll = {
    kLibraryUnavailable, sim::kSuccess,        sim::kDefaultInjectedFault, sim::kBadDevice,
    sim::kNullPointer,   sim::kNotInitialised, sim::kReservedSlotsChanged, sim::kInvalidValue,
    sim::kPowerOff,      sim::kFlashFailure,   sim::kInternalError,        sim::kStateUnavailable,
    sim::kNotRecorded,
};

constexpr bool AllDiffer() {
  std::array codes = kAll;
  std::sort(codes.begin(), codes.end());
  return std::adjacent_find(codes.begin(), codes.end()) == codes.end();
}
static_assert(AllDiffer(), "a result code of our own is given twice");

}  // namespace kavr::own_result_codes
