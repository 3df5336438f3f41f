#include "simulator/parameter_checks.h"

#include <cmath>
#include <cstring>
#include <string_view>

#include "contract/limits.h"
#include "contract/record_fields.h"
#include "simulator/number_text.h"

namespace kavr::sim {
namespace {

float FloatAt(const KAVR_Parameters& parameters, const RecordField& field) {
  float value = 0.0f;
  std::memcpy(&value, reinterpret_cast<const std::uint8_t*>(&parameters) + field.offset, sizeof value);
  return value;
}

}  // namespace

Problem ParametersProblem(const KAVR_Parameters& parameters) {
  for (const RecordField& field : RecordFields<KAVR_Parameters>()) {
    if (field.kind != FieldKind::kFloat) continue;
    const float value = FloatAt(parameters, field);
    if (!std::isfinite(value)) return std::string(field.name) + " is not a finite number";
    const FieldLimit* limit = FindLimit(RecordName<KAVR_Parameters>(), field.name);
    if (limit == nullptr) continue;
    const std::string_view breach = LimitBreach(*limit, value);
    if (breach.empty()) continue;
    std::string problem = std::string(field.name) + " " + std::string(breach);
    if (limit->kind == LimitKind::kTime && value > 0.0f) problem += ", " + FloatText(kLongestTimeMs) + " ms";
    return problem + " (got " + FloatText(value) + ")";
  }
  return std::nullopt;
}

Problem ModeProblem(const KAVR_Mode& mode) {
  if (!LimitBreach(*FindLimit(RecordName<KAVR_Mode>(), "SyncOutCount"), mode.SyncOutCount).empty()) {
    return "SyncOutCount must not be negative (got " + IntText(mode.SyncOutCount) + ")";
  }
  return std::nullopt;
}

bool IsStepDivisor(int divisor) { return kavr::IsStepDivisor(divisor); }

}  // namespace kavr::sim
