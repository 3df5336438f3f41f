#include "transcript/library_call.h"

#include <charconv>
#include <cstdio>

#include "transcript/clock_text.h"

namespace kavr {
namespace {

// A buffer's text without the code-0 characters that pad it to its length.
std::string_view WithoutPadding(std::string_view text) {
  const std::size_t end = text.find_last_not_of('\0');
  return end == std::string_view::npos ? std::string_view{} : text.substr(0, end + 1);
}

}  // namespace

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0f]);
  }
  return text;
}

std::string FloatText(float value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, end);
}

std::string QuotedText(std::string_view utf8) {
  std::string text = "\"";
  for (char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      text.push_back('\\');
      text.push_back(c);
    } else if (byte < 0x20 || byte == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
      text += escaped;
    } else {
      text.push_back(c);
    }
  }
  text.push_back('"');
  return text;
}

std::string ScalarsText(const LibraryCall& call) {
  std::string text;
  for (const CallScalar& scalar : call.scalars) {
    text += ' ' + scalar.name + '=' + scalar.sent;
    if (!scalar.returned.empty()) text += (scalar.sent.empty() ? "" : ">") + scalar.returned;
  }
  return text;
}

std::string TranscriptLine(const LibraryCall& call) {
  std::string line = UtcTimestampText(call.started);
  line += ' ';
  line += ShortEntryName(call.entry);
  if (call.device) line += " device=" + std::to_string(*call.device);
  line += ScalarsText(call);
  if (call.result) line += " rc=" + std::to_string(*call.result);
  line += " us=" + std::to_string(call.duration.count());
  if (!call.recordType.empty()) {
    line += " record=" + call.recordType;
    line += " sent=" + HexBytes(call.sent);
    line += " returned=" + HexBytes(call.returned);
  }
  for (const CallText& text : call.texts)
    line += ' ' + text.name + '=' + QuotedText(WithoutPadding(text.text));
  return line;
}

const std::string* TextNamed(const LibraryCall& call, std::string_view name) {
  for (const CallText& text : call.texts) {
    if (text.name == name) return &text.text;
  }
  return nullptr;
}

const CallScalar* ScalarNamed(const LibraryCall& call, std::string_view name) {
  for (const CallScalar& scalar : call.scalars) {
    if (scalar.name == name) return &scalar;
  }
  return nullptr;
}

}  // namespace kavr
