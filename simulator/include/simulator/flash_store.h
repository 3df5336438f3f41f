// A controller's flash: its parameters, kept in one file per serial number
// so that the next process to load the library starts with them.
//
// File layout (little-endian), 120 bytes:
//   0  8 bytes  magic "KAVRFLSH"
//   8  u32      format version (1)
//  12  u32      length of the record that follows (100)
//  16  100      the KAVR_Parameters record
// 116  u32      CRC-32 of bytes 0 to 115
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "kavr/records.h"
#include "simulator/atomic_file.h"

namespace kavr::sim {

std::filesystem::path FlashFilePath(const std::filesystem::path& folder, std::string_view serial);

std::string EncodeFlash(const KAVR_Parameters& parameters);

struct FlashRead {
  enum class Outcome { Missing, Loaded, Unusable };
  Outcome outcome = Outcome::Missing;
  KAVR_Parameters parameters;  // meaningful only when Loaded
  std::string problem;         // why it is Unusable
};

// Accepts only a complete, intact record; anything else is Unusable with
// the reason, and `parameters` is then left as created.
FlashRead DecodeFlash(std::string_view bytes);
FlashRead ReadFlash(const std::filesystem::path& folder, std::string_view serial);

// Creates the folder when it does not exist yet. Empty on success;
// otherwise why the parameters were not saved (the old file is untouched).
std::string WriteFlash(const std::filesystem::path& folder, std::string_view serial,
                       const KAVR_Parameters& parameters, const AtomicWriteHooks& hooks = {});

}  // namespace kavr::sim
