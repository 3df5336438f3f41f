#include "app/device_list.h"

#include <algorithm>

#include "text/text.h"

namespace kavr {
namespace {

// 64-bit arithmetic, so that no count a library hands back can wrap a position.
std::u32string_view SlotOf(std::u32string_view text, std::int32_t device, std::uint64_t slotWidth,
                           std::uint64_t length) {
  if (device < 0) return {};
  return SliceAt(text, static_cast<std::uint64_t>(device) * slotWidth + 1, length);
}

}  // namespace

std::u32string_view SliceAt(std::u32string_view text, std::uint64_t first, std::uint64_t length) {
  if (first == 0 || first > text.size()) return {};
  const std::uint64_t start = first - 1;
  const std::uint64_t available = text.size() - start;
  return text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(std::min(length, available)));
}

std::u32string_view SerialOf(std::u32string_view serials, std::int32_t device) {
  return SlotOf(serials, device, kSerialSlotWidth, kSerialLength);
}

std::u32string_view VersionOf(std::u32string_view versions, std::int32_t device) {
  return SlotOf(versions, device, kVersionSlotWidth, kVersionLength);
}

std::string ForScreen(std::u32string_view text) { return ToUtf8(Drawable(text, false)); }

std::string DeviceLine(std::int32_t device, std::u32string_view serials, std::u32string_view versions) {
  return "Device - " + std::to_string(static_cast<std::int64_t>(device) + 1) + " Serial Number - " +
         ForScreen(SerialOf(serials, device)) + " Version - " + ForScreen(VersionOf(versions, device));
}

std::vector<std::string> DeviceLines(std::int32_t count, std::u32string_view serials,
                                     std::u32string_view versions) {
  std::vector<std::string> lines;
  const std::int32_t listed = std::clamp(count, 0, kMaxListedDevices);
  lines.reserve(static_cast<std::size_t>(listed));
  for (std::int32_t device = 0; device < listed; ++device) {
    lines.push_back(DeviceLine(device, serials, versions));
  }
  return lines;
}

}  // namespace kavr
