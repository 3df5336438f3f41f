// The values the library refuses, in one table: times up to a day, speeds
// and counts not below zero, the step divisors. The program checks a value
// against it before anything is sent (a command, a settings file, every
// step of a plan), and the stand-in refuses by it, so the two never part.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

#include "contract/record_fields.h"

namespace kavr {

// The longest time a parameter may hold, in ms: a day. Longer ones are
// typing mistakes, and refusing them keeps every time a plan is built from
// within what it can count.
inline constexpr double kLongestTimeMs = 24.0 * 60.0 * 60.0 * 1000.0;

enum class LimitKind {
  kTime,   // ms, 0 to kLongestTimeMs
  kSpeed,  // steps per second, from 0 up
  kCount,  // from 0 up
};

struct FieldLimit {
  std::string_view record;  // "KAVR_Parameters"
  std::string_view name;
  LimitKind kind;
};

inline constexpr FieldLimit kFieldLimits[] = {
    {"KAVR_Parameters", "AccelerationTime", LimitKind::kTime},
    {"KAVR_Parameters", "DecelerationTime", LimitKind::kTime},
    {"KAVR_Parameters", "PowerReductionTimeout", LimitKind::kTime},
    {"KAVR_Parameters", "ButtonTimeout1", LimitKind::kTime},
    {"KAVR_Parameters", "ButtonTimeout2", LimitKind::kTime},
    {"KAVR_Parameters", "ButtonTimeout3", LimitKind::kTime},
    {"KAVR_Parameters", "ButtonTimeout4", LimitKind::kTime},
    {"KAVR_Parameters", "ButtonResetTimeout", LimitKind::kTime},
    {"KAVR_Parameters", "ButtonResetSpeed", LimitKind::kSpeed},
    {"KAVR_Parameters", "ButtonSpeed1", LimitKind::kSpeed},
    {"KAVR_Parameters", "ButtonSpeed2", LimitKind::kSpeed},
    {"KAVR_Parameters", "ButtonSpeed3", LimitKind::kSpeed},
    {"KAVR_Parameters", "ButtonSpeed4", LimitKind::kSpeed},
    {"KAVR_Parameters", "BacklashLastPhaseSpeed", LimitKind::kSpeed},
    {"KAVR_Mode", "SyncOutCount", LimitKind::kCount},
};

inline constexpr int kStepDivisors[] = {1, 2, 4, 8};

constexpr bool IsStepDivisor(std::int64_t divisor) {
  return std::ranges::find(kStepDivisors, divisor) != std::end(kStepDivisors);
}

// The limit of the field `name` of `record`, or null for a field the
// library takes any value of.
constexpr const FieldLimit* FindLimit(std::string_view record, std::string_view name) {
  for (const FieldLimit& limit : kFieldLimits) {
    if (limit.record == record && limit.name == name) return &limit;
  }
  return nullptr;
}

// Why the library refuses `value` for a field of that limit, to follow the
// field's name ("must not be negative"); empty when it takes it. NaN and
// the infinities are refused apart, as not finite.
inline std::string_view LimitBreach(const FieldLimit& limit, double value) {
  if (value < 0.0) return "must not be negative";
  if (limit.kind == LimitKind::kTime && value > kLongestTimeMs) return "must not be longer than a day";
  return {};
}

// The record a row of the field tables belongs to ("KAVR_Mode"), found by
// the table that holds it; empty for a row of none.
inline std::string_view RecordOfField(const RecordField& field) {
  const auto within = [&](std::span<const RecordField> fields) {
    return &field >= fields.data() && &field < fields.data() + fields.size();
  };
  if (within(RecordFields<KAVR_Parameters>())) return RecordName<KAVR_Parameters>();
  if (within(RecordFields<KAVR_Mode>())) return RecordName<KAVR_Mode>();
  if (within(RecordFields<KAVR_StartParameters>())) return RecordName<KAVR_StartParameters>();
  if (within(RecordFields<KAVR_State>())) return RecordName<KAVR_State>();
  return {};
}

// Every row of kFieldLimits names a field of its record.
constexpr bool LimitsNameFields() {
  for (const FieldLimit& limit : kFieldLimits) {
    bool found = false;
    const auto look = [&](std::string_view record, std::span<const RecordField> fields) {
      for (const RecordField& field : fields)
        found = found || (limit.record == record && field.name == limit.name);
    };
    look(RecordName<KAVR_Parameters>(), RecordFields<KAVR_Parameters>());
    look(RecordName<KAVR_Mode>(), RecordFields<KAVR_Mode>());
    if (!found) return false;
  }
  return true;
}
static_assert(LimitsNameFields());

}  // namespace kavr
