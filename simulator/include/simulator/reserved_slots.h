// The slots of KAVR_Mode and KAVR_Parameters that the program must carry
// without reading. They go out filled with a pattern of non-zero bytes,
// different for each controller, and a record that comes back with any
// other bytes there was not passed through intact.
#pragma once

#include "contract/records.h"

namespace kavr::sim {

void FillReservedSlots(KAVR_Mode& mode, int device);
void FillReservedSlots(KAVR_Parameters& parameters, int device);
bool ReservedSlotsIntact(const KAVR_Mode& mode, int device);
bool ReservedSlotsIntact(const KAVR_Parameters& parameters, int device);
bool ReservedSlotsZero(const KAVR_Mode& mode);
bool ReservedSlotsZero(const KAVR_Parameters& parameters);

}  // namespace kavr::sim
