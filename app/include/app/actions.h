// What the test window's eight buttons do, kept apart from the widgets: each
// action gets the library, the display and the control values it reads, so
// it runs the same under a test as under a click.
//
// Every action builds its record from zero, tests each result code right
// after its call, shows a failure through the library's last error text,
// and shows its report only when its last call succeeded. A failed read ends
// its action: writing back a record that was never read would overwrite the
// controller's settings (or start a move) with values nobody chose.
//
// Shells: kavrtest (the test window), kavrctl.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "device/controller_library.h"
#include "reports/show_report.h"

namespace kavr {

// A check box as the window reads it. Only kChecked counts as checked; a
// grayed box is as good as an unchecked one.
enum class BoxState { kUnchecked, kChecked, kGrayed };

constexpr bool IsChecked(BoxState box) { return box == BoxState::kChecked; }

// The boxes each mode-writing action reads; neither sees the other's power box.
struct PowerControls {
  BoxState power = BoxState::kUnchecked;  // ChPower(1)
};

struct ModeControls {
  BoxState power = BoxState::kUnchecked;         // ChPower(0)
  BoxState trailersSwap = BoxState::kUnchecked;  // ChTrSwap(0)
};

// The start group's texts as typed (UTF-8), and the decimal separator of the
// notation they are read in and its report is printed in.
struct StartControls {
  std::string stepDivisor;  // Combo1
  std::string destination;  // TDP
  std::string speed;        // TSP
  std::string decimalSeparator = ".";
};

// Titles and prompts the actions show themselves (reports carry their own).
inline constexpr const char* kStopTitle = "KAVR_Stop Successful";
inline constexpr const char* kStopPrompt = "Should be Stoped";
inline constexpr const char* kSaveTitle = "KAVR_SaveParametersToFlash Successful";
inline constexpr const char* kSavePrompt = "Parameters Should be Saved";
inline constexpr const char* kStartInputTitle = "KAVR_Start";

// Actions that show a record print its numbers with `decimalSeparator`.
void StateAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                 std::string_view decimalSeparator);
void StopAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device);
void SaveParametersAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device);
void LastErrorAction(ControllerLibrary& library, ReportDisplay& display);

// Writes PowerOff from ChPower(1) and nothing else.
void PowerAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                 const PowerControls& controls, std::string_view decimalSeparator);

// Enables both trailers, writes PowerOff from ChPower(0) and TrailersSwapped
// from ChTrSwap(0).
void ModeAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                const ModeControls& controls, std::string_view decimalSeparator);

// Writes ButtonTimeout1 = 1000 ms.
void ParametersAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                      std::string_view decimalSeparator);

// Reads the start parameters, then converts the divisor, the destination and
// the speed in that order; the first text that does not convert is named in
// a box titled kStartInputTitle and no move is started.
void StartAction(ControllerLibrary& library, ReportDisplay& display, std::int32_t device,
                 const StartControls& controls);

}  // namespace kavr
