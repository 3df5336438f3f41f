#include "simulator/quoted_text.h"

namespace kavr::sim {
namespace {

void AppendEscaped(std::string& out, char character, bool quoting) {
  const auto byte = static_cast<unsigned char>(character);
  if (quoting && (character == '"' || character == '\\')) {
    out += '\\';
    out += character;
  } else if (character == '\n') {
    out += "\\n";
  } else if (character == '\r') {
    out += "\\r";
  } else if (character == '\t') {
    out += "\\t";
  } else if (byte < 0x20 || byte == 0x7F) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  } else {
    out += character;
  }
}

std::string Escaped(std::string_view text, bool quoting) {
  std::string out;
  out.reserve(text.size() + 2);
  if (quoting) out += '"';
  for (const char character : text) AppendEscaped(out, character, quoting);
  if (quoting) out += '"';
  return out;
}

}  // namespace

std::string Quoted(std::string_view text) { return Escaped(text, true); }

// With forward slashes, which Windows takes as well: its backslashes would
// all come out doubled.
std::string QuotedPath(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return Quoted(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

std::string OneLine(std::string_view text) { return Escaped(text, false); }

}  // namespace kavr::sim
