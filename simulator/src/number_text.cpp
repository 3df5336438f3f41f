#include "simulator/number_text.h"

#include <charconv>

namespace kavr::sim {

std::string IntText(long long value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

std::string FloatText(double value) {
  char digits[64];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  if (result.ec != std::errc()) return "?";
  return std::string(digits, result.ptr);
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::optional<long long> ParseInteger(std::string_view text, long long low, long long high) {
  text = Trimmed(text);
  // from_chars refuses a leading '+', which people do type.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return std::nullopt;
  }
  long long value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
    return std::nullopt;
  if (value < low || value > high) return std::nullopt;
  return value;
}

std::vector<ListItem> ListItems(std::string_view text) {
  std::vector<ListItem> items;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view item = Trimmed(text.substr(0, comma));
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    if (item.empty()) continue;
    const auto equals = item.find('=');
    std::optional<std::string_view> value;
    if (equals != std::string_view::npos) value = item.substr(equals + 1);
    items.push_back({item, Trimmed(item.substr(0, equals)), value});
  }
  return items;
}

}  // namespace kavr::sim
