#include "app/field_assignments.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "app/problem.h"
#include "app/typed_numbers.h"
#include "contract/limits.h"
#include "reports/number_format.h"

namespace kavr {
namespace {

struct IntegerRange {
  std::int64_t min;
  std::int64_t max;
};

template <typename T>
constexpr IntegerRange RangeOf() {
  return {std::numeric_limits<T>::min(), std::numeric_limits<T>::max()};
}

IntegerRange RangeOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::kFlag:
      return {0, 1};
    case FieldKind::kInt32:
      return RangeOf<std::int32_t>();
    case FieldKind::kInt16:
      return RangeOf<std::int16_t>();
    case FieldKind::kUInt8:
      return RangeOf<std::uint8_t>();
    case FieldKind::kFloat:
    case FieldKind::kNotRead:
      break;
  }
  return {0, -1};
}

std::string Problem(const RecordField& field, std::string_view shown, std::string_view what) {
  return std::string(field.name) + ": " + std::string(shown) + " " + std::string(what);
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted.append(text).push_back('"');
  return quoted;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return lower;
}

std::optional<std::int64_t> FlagWordValue(std::string_view text) {
  const std::string word = Lower(text);
  if (word == "1" || word == "true" || word == "on") return 1;
  if (word == "0" || word == "false" || word == "off") return 0;
  return std::nullopt;
}

// Digits with one optional sign, nothing around them.
std::optional<FieldValue> ParseWholeNumber(const RecordField& field, std::string_view text,
                                           std::string& problem) {
  std::string_view digits = text;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  std::int64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, value);
  if (digits.starts_with('+') || stop != end || error == std::errc::invalid_argument) {
    problem = Problem(field, Quoted(text), "is not a whole number");
    return std::nullopt;
  }
  // Beyond 64 bits is beyond every field's range, at the end its sign gives.
  if (error == std::errc::result_out_of_range) {
    value = digits.starts_with('-') ? std::numeric_limits<std::int64_t>::min()
                                    : std::numeric_limits<std::int64_t>::max();
  }
  return IntegerFieldValue(field, value, Quoted(text), problem);
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The float's shortest text, without an exponent where it stays short.
std::string FloatText(float value) {
  char text[64];
  const float magnitude = std::fabs(value);
  const bool fixed = magnitude >= 1e-4f && magnitude < 1e16f;
  const char* end = fixed ? std::to_chars(text, text + sizeof text, value, std::chars_format::fixed).ptr
                          : std::to_chars(text, text + sizeof text, value).ptr;
  return std::string(text, static_cast<std::size_t>(end - text));
}

// The number a FIELD=VALUE text gives, in C notation, when it is one.
std::optional<double> GivenNumber(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.starts_with('+')) text.remove_prefix(1);
  double given = 0.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, given);
  if (error != std::errc() || stop != end) return std::nullopt;
  return given;
}

}  // namespace

std::string WritableFieldNames(std::span<const RecordField> fields) {
  std::string names;
  for (const RecordField& field : fields) {
    if (field.kind == FieldKind::kNotRead) continue;
    if (!names.empty()) names += ", ";
    names += field.name;
  }
  return names;
}

const RecordField* WritableField(std::span<const RecordField> fields, std::string_view recordName,
                                 std::string_view name, std::string& problem) {
  const RecordField* field = FindField(fields, name);
  if (field != nullptr && field->kind != FieldKind::kNotRead) return field;
  problem = field == nullptr
                ? Quoted(name) + " is not a field of " + std::string(recordName)
                : std::string(name) + " is a slot of " + std::string(recordName) + " that is never written";
  problem += "; the fields are: " + WritableFieldNames(fields);
  return nullptr;
}

std::optional<FieldValue> IntegerFieldValue(const RecordField& field, std::int64_t value,
                                            std::string_view shown, std::string& problem) {
  const IntegerRange range = RangeOf(field.kind);
  if (value < range.min || value > range.max) {
    problem = field.kind == FieldKind::kFlag
                  ? Problem(field, shown, "is not a flag (0 or 1)")
                  : Problem(field, shown,
                            "is outside " + std::to_string(range.min) + " to " + std::to_string(range.max));
    return std::nullopt;
  }
  return FieldValue{&field, value, 0.0f};
}

std::optional<FieldValue> FloatFieldValue(const RecordField& field, double value, std::string_view shown,
                                          std::string& problem) {
  if (!(std::fabs(value) <= std::numeric_limits<float>::max())) {
    problem = Problem(field, shown, "is outside the range of a 32-bit float");
    return std::nullopt;
  }
  const auto real = static_cast<float>(value);
  if (real == 0.0f && value != 0.0) {
    problem = Problem(field, shown, "is too close to zero for a 32-bit float");
    return std::nullopt;
  }
  return FieldValue{&field, 0, real};
}

std::optional<std::string> FloatSentNote(std::string_view name, std::string_view given, float sent) {
  const std::optional<double> number = GivenNumber(given);
  if (!number || !std::isfinite(sent) || !std::isfinite(*number)) return std::nullopt;
  const std::string text = FloatText(sent);
  double readBack = 0.0;
  std::from_chars(text.data(), text.data() + text.size(), readBack);
  if (readBack == *number) return std::nullopt;
  return std::string(name) + ": " + std::string(given) + " is sent as " + text + ", the nearest 32-bit float";
}

std::optional<FieldValue> ParseFieldValue(const RecordField& field, std::string_view text,
                                          std::string& problem) {
  switch (field.kind) {
    case FieldKind::kFlag:
      if (const auto flag = FlagWordValue(text)) return FieldValue{&field, *flag, 0.0f};
      problem = Problem(field, Quoted(text), "is not a flag (0, 1, true, false, on or off)");
      return std::nullopt;
    case FieldKind::kFloat: {
      std::string why;
      if (const auto number = ReadSpeed(text, ".", why)) return FieldValue{&field, 0, *number};
      return Fail(problem, Problem(field, Quoted(text), why));
    }
    case FieldKind::kInt32:
    case FieldKind::kInt16:
    case FieldKind::kUInt8:
      return ParseWholeNumber(field, text, problem);
    case FieldKind::kNotRead:
      break;
  }
  problem = std::string(field.name) + " is never written";
  return std::nullopt;
}

std::optional<FieldWrites> ParseAssignments(std::span<const RecordField> fields, std::string_view recordName,
                                            std::span<const std::string> texts, std::string& problem) {
  FieldWrites parsed;
  for (const std::string& text : texts) {
    const std::size_t equals = text.find('=');
    if (equals == std::string::npos) {
      return Fail(problem, Quoted(text) + " is not FIELD=VALUE; the fields of " + std::string(recordName) +
                               " are: " + WritableFieldNames(fields));
    }
    const RecordField* field =
        WritableField(fields, recordName, std::string_view(text).substr(0, equals), problem);
    if (field == nullptr) return std::nullopt;
    const std::string_view valueText = std::string_view(text).substr(equals + 1);
    const auto value = ParseFieldValue(*field, valueText, problem);
    if (!value) return std::nullopt;
    parsed.values.push_back(*value);
    if (field->kind != FieldKind::kFloat) continue;
    if (auto note = FloatSentNote(field->name, valueText, value->real))
      parsed.notes.push_back(std::move(*note));
  }
  return parsed;
}

void ApplyFieldValues(std::span<std::uint8_t> record, std::span<const FieldValue> values) {
  for (const FieldValue& value : values) {
    const RecordField& field = *value.field;
    if (field.kind == FieldKind::kFloat) {
      const float held = ReadFloat(record, field);
      const bool same = SameBits(held, value.real) || (std::isnan(held) && std::isnan(value.real));
      if (!same) WriteFloat(record, field, value.real);
    } else if (field.kind == FieldKind::kFlag) {
      if (IsSet(static_cast<Flag>(ReadInteger(record, field))) != (value.integer != 0)) {
        WriteInteger(record, field, value.integer);
      }
    } else if (field.kind != FieldKind::kNotRead) {
      WriteInteger(record, field, value.integer);
    }
  }
}

std::string FieldValueText(RecordBytes record, const RecordField& field) {
  switch (field.kind) {
    case FieldKind::kFlag:
      return IsSet(static_cast<Flag>(ReadInteger(record, field))) ? "true" : "false";
    case FieldKind::kFloat: {
      const float value = ReadFloat(record, field);
      if (!std::isfinite(value)) return RenderNumber(value, "0", ".");
      char text[32];
      return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
    }
    case FieldKind::kInt32:
    case FieldKind::kInt16:
    case FieldKind::kUInt8:
      return std::to_string(ReadInteger(record, field));
    case FieldKind::kNotRead:
      break;
  }
  return {};
}

}  // namespace kavr

namespace kavr {

std::optional<std::string> LimitProblem(const FieldValue& value) {
  const FieldLimit* limit = FindLimit(RecordOfField(*value.field), value.field->name);
  if (limit == nullptr) return std::nullopt;
  const bool real = value.field->kind == FieldKind::kFloat;
  const std::string_view breach = LimitBreach(*limit, real ? value.real : static_cast<double>(value.integer));
  if (breach.empty()) return std::nullopt;
  return Problem(*value.field, real ? FloatText(value.real) : std::to_string(value.integer),
                 std::string(breach) + (limit->kind == LimitKind::kTime ? " (86400000 ms)" : ""));
}

std::optional<std::string> ChangedValueLimitProblem(std::span<const std::uint8_t> record,
                                                    std::span<const FieldValue> values) {
  std::vector<std::uint8_t> changed(record.begin(), record.end());
  for (const FieldValue& value : values) {
    ApplyFieldValues(changed, {&value, 1});
    if (std::equal(changed.begin(), changed.end(), record.begin())) continue;
    if (auto problem = LimitProblem(value)) return problem;
    std::ranges::copy(record, changed.begin());
  }
  return std::nullopt;
}

}  // namespace kavr
