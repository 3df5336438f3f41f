// The records exchanged with the controller library. Their layouts are
// the library's, byte for byte: every member is named (the slots the program
// never reads included) so that copying a record carries every byte, and
// every member starts zero so that a record is zero-filled when created.
#pragma once

#include <cstddef>
#include <cstdint>

#include "contract/entries.h"

namespace kavr {

// A controller flag: a 32-bit integer, true whenever it is nonzero.
using Flag = std::int32_t;

// Reading a flag: any nonzero value (1, -1, 255...) is true.
constexpr bool IsSet(Flag flag) { return flag != 0; }

// Writing a flag: the program only ever writes 1 or 0.
constexpr Flag ToFlag(bool value) { return value ? 1 : 0; }

}  // namespace kavr

struct KAVR_State {
  std::int32_t CurrentPosition = 0;
  float Temperature = 0.0f;
  std::uint8_t StepDivisor = 0;
  std::uint8_t StepDivisorPadding[3] = {};
  kavr::Flag LoftIndefinite = 0;
  kavr::Flag FullPower = 0;
  kavr::Flag DirectionCCW = 0;
  kavr::Flag PowerOn = 0;
  kavr::Flag FullSpeed = 0;
  kavr::Flag AfterReset = 0;
  kavr::Flag Running = 0;
  kavr::Flag SyncInState = 0;
  kavr::Flag SyncOutState = 0;
  kavr::Flag RotaryState = 0;
  kavr::Flag RotaryError = 0;
  kavr::Flag EmergencyPushed = 0;
  kavr::Flag Trailer1Pushed = 0;
  kavr::Flag Trailer2Pushed = 0;
  float InputVoltage = 0.0f;
  std::uint8_t Reserved72[4] = {};
  std::uint8_t Reserved76[4] = {};
};

struct KAVR_Mode {
  kavr::Flag ButtonsDisabled = 0;
  kavr::Flag CurrentReduction = 0;
  kavr::Flag PowerOff = 0;
  kavr::Flag EmergencyOff = 0;
  kavr::Flag Trailer1TrueHigh = 0;
  kavr::Flag Trailer2TrueHigh = 0;
  kavr::Flag RotaryTrueHigh = 0;
  kavr::Flag TrailersSwapped = 0;
  kavr::Flag Trailer1Enabled = 0;
  kavr::Flag Trailer2Enabled = 0;
  kavr::Flag RotaryEnabled = 0;
  kavr::Flag RotaryStopOnError = 0;
  kavr::Flag Button1TrueHigh = 0;
  kavr::Flag Button2TrueHigh = 0;
  kavr::Flag ResetRotaryCheck = 0;
  kavr::Flag SyncOutEnabled = 0;
  kavr::Flag ResetSyncOutCounter = 0;
  kavr::Flag SyncInSingleMove = 0;
  std::int32_t SyncOutCount = 0;
  kavr::Flag SyncOutInverted = 0;
  // Six words the library fills and expects back unchanged on a write.
  std::uint8_t Reserved80[24] = {};
};

struct KAVR_Parameters {
  float AccelerationTime = 0.0f;
  float DecelerationTime = 0.0f;
  float PowerReductionTimeout = 0.0f;
  float ButtonTimeout1 = 0.0f;
  float ButtonTimeout2 = 0.0f;
  float ButtonTimeout3 = 0.0f;
  float ButtonTimeout4 = 0.0f;
  float ButtonResetTimeout = 0.0f;
  std::uint8_t Reserved32[4] = {};
  float ButtonResetSpeed = 0.0f;
  float ButtonSpeed1 = 0.0f;
  float ButtonSpeed2 = 0.0f;
  float ButtonSpeed3 = 0.0f;
  float ButtonSpeed4 = 0.0f;
  std::int16_t BacklashDistance = 0;
  std::uint8_t Reserved58[2] = {};
  std::uint8_t Reserved60[4] = {};
  std::int16_t RevolutionDistance = 0;
  std::int16_t MinRevolutionError = 0;
  float PowerOffTemperature = 0.0f;
  std::uint8_t SyncOutPulse = 0;
  std::uint8_t SyncOutPulsePadding[3] = {};
  float BacklashLastPhaseSpeed = 0.0f;
  // Five words the library fills and expects back unchanged on a write.
  std::uint8_t Reserved80[20] = {};
};

struct KAVR_StartParameters {
  std::uint8_t StepDivisor = 0;
  std::uint8_t StepDivisorPadding[3] = {};
  kavr::Flag BacklashCCW = 0;
  kavr::Flag AutoBacklash = 0;
  kavr::Flag SlowStart = 0;
  kavr::Flag WaitSyncIn = 0;
  kavr::Flag SyncOutCounterReset = 0;
  kavr::Flag ForceBacklash = 0;
  std::uint8_t Reserved28[4] = {};
};

// The library only knows these layouts; a compiler that packs or aligns
// differently must fail here, not at a controller.
static_assert(sizeof(float) == 4, "records hold IEEE single-precision floats");

static_assert(sizeof(KAVR_State) == 80);
static_assert(offsetof(KAVR_State, CurrentPosition) == 0);
static_assert(offsetof(KAVR_State, Temperature) == 4);
static_assert(offsetof(KAVR_State, StepDivisor) == 8);
static_assert(offsetof(KAVR_State, StepDivisorPadding) == 9);
static_assert(offsetof(KAVR_State, LoftIndefinite) == 12);
static_assert(offsetof(KAVR_State, FullPower) == 16);
static_assert(offsetof(KAVR_State, DirectionCCW) == 20);
static_assert(offsetof(KAVR_State, PowerOn) == 24);
static_assert(offsetof(KAVR_State, FullSpeed) == 28);
static_assert(offsetof(KAVR_State, AfterReset) == 32);
static_assert(offsetof(KAVR_State, Running) == 36);
static_assert(offsetof(KAVR_State, SyncInState) == 40);
static_assert(offsetof(KAVR_State, SyncOutState) == 44);
static_assert(offsetof(KAVR_State, RotaryState) == 48);
static_assert(offsetof(KAVR_State, RotaryError) == 52);
static_assert(offsetof(KAVR_State, EmergencyPushed) == 56);
static_assert(offsetof(KAVR_State, Trailer1Pushed) == 60);
static_assert(offsetof(KAVR_State, Trailer2Pushed) == 64);
static_assert(offsetof(KAVR_State, InputVoltage) == 68);
static_assert(offsetof(KAVR_State, Reserved72) == 72);
static_assert(offsetof(KAVR_State, Reserved76) == 76);

static_assert(sizeof(KAVR_Mode) == 104);
static_assert(offsetof(KAVR_Mode, ButtonsDisabled) == 0);
static_assert(offsetof(KAVR_Mode, CurrentReduction) == 4);
static_assert(offsetof(KAVR_Mode, PowerOff) == 8);
static_assert(offsetof(KAVR_Mode, EmergencyOff) == 12);
static_assert(offsetof(KAVR_Mode, Trailer1TrueHigh) == 16);
static_assert(offsetof(KAVR_Mode, Trailer2TrueHigh) == 20);
static_assert(offsetof(KAVR_Mode, RotaryTrueHigh) == 24);
static_assert(offsetof(KAVR_Mode, TrailersSwapped) == 28);
static_assert(offsetof(KAVR_Mode, Trailer1Enabled) == 32);
static_assert(offsetof(KAVR_Mode, Trailer2Enabled) == 36);
static_assert(offsetof(KAVR_Mode, RotaryEnabled) == 40);
static_assert(offsetof(KAVR_Mode, RotaryStopOnError) == 44);
static_assert(offsetof(KAVR_Mode, Button1TrueHigh) == 48);
static_assert(offsetof(KAVR_Mode, Button2TrueHigh) == 52);
static_assert(offsetof(KAVR_Mode, ResetRotaryCheck) == 56);
static_assert(offsetof(KAVR_Mode, SyncOutEnabled) == 60);
static_assert(offsetof(KAVR_Mode, ResetSyncOutCounter) == 64);
static_assert(offsetof(KAVR_Mode, SyncInSingleMove) == 68);
static_assert(offsetof(KAVR_Mode, SyncOutCount) == 72);
static_assert(offsetof(KAVR_Mode, SyncOutInverted) == 76);
static_assert(offsetof(KAVR_Mode, Reserved80) == 80);

static_assert(sizeof(KAVR_Parameters) == 100);
static_assert(offsetof(KAVR_Parameters, AccelerationTime) == 0);
static_assert(offsetof(KAVR_Parameters, DecelerationTime) == 4);
static_assert(offsetof(KAVR_Parameters, PowerReductionTimeout) == 8);
static_assert(offsetof(KAVR_Parameters, ButtonTimeout1) == 12);
static_assert(offsetof(KAVR_Parameters, ButtonTimeout2) == 16);
static_assert(offsetof(KAVR_Parameters, ButtonTimeout3) == 20);
static_assert(offsetof(KAVR_Parameters, ButtonTimeout4) == 24);
static_assert(offsetof(KAVR_Parameters, ButtonResetTimeout) == 28);
static_assert(offsetof(KAVR_Parameters, Reserved32) == 32);
static_assert(offsetof(KAVR_Parameters, ButtonResetSpeed) == 36);
static_assert(offsetof(KAVR_Parameters, ButtonSpeed1) == 40);
static_assert(offsetof(KAVR_Parameters, ButtonSpeed2) == 44);
static_assert(offsetof(KAVR_Parameters, ButtonSpeed3) == 48);
static_assert(offsetof(KAVR_Parameters, ButtonSpeed4) == 52);
static_assert(offsetof(KAVR_Parameters, BacklashDistance) == 56);
static_assert(offsetof(KAVR_Parameters, Reserved58) == 58);
static_assert(offsetof(KAVR_Parameters, Reserved60) == 60);
static_assert(offsetof(KAVR_Parameters, RevolutionDistance) == 64);
static_assert(offsetof(KAVR_Parameters, MinRevolutionError) == 66);
static_assert(offsetof(KAVR_Parameters, PowerOffTemperature) == 68);
static_assert(offsetof(KAVR_Parameters, SyncOutPulse) == 72);
static_assert(offsetof(KAVR_Parameters, SyncOutPulsePadding) == 73);
static_assert(offsetof(KAVR_Parameters, BacklashLastPhaseSpeed) == 76);
static_assert(offsetof(KAVR_Parameters, Reserved80) == 80);

static_assert(sizeof(KAVR_StartParameters) == 32);
static_assert(offsetof(KAVR_StartParameters, StepDivisor) == 0);
static_assert(offsetof(KAVR_StartParameters, StepDivisorPadding) == 1);
static_assert(offsetof(KAVR_StartParameters, BacklashCCW) == 4);
static_assert(offsetof(KAVR_StartParameters, AutoBacklash) == 8);
static_assert(offsetof(KAVR_StartParameters, SlowStart) == 12);
static_assert(offsetof(KAVR_StartParameters, WaitSyncIn) == 16);
static_assert(offsetof(KAVR_StartParameters, SyncOutCounterReset) == 20);
static_assert(offsetof(KAVR_StartParameters, ForceBacklash) == 24);
static_assert(offsetof(KAVR_StartParameters, Reserved28) == 28);
