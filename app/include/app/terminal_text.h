// Text from outside the program (the library's texts, a user's input) on
// its way to a terminal. A control character in it could move the cursor,
// recolour or retitle the terminal, so it is written as an escape instead.
//
// Shells: kavrctl.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavr {

// The UTF-8 text with every control character (C0, DEL and C1, line breaks
// included) written as `\xNN` or `\uNNNN`; everything else as it stands.
std::string TerminalSafe(std::string_view utf8);

// The text's lines, broken at each carriage return, line feed or pair of
// them, each made TerminalSafe. A line end at the very end of the text
// makes no empty last line, so a report gives one line per report line.
std::vector<std::string> TerminalLines(std::string_view utf8);

}  // namespace kavr
