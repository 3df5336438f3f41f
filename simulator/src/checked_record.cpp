#include "simulator/checked_record.h"

#include <array>

#include "simulator/number_text.h"

namespace kavr::sim {
namespace {

constexpr std::size_t kMagicSize = 8;
constexpr std::size_t kHeaderSize = 16;

// A byte at a time through a table: every call of the library checks the
// state file once and seals it again, so this sits on every call's path.
constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t index = 0; index < 256; ++index) {
    std::uint32_t crc = index;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    table[index] = crc;
  }
  return table;
}();

std::uint32_t Crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes)
    crc = (crc >> 8) ^ kCrcTable[(crc ^ static_cast<unsigned char>(byte)) & 0xFFu];
  return ~crc;
}

std::uint32_t WordAt(std::string_view bytes, std::size_t offset) {
  std::uint32_t word = 0;
  std::memcpy(&word, bytes.data() + offset, sizeof word);
  return word;
}

void AppendWord(std::string& bytes, std::uint32_t word) {
  bytes.append(reinterpret_cast<const char*>(&word), sizeof word);
}

}  // namespace

std::string SealRecord(std::string_view magic, std::uint32_t version, std::string_view payload) {
  std::string bytes(magic.substr(0, kMagicSize));
  bytes.resize(kMagicSize, '\0');
  AppendWord(bytes, version);
  AppendWord(bytes, static_cast<std::uint32_t>(payload.size()));
  bytes.append(payload);
  AppendWord(bytes, Crc32(bytes));
  return bytes;
}

Problem OpenRecord(std::string_view bytes, std::string_view magic, std::uint32_t version,
                   std::string_view& payload) {
  if (bytes.size() < kHeaderSize) return "it is too short to hold a header";
  if (bytes.substr(0, kMagicSize) != magic.substr(0, kMagicSize)) {
    return "it does not begin with " + std::string(magic.substr(0, kMagicSize));
  }
  if (WordAt(bytes, 8) != version) return "its format version " + IntText(WordAt(bytes, 8)) + " is unknown";
  const std::size_t length = WordAt(bytes, 12);
  if (bytes.size() < kRecordOverhead || bytes.size() - kRecordOverhead != length) {
    return "it is truncated or has extra bytes";
  }
  if (WordAt(bytes, bytes.size() - 4) != Crc32(bytes.substr(0, bytes.size() - 4))) {
    return "its checksum does not match";
  }
  payload = bytes.substr(kHeaderSize, length);
  return std::nullopt;
}

void PayloadWriter::PutText(std::string_view text) {
  Put(static_cast<std::uint32_t>(text.size()));
  bytes_.append(text);
}

std::string PayloadReader::GetText(std::size_t longest) {
  const auto length = Get<std::uint32_t>();
  if (length > longest || length > bytes_.size()) {
    failed_ = true;
    bytes_ = {};
    return {};
  }
  std::string text(bytes_.substr(0, length));
  bytes_.remove_prefix(length);
  return text;
}

}  // namespace kavr::sim
