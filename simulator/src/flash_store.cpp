#include "simulator/flash_store.h"

#include <cstdint>
#include <cstring>
#include <system_error>

#include "simulator/checked_record.h"
#include "simulator/parameter_checks.h"
#include "simulator/quoted_text.h"

namespace kavr::sim {
namespace {

constexpr std::string_view kMagic = "KAVRFLSH";
constexpr std::uint32_t kFormatVersion = 1;
constexpr std::size_t kRecordSize = sizeof(KAVR_Parameters);

}  // namespace

std::filesystem::path FlashFilePath(const std::filesystem::path& folder, std::string_view serial) {
  return folder / (std::string(serial) + ".flash");
}

std::string EncodeFlash(const KAVR_Parameters& parameters) {
  return SealRecord(kMagic, kFormatVersion,
                    std::string_view(reinterpret_cast<const char*>(&parameters), kRecordSize));
}

Problem DecodeFlash(std::string_view bytes, KAVR_Parameters& parameters) {
  std::string_view payload;
  if (auto problem = OpenRecord(bytes, kMagic, kFormatVersion, payload)) return problem;
  if (payload.size() != kRecordSize) return "its record length is wrong";
  KAVR_Parameters read;
  std::memcpy(&read, payload.data(), kRecordSize);
  if (auto problem = ParametersProblem(read)) return "it holds a bad value: " + *problem;
  parameters = read;
  return std::nullopt;
}

Problem ReadFlash(const std::filesystem::path& folder, std::string_view serial,
                  std::optional<KAVR_Parameters>& saved) {
  saved.reset();
  std::optional<std::string> bytes;
  if (auto problem = ReadFileStart(FlashFilePath(folder, serial), kRecordSize + kRecordOverhead, bytes)) {
    return problem;
  }
  if (!bytes) return std::nullopt;
  KAVR_Parameters parameters;
  if (auto problem = DecodeFlash(*bytes, parameters)) return problem;
  saved = parameters;
  return std::nullopt;
}

Problem WriteFlash(const std::filesystem::path& folder, std::string_view serial,
                   const KAVR_Parameters& parameters, const AtomicWriteOptions& options) {
  if (folder.empty()) return "no flash folder is known (set KAVR_SIM_FLASH_DIR or HOME)";
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) return "cannot create the folder " + QuotedPath(folder) + ": " + error.message();
  return ReplaceFileAtomically(FlashFilePath(folder, serial), EncodeFlash(parameters), options);
}

}  // namespace kavr::sim
