// The device list that the controller library hands back at start-up: two
// text buffers in which every controller owns a fixed-width slot. Nothing
// here needs a widget, so the slicing and the list lines are tested alone.
//
// Shells: kavrtest (the dialog), kavrctl.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "contract/slots.h"

namespace kavr {

// The version slots of a 1000-character buffer describe 200 controllers; a
// larger count describes nothing more, so the list stops there.
inline constexpr std::int32_t kMaxListedDevices = 200;

// The characters of `text` at 1-based positions first .. first+length-1.
// Positions past the end give only the characters that exist, maybe none.
std::u32string_view SliceAt(std::u32string_view text, std::uint64_t first, std::uint64_t length);

// Controller `device`'s (0-based) serial and version; empty for a negative
// device or a slot past the end of the text.
std::u32string_view SerialOf(std::u32string_view serials, std::int32_t device);
std::u32string_view VersionOf(std::u32string_view versions, std::int32_t device);

// UTF-8 for the screen, with no control character drawn (kavr::Drawable):
// characters of code 0 (a library that writes a short serial leaves them in
// its slot) are dropped, any other becomes U+FFFD.
std::string ForScreen(std::u32string_view text);

// "Device - 3 Serial Number - <serial> Version - <version>" for 0-based `device`.
std::string DeviceLine(std::int32_t device, std::u32string_view serials, std::u32string_view versions);

// One line per controller, in order: none for a count of 0 or less, at most
// kMaxListedDevices.
std::vector<std::string> DeviceLines(std::int32_t count, std::u32string_view serials,
                                     std::u32string_view versions);

}  // namespace kavr
