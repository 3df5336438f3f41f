// A controller's flash: its parameters, kept in one file per serial number
// so that they survive every process and every start of the machine. The
// file is a checked record (see checked_record.h) of magic "KAVRFLSH",
// version 1, whose payload is the 100-byte KAVR_Parameters record.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "contract/records.h"
#include "simulator/atomic_file.h"
#include "simulator/problem.h"

namespace kavr::sim {

std::filesystem::path FlashFilePath(const std::filesystem::path& folder, std::string_view serial);

std::string EncodeFlash(const KAVR_Parameters& parameters);

// Accepts only a complete, intact record of values a controller takes.
Problem DecodeFlash(std::string_view bytes, KAVR_Parameters& parameters);
// `saved` stays empty when nothing was ever saved for that serial number,
// and when the file cannot be used (the problem then says why).
Problem ReadFlash(const std::filesystem::path& folder, std::string_view serial,
                  std::optional<KAVR_Parameters>& saved);

// Creates the folder when it does not exist yet. On failure the old file is
// untouched.
Problem WriteFlash(const std::filesystem::path& folder, std::string_view serial,
                   const KAVR_Parameters& parameters, const AtomicWriteOptions& options = {});

}  // namespace kavr::sim
