// The library's entries by the names they are exported under, shared by the
// binding (which looks them up), the stand-in library (which names them in
// its error texts and fault list) and the tests.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kavr {

enum class Entry : std::size_t {
  Init,
  GetState,
  GetMode,
  SetMode,
  GetParameters,
  SetParameters,
  GetStartParameters,
  Start,
  Stop,
  SaveParametersToFlash,
  GetLastErr,
};

inline constexpr std::size_t kEntryCount = static_cast<std::size_t>(Entry::GetLastErr) + 1;

// Null-terminated, so each can go straight to the loader's look-up.
inline constexpr std::array<const char*, kEntryCount> kEntryNames = {
    "_KAVRVB_Init",
    "_KAVRVB_GetState",
    "_KAVRVB_GetMode",
    "_KAVRVB_SetMode",
    "_KAVRVB_GetParameters",
    "_KAVRVB_SetParameters",
    "_KAVRVB_GetStartParameters",
    "_KAVRVB_Start",
    "_KAVRVB_Stop",
    "_KAVRVB_SaveParametersToFlash",
    "_KAVRVB_GetLastErr",
};

constexpr std::string_view EntryName(Entry entry) { return kEntryNames[static_cast<std::size_t>(entry)]; }

}  // namespace kavr
