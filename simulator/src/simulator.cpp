#include "simulator/simulator.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "contract/own_result_codes.h"
#include "simulator/controller_defaults.h"
#include "simulator/flash_store.h"
#include "simulator/number_text.h"
#include "simulator/parameter_checks.h"
#include "simulator/reserved_slots.h"

namespace kavr::sim {
namespace {

// Writes each text at its slot, as much of it as fits in `capacity`; the
// rest of the buffer is zeroed so that the caller reads ended strings.
void WriteSlots(const std::vector<std::string>& texts, int slot, char* buffer, std::int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const std::size_t room = static_cast<std::size_t>(capacity);
  std::memset(buffer, 0, room);
  for (std::size_t index = 0; index < texts.size(); ++index) {
    const std::size_t at = index * static_cast<std::size_t>(slot);
    if (at >= room) break;
    std::memcpy(buffer + at, texts[index].data(), std::min(texts[index].size(), room - at));
  }
}

// A slow wander of a couple of degrees with a little faster ripple on top,
// each controller on its own phase: what a controller at rest in a warm
// cabinet shows.
float TemperatureAt(double seconds, int device) {
  const double phase = device * 1.7;
  return static_cast<float>(31.0 + 2.5 * std::sin(2.0 * std::numbers::pi * seconds / 900.0 + phase) +
                            0.4 * std::sin(2.0 * std::numbers::pi * seconds / 47.0 + 2.0 * phase));
}

// A 12 V supply with a little ripple that sags slightly under load.
float InputVoltageAt(double seconds, int device, bool running) {
  return static_cast<float>(12.0 + 0.08 * std::sin(2.0 * std::numbers::pi * seconds / 61.0 + device) -
                            (running ? 0.15 : 0.0));
}

// Zeroed slots are what a record that no read ever filled carries.
std::string ZeroSlotsHint(bool allZero, const char* readEntry) {
  if (!allZero) return {};
  return std::string(" (they are all zero: the record was not filled by a successful ") + readEntry + ")";
}

}  // namespace

void CopyText(const std::string& text, char* buffer, std::int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(capacity) - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

void Simulator::GetLastErr(char* buffer, std::int32_t capacity) const {
  CopyText(state_.lastError, buffer, capacity);
}

KAVR_ResultCode Simulator::Refuse(Entry entry, KAVR_ResultCode code, const std::string& reason) {
  state_.lastError = std::string(EntryName(entry)) + ": " + reason;
  return code;
}

KAVR_ResultCode Simulator::InjectedFault(Entry entry, std::int32_t device) {
  const auto fault = config_.faults.find(entry);
  if (fault == config_.faults.end()) return kSuccess;
  if (config_.faultDevice && device >= 0 && device != *config_.faultDevice) return kSuccess;
  return Refuse(entry, fault->second,
                "injected fault (KAVR_SIM_FAIL), failing with code " + IntText(fault->second));
}

KAVR_ResultCode Simulator::Screen(Entry entry, std::int32_t device, const void* record) {
  if (const auto code = InjectedFault(entry, device)) return code;
  const auto count = static_cast<std::int32_t>(state_.controllers.size());
  if (device < 0 || device >= count) {
    const std::string known =
        count == 0   ? "no controllers are attached"
        : count == 1 ? "1 controller is attached, index 0"
                     : IntText(count) + " controllers are attached, index 0 to " + IntText(count - 1);
    return Refuse(entry, kBadDevice, "device index " + IntText(device) + " is out of range (" + known + ")");
  }
  if (record == nullptr) return Refuse(entry, kNullPointer, "the record pointer is null");
  return kSuccess;
}

ControllerRig Simulator::RigOf(std::int32_t device) const {
  if (!config_.rig || config_.rig->Unattached(DeviceCount())) return {};
  return config_.rig->For(SerialNumber(device));
}

ControllerState& Simulator::Live(std::int32_t device) {
  ControllerState& controller = Controller(device);
  AdvanceRig(controller, RigOf(device), clock_.Now());
  return controller;
}

KAVR_ResultCode Simulator::Init(std::int32_t* count, char* versions, std::int32_t versionsCapacity,
                                char* serials, std::int32_t serialsCapacity) {
  if (const auto code = InjectedFault(Entry::Init, -1)) return code;
  if (count == nullptr) return Refuse(Entry::Init, kNullPointer, "the count pointer is null");
  if (versions == nullptr && versionsCapacity > 0) {
    return Refuse(Entry::Init, kNullPointer, "the version buffer is null");
  }
  if (serials == nullptr && serialsCapacity > 0) {
    return Refuse(Entry::Init, kNullPointer, "the serial number buffer is null");
  }
  std::vector<std::string> versionTexts;
  std::vector<std::string> serialTexts;
  for (int index = 0; index < DeviceCount(); ++index) {
    versionTexts.push_back(FirmwareVersion(index));
    serialTexts.push_back(SerialNumber(index));
  }
  WriteSlots(versionTexts, kVersionSlot, versions, versionsCapacity);
  WriteSlots(serialTexts, kSerialSlot, serials, serialsCapacity);
  *count = DeviceCount();
  return kSuccess;
}

KAVR_ResultCode Simulator::GetState(std::int32_t device, KAVR_State* state) {
  if (const auto code = Screen(Entry::GetState, device, state)) return code;
  const ControllerState& controller = Live(device);
  const ControllerRig rig = RigOf(device);
  const Clock::TimePoint now = clock_.Now();
  const MotionSample motion = controller.motion.At(now);
  const double seconds = SecondsBetween(state_.poweredOn, now);
  const bool powerOn = !IsSet(controller.mode.PowerOff) && !controller.wear.emergencyPushed;
  // With current reduction on, a motor at rest drops to half power once the
  // reduction timeout has passed.
  const double restingMs = controller.motion.SecondsAtRest(now) * 1000.0;
  const bool reduced = IsSet(controller.mode.CurrentReduction) && !motion.running &&
                       restingMs >= controller.parameters.PowerReductionTimeout;

  KAVR_State filled;
  filled.CurrentPosition = motion.position;
  filled.Temperature =
      static_cast<float>(rig.temperature.value_or(TemperatureAt(seconds, device)) + controller.wear.heat);
  filled.StepDivisor = controller.stepDivisor;
  filled.LoftIndefinite = ToFlag(false);
  filled.FullPower = ToFlag(powerOn && !reduced);
  filled.DirectionCCW = ToFlag(motion.counterClockwise);
  filled.PowerOn = ToFlag(powerOn);
  filled.FullSpeed = ToFlag(motion.fullSpeed);
  filled.AfterReset = ToFlag(controller.afterReset);
  filled.Running = ToFlag(motion.running);
  filled.RotaryError = ToFlag(controller.wear.rotaryError);
  filled.EmergencyPushed = ToFlag(controller.wear.emergencyPushed);
  filled.Trailer1Pushed = ToFlag(TrailerPushed(rig, controller.mode, 1, motion.position));
  filled.Trailer2Pushed = ToFlag(TrailerPushed(rig, controller.mode, 2, motion.position));
  const auto supply = motion.running && rig.supplyUnderLoad ? rig.supplyUnderLoad : rig.supply;
  filled.InputVoltage =
      supply ? static_cast<float>(*supply) : InputVoltageAt(seconds, device, motion.running);
  *state = filled;
  return kSuccess;
}

KAVR_ResultCode Simulator::GetMode(std::int32_t device, KAVR_Mode* mode) {
  if (const auto code = Screen(Entry::GetMode, device, mode)) return code;
  KAVR_Mode handedOut = Controller(device).mode;
  FillReservedSlots(handedOut, device);
  *mode = handedOut;
  return kSuccess;
}

KAVR_ResultCode Simulator::SetMode(std::int32_t device, KAVR_Mode* mode) {
  if (const auto code = Screen(Entry::SetMode, device, mode)) return code;
  if (!ReservedSlotsIntact(*mode, device)) {
    return Refuse(Entry::SetMode, kReservedSlotsChanged,
                  "the not-read slots of KAVR_Mode (bytes 80 to 103) differ from what _KAVRVB_GetMode handed "
                  "out; pass them back unchanged" +
                      ZeroSlotsHint(ReservedSlotsZero(*mode), "_KAVRVB_GetMode"));
  }
  if (const auto problem = ModeProblem(*mode)) return Refuse(Entry::SetMode, kInvalidValue, *problem);
  ControllerState& controller = Live(device);
  const bool wasOn = !IsSet(controller.mode.PowerOff);
  controller.mode = *mode;
  if (IsSet(mode->ResetRotaryCheck)) controller.wear.rotaryError = false;
  ApplyKeptFields(config_.kept, controller.mode);
  // A motor without power cannot hold or finish a move.
  if (wasOn && IsSet(mode->PowerOff)) controller.motion.Halt(clock_.Now());
  return kSuccess;
}

KAVR_ResultCode Simulator::GetParameters(std::int32_t device, KAVR_Parameters* parameters) {
  if (const auto code = Screen(Entry::GetParameters, device, parameters)) return code;
  KAVR_Parameters handedOut = Controller(device).parameters;
  FillReservedSlots(handedOut, device);
  *parameters = handedOut;
  return kSuccess;
}

KAVR_ResultCode Simulator::SetParameters(std::int32_t device, KAVR_Parameters* parameters) {
  if (const auto code = Screen(Entry::SetParameters, device, parameters)) return code;
  if (!ReservedSlotsIntact(*parameters, device)) {
    return Refuse(Entry::SetParameters, kReservedSlotsChanged,
                  "the not-read slots of KAVR_Parameters (bytes 32 to 35, 58 to 63 and 80 to 99) differ from "
                  "what _KAVRVB_GetParameters handed out; pass them back unchanged" +
                      ZeroSlotsHint(ReservedSlotsZero(*parameters), "_KAVRVB_GetParameters"));
  }
  if (const auto problem = ParametersProblem(*parameters)) {
    return Refuse(Entry::SetParameters, kInvalidValue, *problem);
  }
  Controller(device).parameters = *parameters;
  ApplyKeptFields(config_.kept, Controller(device).parameters);
  return kSuccess;
}

KAVR_ResultCode Simulator::GetStartParameters(std::int32_t device, KAVR_StartParameters* start) {
  if (const auto code = Screen(Entry::GetStartParameters, device, start)) return code;
  *start = Controller(device).start;
  return kSuccess;
}

KAVR_ResultCode Simulator::Start(std::int32_t device, std::int32_t destination, float* speed,
                                 KAVR_StartParameters* start) {
  if (const auto code = Screen(Entry::Start, device, start)) return code;
  if (speed == nullptr) return Refuse(Entry::Start, kNullPointer, "the speed pointer is null");
  ControllerState& controller = Live(device);
  if (controller.wear.emergencyPushed) {
    return Refuse(Entry::Start, kPowerOff,
                  "cannot start: the emergency button is pushed (EmergencyPushed); it stays pushed until the "
                  "controller is power-cycled");
  }
  if (IsSet(controller.mode.PowerOff)) {
    return Refuse(Entry::Start, kPowerOff,
                  "cannot start: the motor power is off (PowerOff is set in the mode)");
  }
  const int divisor = start->StepDivisor;
  if (!IsStepDivisor(divisor)) {
    return Refuse(Entry::Start, kInvalidValue,
                  "StepDivisor must be 1, 2, 4 or 8 (got " + IntText(divisor) + ")");
  }
  if (!std::isfinite(*speed) || !(*speed > 0.0f)) {
    return Refuse(
        Entry::Start, kInvalidValue,
        "the speed must be a positive finite number of steps per second (got " + FloatText(*speed) + ")");
  }
  const auto fastest = static_cast<float>(MaxSpeed(divisor));
  if (*speed > fastest) *speed = fastest;

  const motion::MoveProfile profile = motion::ProfileOf(controller.parameters, *start, *speed);
  const ControllerRig rig = RigOf(device);
  // A worn or overloaded axis runs slower than it was asked to.
  const double slowing = 1.0 - rig.slowBy.value_or(0.0);
  const Clock::TimePoint now = clock_.Now();
  controller.motion.MoveTo(now, destination, profile.speed * slowing, profile.accelerationMs,
                           profile.decelerationMs);
  if (rig.emergencyAfterMs && !controller.wear.emergencyUsed) {
    controller.wear.emergencyUsed = true;
    controller.wear.emergencyAt = now + std::chrono::duration_cast<Clock::TimePoint::duration>(
                                            std::chrono::duration<double, std::milli>(*rig.emergencyAfterMs));
  }
  controller.afterReset = false;
  controller.stepDivisor = static_cast<std::uint8_t>(divisor);
  controller.start = *start;
  return kSuccess;
}

KAVR_ResultCode Simulator::Stop(std::int32_t device) {
  // Stop takes no record; any non-null address passes the record check.
  if (const auto code = Screen(Entry::Stop, device, this)) return code;
  ControllerState& controller = Live(device);
  controller.motion.Stop(clock_.Now(),
                         motion::ProfileOf(controller.parameters, controller.start, 0.0).decelerationMs);
  return kSuccess;
}

KAVR_ResultCode Simulator::SaveParametersToFlash(std::int32_t device) {
  if (const auto code = Screen(Entry::SaveParametersToFlash, device, this)) return code;
  const std::string serial = SerialNumber(device);
  // A flash that loses what it is given still answers success.
  if (RigOf(device).flashLost.value_or(false)) return kSuccess;
  if (auto problem = WriteFlash(config_.flashDir, serial, Controller(device).parameters)) {
    return Refuse(Entry::SaveParametersToFlash, kFlashFailure,
                  "the parameters of " + serial + " were not saved: " + *problem);
  }
  return kSuccess;
}

}  // namespace kavr::sim
