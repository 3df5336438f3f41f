// The widths of the text buffers that Init fills, as the maker's library
// lays them out. Shared by the program, which slices them, and the stand-in,
// which writes them.
#pragma once

#include <cstddef>

namespace kavr {

// The program hands over buffers of this many characters.
inline constexpr std::size_t kLibraryTextLength = 1000;

// Controller i's serial is the first 16 characters of a 17-character slot,
// its version the first 4 of a 5-character slot; the last character of
// each slot is a separator that is never read.
inline constexpr std::size_t kSerialSlotWidth = 17;
inline constexpr std::size_t kSerialLength = 16;
inline constexpr std::size_t kVersionSlotWidth = 5;
inline constexpr std::size_t kVersionLength = 4;

}  // namespace kavr
