#include "app/actions.h"

#include "app/typed_numbers.h"
#include "reports/reports.h"

namespace kavr {
namespace {

// True when the call succeeded; otherwise the user has seen why.
bool Succeeded(ResultCode result, ControllerLibrary& library, ReportDisplay& display) {
  if (result == 0) return true;
  PrintLastError(library, display);
  return false;
}

// Shows `Field: "text" problem` when a conversion failed.
template <typename T>
bool Converted(const std::optional<T>& number, const char* field, const std::string& text,
               const std::string& problem, ReportDisplay& display) {
  if (number) return true;
  display.ShowRefusal(std::string(field) + ": \"" + text + "\" " + problem, kStartInputTitle);
  return false;
}

}  // namespace

void StateAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                 std::string_view decimalSeparator) {
  KAVR_State state{};
  if (!Succeeded(library.GetState(device, state), library, display)) return;
  PrintState(state, decimalSeparator, display);
}

void StopAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device) {
  if (!Succeeded(library.Stop(device), library, display)) return;
  display.ShowReport(kStopPrompt, kStopTitle);
}

void SaveParametersAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device) {
  if (!Succeeded(library.SaveParametersToFlash(device), library, display)) return;
  display.ShowReport(kSavePrompt, kSaveTitle);
}

void LastErrorAction(ControllerLibrary& library, ReportDisplay& display) { PrintLastError(library, display); }

void PowerAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                 const PowerControls& controls, std::string_view decimalSeparator) {
  KAVR_Mode mode{};
  if (!Succeeded(library.GetMode(device, mode), library, display)) return;
  mode.PowerOff = ToFlag(!IsChecked(controls.power));
  if (!Succeeded(library.SetMode(device, mode), library, display)) return;
  PrintMode(mode, decimalSeparator, display);
}

void ModeAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                const ModeControls& controls, std::string_view decimalSeparator) {
  KAVR_Mode mode{};
  if (!Succeeded(library.GetMode(device, mode), library, display)) return;
  mode.Trailer1Enabled = ToFlag(true);
  mode.Trailer2Enabled = ToFlag(true);
  mode.PowerOff = ToFlag(!IsChecked(controls.power));
  mode.TrailersSwapped = ToFlag(IsChecked(controls.trailersSwap));
  if (!Succeeded(library.SetMode(device, mode), library, display)) return;
  PrintMode(mode, decimalSeparator, display);
}

void ParametersAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                      std::string_view decimalSeparator) {
  KAVR_Parameters parameters{};
  if (!Succeeded(library.GetParameters(device, parameters), library, display)) return;
  parameters.ButtonTimeout1 = 1000.0f;
  if (!Succeeded(library.SetParameters(device, parameters), library, display)) return;
  PrintParameters(parameters, decimalSeparator, display);
}

void StartAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                 const StartControls& controls) {
  KAVR_StartParameters start{};
  std::int32_t destination = 0;
  float speed = 0.0f;
  if (!Succeeded(library.GetStartParameters(device, start), library, display)) return;

  std::string problem;
  const std::optional<std::uint8_t> divisor = ReadStepDivisor(controls.stepDivisor, problem);
  if (!Converted(divisor, "Step Divisor", controls.stepDivisor, problem, display)) return;
  start.StepDivisor = *divisor;

  const std::optional<std::int32_t> typedDestination =
      ReadDestination(controls.destination, controls.decimalSeparator, problem);
  if (!Converted(typedDestination, "DestPos", controls.destination, problem, display)) return;
  destination = *typedDestination;

  const std::optional<float> typedSpeed = ReadSpeed(controls.speed, controls.decimalSeparator, problem);
  if (!Converted(typedSpeed, "Speed", controls.speed, problem, display)) return;
  speed = *typedSpeed;

  // The library may lower the speed through its reference; the report shows
  // what it left there.
  if (!Succeeded(library.Start(device, destination, speed, start), library, display)) return;
  PrintStart(destination, speed, start, controls.decimalSeparator, display);
}

}  // namespace kavr
