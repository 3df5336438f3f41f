// Every member of the four records by name, place and kind: what the command
// line reads and writes by name, what settings files hold, and what the call
// log shows field by field. Each record's table covers its bytes exactly
// once, in order, which the compiler checks, so a member cannot be missed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "kavr/records.h"

namespace kavr {

enum class FieldKind {
  kFlag,  // 32-bit, true whenever nonzero
  kInt32,
  kInt16,
  kUInt8,
  kFloat,    // IEEE single precision
  kNotRead,  // slots and padding the program never reads and sends back as read
};

struct RecordField {
  std::string_view name;
  std::size_t offset;
  std::size_t size;
  FieldKind kind;
};

template <typename Record>
std::span<const RecordField> RecordFields();
template <>
std::span<const RecordField> RecordFields<KAVR_State>();
template <>
std::span<const RecordField> RecordFields<KAVR_Mode>();
template <>
std::span<const RecordField> RecordFields<KAVR_Parameters>();
template <>
std::span<const RecordField> RecordFields<KAVR_StartParameters>();

// "KAVR_State" and so on, as the library's header names them.
template <typename Record>
std::string_view RecordName();
template <>
std::string_view RecordName<KAVR_State>();
template <>
std::string_view RecordName<KAVR_Mode>();
template <>
std::string_view RecordName<KAVR_Parameters>();
template <>
std::string_view RecordName<KAVR_StartParameters>();

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
