// Numbers in library texts. The host program sets the C locale from the
// user's environment, so nothing here may go through locale-aware
// formatting or parsing: a decimal comma must never appear in, or break, a
// text of this library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavr::sim {

std::string IntText(long long value);
std::string FloatText(double value);

// The whole text (surrounding blanks aside) as an integer in [low, high];
// nothing when it is not exactly one such number.
std::optional<long long> ParseInteger(std::string_view text, long long low, long long high);

// The text without leading and trailing blanks (spaces and tabs).
std::string_view Trimmed(std::string_view text);

// One item of a comma-separated list of NAME or NAME=VALUE, as the stand-in's
// environment variables take them: the item, its name, and its value when
// it has an '='; all trimmed of blanks.
struct ListItem {
  std::string_view item;
  std::string_view name;
  std::optional<std::string_view> value;
};
// The list's items, empty ones left out.
std::vector<ListItem> ListItems(std::string_view text);

}  // namespace kavr::sim
