#include "simulator/flash_store.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <system_error>

#include "simulator/parameter_checks.h"

namespace kavr::sim {
namespace {

constexpr std::string_view kMagic = "KAVRFLSH";
constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kRecordSize = sizeof(KAVR_Parameters);
constexpr std::size_t kFileSize = kHeaderSize + kRecordSize + 4;

std::uint32_t Crc32(std::string_view bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void AppendWord(std::string& bytes, std::uint32_t word) {
  for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<char>((word >> shift) & 0xFFu));
}

std::uint32_t WordAt(std::string_view bytes, std::size_t offset) {
  std::uint32_t word = 0;
  for (int index = 3; index >= 0; --index) {
    word = (word << 8) | static_cast<unsigned char>(bytes[offset + static_cast<std::size_t>(index)]);
  }
  return word;
}

FlashRead Unusable(std::string problem) {
  FlashRead read;
  read.outcome = FlashRead::Outcome::Unusable;
  read.problem = std::move(problem);
  return read;
}

}  // namespace

std::filesystem::path FlashFilePath(const std::filesystem::path& folder, std::string_view serial) {
  return folder / (std::string(serial) + ".flash");
}

std::string EncodeFlash(const KAVR_Parameters& parameters) {
  std::string bytes(kMagic);
  AppendWord(bytes, kFormatVersion);
  AppendWord(bytes, static_cast<std::uint32_t>(kRecordSize));
  // The record is little-endian by definition, as are the machines that
  // build this library.
  bytes.append(reinterpret_cast<const char*>(&parameters), kRecordSize);
  AppendWord(bytes, Crc32(bytes));
  return bytes;
}

FlashRead DecodeFlash(std::string_view bytes) {
  if (bytes.size() < kHeaderSize) return Unusable("it is too short to hold a header");
  if (bytes.substr(0, kMagic.size()) != kMagic) return Unusable("it is not a flash file");
  if (WordAt(bytes, 8) != kFormatVersion) return Unusable("its format version is unknown");
  if (WordAt(bytes, 12) != kRecordSize) return Unusable("its record length is wrong");
  if (bytes.size() != kFileSize) return Unusable("it is truncated or has extra bytes");
  if (WordAt(bytes, kFileSize - 4) != Crc32(bytes.substr(0, kFileSize - 4))) {
    return Unusable("its checksum does not match");
  }
  KAVR_Parameters parameters;
  std::memcpy(&parameters, bytes.data() + kHeaderSize, kRecordSize);
  if (const auto problem = ParametersProblem(parameters))
    return Unusable("it holds a bad value: " + *problem);
  FlashRead read;
  read.outcome = FlashRead::Outcome::Loaded;
  read.parameters = parameters;
  return read;
}

FlashRead ReadFlash(const std::filesystem::path& folder, std::string_view serial) {
  const auto path = FlashFilePath(folder, serial);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return {};
  std::ifstream file(path, std::ios::binary);
  if (!file) return Unusable("it cannot be opened");
  // One byte more than a good file tells a long file from a good one
  // without reading a large one whole.
  std::string bytes(kFileSize + 1, '\0');
  file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (file.bad()) return Unusable("it cannot be read");
  bytes.resize(static_cast<std::size_t>(file.gcount()));
  return DecodeFlash(bytes);
}

std::string WriteFlash(const std::filesystem::path& folder, std::string_view serial,
                       const KAVR_Parameters& parameters, const AtomicWriteHooks& hooks) {
  if (folder.empty()) return "no flash folder is known (set KAVR_SIM_FLASH_DIR or HOME)";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return "cannot create the folder " + folder.string() + ": " + error.message();
  return ReplaceFileAtomically(FlashFilePath(folder, serial), EncodeFlash(parameters), hooks);
}

}  // namespace kavr::sim
