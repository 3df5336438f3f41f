#include "app/terminal_text.h"

#include <cstdio>

namespace kavr {
namespace {

// The second byte of U+0080 to U+009F after the lead byte 0xc2.
bool IsC1Second(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 && byte < 0xa0;
}

}  // namespace

std::string TerminalSafe(std::string_view utf8) {
  std::string safe;
  safe.reserve(utf8.size());
  for (std::size_t at = 0; at < utf8.size(); ++at) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    char escaped[8];
    if (byte < 0x20 || byte == 0x7f) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      safe += escaped;
    } else if (byte == 0xc2 && at + 1 < utf8.size() && IsC1Second(utf8[at + 1])) {
      // U+0080 to U+009F: C1 controls, which some terminals obey like ESC sequences.
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(utf8[++at]));
      safe += escaped;
    } else {
      safe.push_back(utf8[at]);
    }
  }
  return safe;
}

std::vector<std::string> TerminalLines(std::string_view utf8) {
  std::vector<std::string> lines;
  while (!utf8.empty()) {
    const std::size_t end = utf8.find_first_of("\r\n");
    lines.push_back(TerminalSafe(utf8.substr(0, end)));
    if (end == std::string_view::npos) break;
    const bool pair = utf8[end] == '\r' && end + 1 < utf8.size() && utf8[end + 1] == '\n';
    utf8.remove_prefix(end + (pair ? 2 : 1));
  }
  return lines;
}

}  // namespace kavr
