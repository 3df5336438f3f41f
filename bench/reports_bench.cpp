// Cost of building each record report's text, with everyday values and with
// the values that make the number rendering work hardest (huge floats that
// print every digit, halfway values, not-a-number).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <limits>

#include "reports/reports.h"

namespace {

constexpr float kHuge = std::numeric_limits<float>::max();
constexpr std::int32_t kMostNegative = std::numeric_limits<std::int32_t>::min();

KAVR_Mode TypicalMode() {
  KAVR_Mode mode;
  mode.Button1TrueHigh = mode.CurrentReduction = mode.Trailer1Enabled = mode.Trailer1TrueHigh = 1;
  mode.Trailer2Enabled = mode.SyncOutEnabled = mode.SyncInSingleMove = 1;
  mode.SyncOutCount = 200;
  return mode;
}

// Every conditional line written.
KAVR_Mode LongestMode() {
  KAVR_Mode mode = TypicalMode();
  mode.PowerOff = mode.EmergencyOff = mode.RotaryEnabled = 1;
  mode.SyncOutCount = kMostNegative;
  return mode;
}

KAVR_State TypicalState() {
  KAVR_State state;
  state.CurrentPosition = 250;
  state.Temperature = 31.25f;
  state.StepDivisor = 8;
  state.FullPower = state.DirectionCCW = state.PowerOn = state.Running = 1;
  state.InputVoltage = 12.0f;
  return state;
}

KAVR_State WorstState() {
  KAVR_State state = TypicalState();
  state.CurrentPosition = kMostNegative;
  state.Temperature = -kHuge;
  state.StepDivisor = state.FullSpeed = 1;
  state.InputVoltage = kHuge;
  return state;
}

KAVR_Parameters TypicalParameters() {
  KAVR_Parameters parameters;
  parameters.AccelerationTime = parameters.DecelerationTime = parameters.ButtonResetTimeout = 500;
  parameters.PowerReductionTimeout = parameters.ButtonSpeed3 = parameters.ButtonSpeed4 = 100;
  parameters.ButtonTimeout1 = 1000;
  parameters.ButtonSpeed1 = 5.5f;
  parameters.ButtonTimeout2 = 200.4f;
  parameters.ButtonSpeed2 = 0.75f;
  parameters.ButtonResetSpeed = 250;
  parameters.BacklashDistance = -200;
  parameters.RevolutionDistance = 400;
  parameters.MinRevolutionError = 2;
  parameters.PowerOffTemperature = 70;
  parameters.SyncOutPulse = 4;
  parameters.BacklashLastPhaseSpeed = 20;
  return parameters;
}

// Every float field at the largest float: fifteen 39-digit numbers.
KAVR_Parameters WorstParameters() {
  KAVR_Parameters parameters;
  parameters.AccelerationTime = parameters.DecelerationTime = parameters.PowerReductionTimeout = kHuge;
  parameters.ButtonTimeout1 = parameters.ButtonTimeout2 = parameters.ButtonTimeout3 = kHuge;
  parameters.ButtonTimeout4 = parameters.ButtonResetTimeout = parameters.ButtonResetSpeed = kHuge;
  parameters.ButtonSpeed1 = parameters.ButtonSpeed2 = parameters.ButtonSpeed3 = kHuge;
  parameters.ButtonSpeed4 = parameters.PowerOffTemperature = parameters.BacklashLastPhaseSpeed = kHuge;
  parameters.BacklashDistance = parameters.RevolutionDistance = parameters.MinRevolutionError = -32768;
  parameters.SyncOutPulse = 255;
  return parameters;
}

// Halfway values take the extra rounding step; tiny values the longest
// fixed expansion that still rounds to zero.
KAVR_Parameters HalfwayParameters() {
  KAVR_Parameters parameters = TypicalParameters();
  parameters.AccelerationTime = 200.5f;
  parameters.DecelerationTime = 9999.5f;
  parameters.ButtonSpeed1 = 0.125f;
  parameters.ButtonSpeed2 = 99.875f;
  parameters.ButtonSpeed3 = -std::numeric_limits<float>::denorm_min();
  parameters.ButtonSpeed4 = std::numeric_limits<float>::quiet_NaN();
  parameters.PowerOffTemperature = 0.375f;
  return parameters;
}

KAVR_StartParameters StartWith(std::uint8_t divisor) {
  KAVR_StartParameters start;
  start.StepDivisor = divisor;
  start.AutoBacklash = start.BacklashCCW = start.WaitSyncIn = start.SyncOutCounterReset = 1;
  return start;
}

void BM_ModeReport(benchmark::State& bench, KAVR_Mode mode) {
  for (auto _ : bench) benchmark::DoNotOptimize(kavr::ModeReportText(mode, "."));
}

void BM_StateReport(benchmark::State& bench, KAVR_State state) {
  for (auto _ : bench) benchmark::DoNotOptimize(kavr::StateReportText(state, "."));
}

void BM_ParametersReport(benchmark::State& bench, KAVR_Parameters parameters) {
  for (auto _ : bench) benchmark::DoNotOptimize(kavr::ParametersReportText(parameters, "."));
}

void BM_StartReport(benchmark::State& bench, std::int32_t destination, float speed,
                    KAVR_StartParameters start) {
  for (auto _ : bench) benchmark::DoNotOptimize(kavr::StartReportText(destination, speed, start, "."));
}

BENCHMARK_CAPTURE(BM_ModeReport, typical, TypicalMode());
BENCHMARK_CAPTURE(BM_ModeReport, longest, LongestMode());
BENCHMARK_CAPTURE(BM_StateReport, typical, TypicalState());
BENCHMARK_CAPTURE(BM_StateReport, huge_floats, WorstState());
BENCHMARK_CAPTURE(BM_ParametersReport, typical, TypicalParameters());
BENCHMARK_CAPTURE(BM_ParametersReport, huge_floats, WorstParameters());
BENCHMARK_CAPTURE(BM_ParametersReport, halfway_and_tiny, HalfwayParameters());
BENCHMARK_CAPTURE(BM_StartReport, typical, 0, 500.0f, StartWith(1));
BENCHMARK_CAPTURE(BM_StartReport, longest_huge_speed, kMostNegative, kHuge, StartWith(8));

}  // namespace
