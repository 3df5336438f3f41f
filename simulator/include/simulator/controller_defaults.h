// What a simulated controller is when it leaves the factory: its identity,
// its settings before anything was saved to its flash, and its limits.
#pragma once

#include <string>

#include "contract/records.h"
#include "contract/slots.h"

namespace kavr::sim {

// Init lists the controllers in fixed slots (kavr/slots.h): each serial
// number and version followed by one zero byte.
inline constexpr int kSerialSlot = static_cast<int>(kSerialSlotWidth);
inline constexpr int kVersionSlot = static_cast<int>(kVersionSlotWidth);

// 16 characters, distinct for each index and the same in every run, since
// the flash file is found by it.
std::string SerialNumber(int index);
// 4 characters.
std::string FirmwareVersion(int index);

KAVR_Mode FactoryMode();
KAVR_Parameters FactoryParameters();
KAVR_StartParameters FactoryStartParameters();

// The fastest a move may go, in (micro)steps per second of the divisor: the
// motor turns no faster than 25 revolutions a second of 200 full steps, so
// finer steps allow proportionally more of them.
double MaxSpeed(int stepDivisor);

}  // namespace kavr::sim
