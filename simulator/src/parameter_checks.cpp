#include "simulator/parameter_checks.h"

#include <cmath>
#include <string_view>

#include "simulator/number_text.h"

namespace kavr::sim {
namespace {

enum class Kind { kTime, kSpeed, kTemperature };

struct FloatField {
  std::string_view name;
  float KAVR_Parameters::*member;
  Kind kind;
};

// Times and speeds are magnitudes; only the temperature may go below zero.
constexpr FloatField kFloatFields[] = {
    {"AccelerationTime", &KAVR_Parameters::AccelerationTime, Kind::kTime},
    {"DecelerationTime", &KAVR_Parameters::DecelerationTime, Kind::kTime},
    {"PowerReductionTimeout", &KAVR_Parameters::PowerReductionTimeout, Kind::kTime},
    {"ButtonTimeout1", &KAVR_Parameters::ButtonTimeout1, Kind::kTime},
    {"ButtonTimeout2", &KAVR_Parameters::ButtonTimeout2, Kind::kTime},
    {"ButtonTimeout3", &KAVR_Parameters::ButtonTimeout3, Kind::kTime},
    {"ButtonTimeout4", &KAVR_Parameters::ButtonTimeout4, Kind::kTime},
    {"ButtonResetTimeout", &KAVR_Parameters::ButtonResetTimeout, Kind::kTime},
    {"ButtonResetSpeed", &KAVR_Parameters::ButtonResetSpeed, Kind::kSpeed},
    {"ButtonSpeed1", &KAVR_Parameters::ButtonSpeed1, Kind::kSpeed},
    {"ButtonSpeed2", &KAVR_Parameters::ButtonSpeed2, Kind::kSpeed},
    {"ButtonSpeed3", &KAVR_Parameters::ButtonSpeed3, Kind::kSpeed},
    {"ButtonSpeed4", &KAVR_Parameters::ButtonSpeed4, Kind::kSpeed},
    {"PowerOffTemperature", &KAVR_Parameters::PowerOffTemperature, Kind::kTemperature},
    {"BacklashLastPhaseSpeed", &KAVR_Parameters::BacklashLastPhaseSpeed, Kind::kSpeed},
};

}  // namespace

Problem ParametersProblem(const KAVR_Parameters& parameters) {
  for (const FloatField& field : kFloatFields) {
    const float value = parameters.*field.member;
    if (!std::isfinite(value)) return std::string(field.name) + " is not a finite number";
    if (value < 0.0f && field.kind != Kind::kTemperature) {
      return std::string(field.name) + " must not be negative (got " + FloatText(value) + ")";
    }
    if (value > kLongestTimeMs && field.kind == Kind::kTime) {
      return std::string(field.name) + " must not be longer than a day, " + FloatText(kLongestTimeMs) +
             " ms (got " + FloatText(value) + ")";
    }
  }
  return std::nullopt;
}

Problem ModeProblem(const KAVR_Mode& mode) {
  if (mode.SyncOutCount < 0) {
    return "SyncOutCount must not be negative (got " + IntText(mode.SyncOutCount) + ")";
  }
  return std::nullopt;
}

bool IsStepDivisor(int divisor) { return divisor == 1 || divisor == 2 || divisor == 4 || divisor == 8; }

}  // namespace kavr::sim
