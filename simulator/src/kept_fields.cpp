#include "simulator/kept_fields.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "simulator/number_text.h"
#include "simulator/quoted_text.h"

namespace kavr::sim {
namespace {

using kavr::FieldKind;
using kavr::RecordField;

struct Range {
  long long low, high;
};

Range RangeOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::kFlag:
      return {0, 1};
    case FieldKind::kInt16:
      return {std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()};
    case FieldKind::kUInt8:
      return {0, std::numeric_limits<std::uint8_t>::max()};
    default:
      return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
  }
}

std::optional<float> ParseFloat(std::string_view text) {
  text = Trimmed(text);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
      std::fabs(value) > std::numeric_limits<float>::max()) {
    return std::nullopt;
  }
  return static_cast<float>(value);
}

// The field of either record, the mode's first.
std::optional<KeptField> Named(std::string_view name) {
  for (const bool inMode : {true, false}) {
    const auto fields = inMode ? kavr::RecordFields<KAVR_Mode>() : kavr::RecordFields<KAVR_Parameters>();
    const RecordField* field = kavr::FindField(fields, name);
    if (field != nullptr && field->kind != FieldKind::kNotRead) return KeptField{inMode, field, 0, 0.0f};
  }
  return std::nullopt;
}

void Apply(const KeptFields& kept, bool inMode, std::span<std::uint8_t> record) {
  for (const KeptField& item : kept) {
    if (item.inMode != inMode) continue;
    if (item.field->kind == FieldKind::kFloat) {
      kavr::WriteFloat(record, *item.field, item.real);
    } else {
      kavr::WriteInteger(record, *item.field, item.integer);
    }
  }
}

}  // namespace

KeptFields ParseKeptFields(std::string_view text, const std::function<void(const std::string&)>& warn) {
  KeptFields kept;
  for (const auto& [item, name, itemValue] : ListItems(text)) {
    auto field = Named(name);
    if (!field || !itemValue) {
      warn("KAVR_SIM_KEEP: " + Quoted(item) +
           " is not FIELD=VALUE with a field of KAVR_Mode or KAVR_Parameters; ignored");
      continue;
    }
    const std::string_view value = *itemValue;
    if (field->field->kind == FieldKind::kFloat) {
      const auto real = ParseFloat(value);
      if (!real) {
        warn("KAVR_SIM_KEEP: " + Quoted(value) + " for " + std::string(name) +
             " is not a 32-bit float; ignored");
        continue;
      }
      field->real = *real;
    } else {
      const Range range = RangeOf(field->field->kind);
      const auto integer = ParseInteger(value, range.low, range.high);
      if (!integer) {
        warn("KAVR_SIM_KEEP: " + Quoted(value) + " for " + std::string(name) +
             " is not a whole number from " + IntText(range.low) + " to " + IntText(range.high) +
             "; ignored");
        continue;
      }
      field->integer = *integer;
    }
    kept.push_back(*field);
  }
  return kept;
}

void ApplyKeptFields(const KeptFields& kept, KAVR_Mode& mode) {
  Apply(kept, true, kavr::WritableBytesOf(mode));
}

void ApplyKeptFields(const KeptFields& kept, KAVR_Parameters& parameters) {
  Apply(kept, false, kavr::WritableBytesOf(parameters));
}

}  // namespace kavr::sim
