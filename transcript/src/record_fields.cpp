#include "transcript/record_fields.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kavr {
namespace {

template <typename Value>
Value Load(RecordBytes record, const RecordField& field) {
  Value value{};
  std::memcpy(&value, record.data() + field.offset, sizeof(Value));
  return value;
}

template <typename Value>
void Store(std::span<std::uint8_t> record, const RecordField& field, Value value) {
  std::memcpy(record.data() + field.offset, &value, sizeof(Value));
}

}  // namespace

const RecordField* FindField(std::span<const RecordField> fields, std::string_view name) {
  const auto found =
      std::find_if(fields.begin(), fields.end(), [&](const RecordField& f) { return f.name == name; });
  return found == fields.end() ? nullptr : &*found;
}

std::int64_t ReadInteger(RecordBytes record, const RecordField& field) {
  switch (field.kind) {
    case FieldKind::kFlag:
    case FieldKind::kInt32:
      return Load<std::int32_t>(record, field);
    case FieldKind::kInt16:
      return Load<std::int16_t>(record, field);
    case FieldKind::kUInt8:
      return Load<std::uint8_t>(record, field);
    case FieldKind::kFloat:
    case FieldKind::kNotRead:
      break;
  }
  return 0;
}

float ReadFloat(RecordBytes record, const RecordField& field) {
  return field.kind == FieldKind::kFloat ? Load<float>(record, field) : 0.0f;
}

void WriteInteger(std::span<std::uint8_t> record, const RecordField& field, std::int64_t value) {
  switch (field.kind) {
    case FieldKind::kFlag:
    case FieldKind::kInt32:
      return Store(record, field, static_cast<std::int32_t>(value));
    case FieldKind::kInt16:
      return Store(record, field, static_cast<std::int16_t>(value));
    case FieldKind::kUInt8:
      return Store(record, field, static_cast<std::uint8_t>(value));
    case FieldKind::kFloat:
    case FieldKind::kNotRead:
      break;
  }
}

void WriteFloat(std::span<std::uint8_t> record, const RecordField& field, float value) {
  if (field.kind == FieldKind::kFloat) Store(record, field, value);
}

}  // namespace kavr
