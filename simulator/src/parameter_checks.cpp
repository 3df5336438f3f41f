#include "simulator/parameter_checks.h"

#include <cmath>
#include <string_view>

#include "simulator/number_text.h"

namespace kavr::sim {
namespace {

struct FloatField {
  std::string_view name;
  float KAVR_Parameters::*member;
  bool may_be_negative;
};

// Times and speeds are magnitudes; only the temperature may go below zero.
constexpr FloatField kFloatFields[] = {
    {"AccelerationTime", &KAVR_Parameters::AccelerationTime, false},
    {"DecelerationTime", &KAVR_Parameters::DecelerationTime, false},
    {"PowerReductionTimeout", &KAVR_Parameters::PowerReductionTimeout, false},
    {"ButtonTimeout1", &KAVR_Parameters::ButtonTimeout1, false},
    {"ButtonTimeout2", &KAVR_Parameters::ButtonTimeout2, false},
    {"ButtonTimeout3", &KAVR_Parameters::ButtonTimeout3, false},
    {"ButtonTimeout4", &KAVR_Parameters::ButtonTimeout4, false},
    {"ButtonResetTimeout", &KAVR_Parameters::ButtonResetTimeout, false},
    {"ButtonResetSpeed", &KAVR_Parameters::ButtonResetSpeed, false},
    {"ButtonSpeed1", &KAVR_Parameters::ButtonSpeed1, false},
    {"ButtonSpeed2", &KAVR_Parameters::ButtonSpeed2, false},
    {"ButtonSpeed3", &KAVR_Parameters::ButtonSpeed3, false},
    {"ButtonSpeed4", &KAVR_Parameters::ButtonSpeed4, false},
    {"PowerOffTemperature", &KAVR_Parameters::PowerOffTemperature, true},
    {"BacklashLastPhaseSpeed", &KAVR_Parameters::BacklashLastPhaseSpeed, false},
};

}  // namespace

std::optional<std::string> ParametersProblem(const KAVR_Parameters& parameters) {
  for (const FloatField& field : kFloatFields) {
    const float value = parameters.*field.member;
    if (!std::isfinite(value)) return std::string(field.name) + " is not a finite number";
    if (value < 0.0f && !field.may_be_negative) {
      return std::string(field.name) + " must not be negative (got " + FloatText(value) + ")";
    }
  }
  return std::nullopt;
}

std::optional<std::string> ModeProblem(const KAVR_Mode& mode) {
  if (mode.SyncOutCount < 0) {
    return "SyncOutCount must not be negative (got " + IntText(mode.SyncOutCount) + ")";
  }
  return std::nullopt;
}

bool IsStepDivisor(int divisor) { return divisor == 1 || divisor == 2 || divisor == 4 || divisor == 8; }

}  // namespace kavr::sim
