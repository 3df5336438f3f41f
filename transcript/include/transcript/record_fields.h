// Reading and writing the records' members by their field tables
// (kavr/record_fields.h): what the command line reads and writes by name,
// what settings files hold, and what the call log shows field by field.
//
// Shells: kavrctl; kavrtest through the call log's details.
// Also the stand-in library (KAVR_SIM_KEEP names fields with it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "contract/record_fields.h"
#include "contract/records.h"

namespace kavr {

// The field of that exact name, or null.
const RecordField* FindField(std::span<const RecordField> fields, std::string_view name);

// A record's bytes, as the call log and the field accessors see them.
using RecordBytes = std::span<const std::uint8_t>;

template <typename Record>
RecordBytes BytesOf(const Record& record) {
  return {reinterpret_cast<const std::uint8_t*>(&record), sizeof(Record)};
}

// The value of a flag or integer field, widened (a flag as stored, not as 0/1).
std::int64_t ReadInteger(RecordBytes record, const RecordField& field);
// The value of a float field.
float ReadFloat(RecordBytes record, const RecordField& field);

// Writing: the caller has checked the value fits the field's kind.
void WriteInteger(std::span<std::uint8_t> record, const RecordField& field, std::int64_t value);
void WriteFloat(std::span<std::uint8_t> record, const RecordField& field, float value);

template <typename Record>
std::span<std::uint8_t> WritableBytesOf(Record& record) {
  return {reinterpret_cast<std::uint8_t*>(&record), sizeof(Record)};
}

}  // namespace kavr
