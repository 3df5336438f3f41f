#include "simulator/controller_defaults.h"

#include <array>

#include "motion/move_model.h"
#include "simulator/number_text.h"

namespace kavr::sim {

std::string SerialNumber(int index) {
  std::string digits = IntText(index + 1);
  return "KAVRSIM" + std::string(9 - digits.size(), '0') + digits;
}

std::string FirmwareVersion(int index) {
  constexpr std::array<const char*, 3> kVersions = {"2.14", "2.15", "3.01"};
  return kVersions[static_cast<std::size_t>(index) % kVersions.size()];
}

KAVR_Mode FactoryMode() {
  KAVR_Mode mode;
  mode.CurrentReduction = 1;
  mode.PowerOff = 0;
  mode.Trailer1TrueHigh = 1;
  mode.Trailer2TrueHigh = 1;
  mode.RotaryStopOnError = 1;
  mode.SyncInSingleMove = 1;
  mode.SyncOutCount = 200;
  return mode;
}

KAVR_Parameters FactoryParameters() {
  KAVR_Parameters parameters;
  parameters.AccelerationTime = 200.0f;
  parameters.DecelerationTime = 200.0f;
  parameters.PowerReductionTimeout = 1000.0f;
  parameters.ButtonTimeout1 = 500.0f;
  parameters.ButtonTimeout2 = 2000.0f;
  parameters.ButtonTimeout3 = 4000.0f;
  parameters.ButtonTimeout4 = 6000.0f;
  parameters.ButtonResetTimeout = 500.0f;
  parameters.ButtonResetSpeed = 400.0f;
  parameters.ButtonSpeed1 = 50.0f;
  parameters.ButtonSpeed2 = 200.0f;
  parameters.ButtonSpeed3 = 800.0f;
  parameters.ButtonSpeed4 = 2000.0f;
  parameters.BacklashDistance = 50;
  parameters.RevolutionDistance = 200;
  parameters.MinRevolutionError = 4;
  parameters.PowerOffTemperature = 70.0f;
  parameters.SyncOutPulse = 0;
  parameters.BacklashLastPhaseSpeed = 0.0f;
  return parameters;
}

KAVR_StartParameters FactoryStartParameters() {
  KAVR_StartParameters start;
  start.StepDivisor = 1;
  return start;
}

double MaxSpeed(int stepDivisor) { return motion::MaxSpeed(stepDivisor); }

}  // namespace kavr::sim
