#include "simulator/parameter_checks.h"

#include <cmath>
#include <string_view>

#include "simulator/number_text.h"

namespace kavr::sim {
namespace {

enum class Kind { Time, Speed, Temperature };

struct FloatField {
  std::string_view name;
  float KAVR_Parameters::*member;
  Kind kind;
};

// Times and speeds are magnitudes; only the temperature may go below zero.
constexpr FloatField kFloatFields[] = {
    {"AccelerationTime", &KAVR_Parameters::AccelerationTime, Kind::Time},
    {"DecelerationTime", &KAVR_Parameters::DecelerationTime, Kind::Time},
    {"PowerReductionTimeout", &KAVR_Parameters::PowerReductionTimeout, Kind::Time},
    {"ButtonTimeout1", &KAVR_Parameters::ButtonTimeout1, Kind::Time},
    {"ButtonTimeout2", &KAVR_Parameters::ButtonTimeout2, Kind::Time},
    {"ButtonTimeout3", &KAVR_Parameters::ButtonTimeout3, Kind::Time},
    {"ButtonTimeout4", &KAVR_Parameters::ButtonTimeout4, Kind::Time},
    {"ButtonResetTimeout", &KAVR_Parameters::ButtonResetTimeout, Kind::Time},
    {"ButtonResetSpeed", &KAVR_Parameters::ButtonResetSpeed, Kind::Speed},
    {"ButtonSpeed1", &KAVR_Parameters::ButtonSpeed1, Kind::Speed},
    {"ButtonSpeed2", &KAVR_Parameters::ButtonSpeed2, Kind::Speed},
    {"ButtonSpeed3", &KAVR_Parameters::ButtonSpeed3, Kind::Speed},
    {"ButtonSpeed4", &KAVR_Parameters::ButtonSpeed4, Kind::Speed},
    {"PowerOffTemperature", &KAVR_Parameters::PowerOffTemperature, Kind::Temperature},
    {"BacklashLastPhaseSpeed", &KAVR_Parameters::BacklashLastPhaseSpeed, Kind::Speed},
};

}  // namespace

Problem ParametersProblem(const KAVR_Parameters& parameters) {
  for (const FloatField& field : kFloatFields) {
    const float value = parameters.*field.member;
    if (!std::isfinite(value)) return std::string(field.name) + " is not a finite number";
    if (value < 0.0f && field.kind != Kind::Temperature) {
      return std::string(field.name) + " must not be negative (got " + FloatText(value) + ")";
    }
    if (value > kLongestTimeMs && field.kind == Kind::Time) {
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
