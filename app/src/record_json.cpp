#include "app/record_json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>

#include "reports/number_format.h"

namespace kavr {
namespace {

using Json = nlohmann::ordered_json;

// A float as the double whose shortest text is the float's shortest text,
// so that "0.1" is written rather than 0.10000000149011612; reading that
// text back and narrowing it gives the float again.
Json FloatJson(float value) {
  if (!std::isfinite(value)) return RenderNumber(value, "0", ".");
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, value).ptr;
  double widened = 0.0;
  std::from_chars(text, end, widened);
  return widened;
}

Json FieldJson(RecordBytes record, const RecordField& field) {
  switch (field.kind) {
    case FieldKind::kFlag:
      return IsSet(static_cast<Flag>(ReadInteger(record, field)));
    case FieldKind::kFloat:
      return FloatJson(ReadFloat(record, field));
    case FieldKind::kInt32:
    case FieldKind::kInt16:
    case FieldKind::kUInt8:
      return ReadInteger(record, field);
    case FieldKind::kNotRead:
      break;
  }
  return nullptr;
}

// The non-finite floats by the names FloatJson writes them under.
std::optional<float> NonFiniteNamed(const std::string& name) {
  for (const float value : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()}) {
    if (RenderNumber(value, "0", ".") == name) return value;
  }
  return std::nullopt;
}

std::optional<FieldValue> ValueFromJson(const RecordField& field, const Json& json, std::string& problem) {
  const std::string shown = json.dump();
  if (field.kind == FieldKind::kFlag && json.is_boolean())
    return FieldValue{&field, json.get<bool>() ? 1 : 0, 0.0f};
  if (field.kind == FieldKind::kFloat) {
    if (json.is_number()) return FloatFieldValue(field, json.get<double>(), shown, problem);
    if (json.is_string()) {
      if (const auto value = NonFiniteNamed(json.get<std::string>())) return FieldValue{&field, 0, *value};
    }
    problem = std::string(field.name) + ": " + shown + " is not a number";
    return std::nullopt;
  }
  if (json.is_number_unsigned()) {
    // Anything beyond the signed 64-bit range is beyond every field's range.
    const auto value = json.get<std::uint64_t>();
    return IntegerFieldValue(
        field,
        static_cast<std::int64_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::int64_t>::max())),
        shown, problem);
  }
  if (json.is_number_integer()) return IntegerFieldValue(field, json.get<std::int64_t>(), shown, problem);
  problem =
      std::string(field.name) + ": " + shown +
      (field.kind == FieldKind::kFlag ? " is not a flag (true, false, 0 or 1)" : " is not a whole number");
  return std::nullopt;
}

}  // namespace

std::string RecordJson(RecordBytes record, std::span<const RecordField> fields) {
  Json object = Json::object();
  for (const RecordField& field : fields) {
    if (field.kind != FieldKind::kNotRead) object[std::string(field.name)] = FieldJson(record, field);
  }
  return object.dump(2);
}

FieldWrites FieldWritesFromJson(std::string_view text, std::span<const RecordField> fields,
                                std::string_view recordName) {
  Json json;
  try {
    json = Json::parse(text);
  } catch (const Json::parse_error& error) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    const std::string what = error.what();
    return {{}, "not JSON: " + what.substr(what.find(']') + 2)};
  }
  if (!json.is_object()) return {{}, "not a JSON object of " + std::string(recordName) + " fields"};
  FieldWrites parsed;
  for (const auto& [name, value] : json.items()) {
    std::string problem;
    const RecordField* field = WritableField(fields, recordName, name, problem);
    if (field == nullptr) return {{}, problem};
    const auto checked = ValueFromJson(*field, value, problem);
    if (!checked) return {{}, problem};
    parsed.values.push_back(*checked);
  }
  return parsed;
}

}  // namespace kavr
