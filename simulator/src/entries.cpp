// The eleven exported entries: each one forwards to the single simulator
// that the latest _KAVRVB_Init created. Loading the library does no work;
// the simulator (and its reading of the environment and the flash files)
// comes to life at _KAVRVB_Init, and a second _KAVRVB_Init starts afresh
// from the environment as it is then.
#define KAVR_BUILDING_LIBRARY 1

#include "kavr/entries.h"

#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "simulator/clock.h"
#include "simulator/result_codes.h"
#include "simulator/sim_config.h"
#include "simulator/simulator.h"

namespace {

using kavr::sim::Entry;
using kavr::sim::Simulator;

struct Library {
  std::mutex mutex;
  std::unique_ptr<Simulator> simulator;
  // The last error of a call that found no simulator to answer it.
  std::string own_error;
};

// Built at the first call, not when the library is loaded.
Library& TheLibrary() {
  static Library library;
  return library;
}

// No exception may cross into the caller, which is not C++.
template <typename Call>
KAVR_ResultCode Forward(Entry entry, Call call) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  try {
    if (!library.simulator) {
      library.own_error = std::string(kavr::sim::EntryName(entry)) +
                          ": no controllers are known yet; call _KAVRVB_Init first";
      return kavr::sim::kNotInitialised;
    }
    const KAVR_ResultCode code = call(*library.simulator);
    // The simulator's text is now the newer failure.
    if (code != kavr::sim::kSuccess) library.own_error.clear();
    return code;
  } catch (const std::exception& error) {
    library.own_error = std::string(kavr::sim::EntryName(entry)) + ": internal error: " + error.what();
  } catch (...) {
    library.own_error = std::string(kavr::sim::EntryName(entry)) + ": internal error";
  }
  return kavr::sim::kInternalError;
}

}  // namespace

extern "C" {

KAVR_ResultCode KAVR_CALL _KAVRVB_Init(int32_t* count, char* versions, int32_t versions_capacity,
                                       char* serials, int32_t serials_capacity) {
  Library& library = TheLibrary();
  {
    std::lock_guard lock(library.mutex);
    try {
      auto config = kavr::sim::ReadConfig(kavr::sim::ProcessEnvironment(), kavr::sim::WarnOnStandardError);
      library.simulator = std::make_unique<Simulator>(
          std::move(config), std::make_shared<kavr::sim::SteadyClock>(), kavr::sim::WarnOnStandardError);
      library.own_error.clear();
    } catch (const std::exception& error) {
      library.simulator.reset();
      library.own_error = std::string("_KAVRVB_Init: internal error: ") + error.what();
      return kavr::sim::kInternalError;
    }
  }
  return Forward(Entry::Init, [&](Simulator& simulator) {
    return simulator.Init(count, versions, versions_capacity, serials, serials_capacity);
  });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_GetState(int32_t device, struct KAVR_State* state) {
  return Forward(Entry::GetState, [&](Simulator& simulator) { return simulator.GetState(device, state); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_GetMode(int32_t device, struct KAVR_Mode* mode) {
  return Forward(Entry::GetMode, [&](Simulator& simulator) { return simulator.GetMode(device, mode); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_SetMode(int32_t device, struct KAVR_Mode* mode) {
  return Forward(Entry::SetMode, [&](Simulator& simulator) { return simulator.SetMode(device, mode); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_GetParameters(int32_t device, struct KAVR_Parameters* parameters) {
  return Forward(Entry::GetParameters,
                 [&](Simulator& simulator) { return simulator.GetParameters(device, parameters); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_SetParameters(int32_t device, struct KAVR_Parameters* parameters) {
  return Forward(Entry::SetParameters,
                 [&](Simulator& simulator) { return simulator.SetParameters(device, parameters); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_GetStartParameters(int32_t device, struct KAVR_StartParameters* start) {
  return Forward(Entry::GetStartParameters,
                 [&](Simulator& simulator) { return simulator.GetStartParameters(device, start); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_Start(int32_t device, int32_t destination, float* speed,
                                        struct KAVR_StartParameters* start) {
  return Forward(Entry::Start,
                 [&](Simulator& simulator) { return simulator.Start(device, destination, speed, start); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_Stop(int32_t device) {
  return Forward(Entry::Stop, [&](Simulator& simulator) { return simulator.Stop(device); });
}

KAVR_ResultCode KAVR_CALL _KAVRVB_SaveParametersToFlash(int32_t device) {
  return Forward(Entry::SaveParametersToFlash,
                 [&](Simulator& simulator) { return simulator.SaveParametersToFlash(device); });
}

void KAVR_CALL _KAVRVB_GetLastErr(char* buffer, int32_t capacity) {
  Library& library = TheLibrary();
  std::lock_guard lock(library.mutex);
  try {
    if (!library.own_error.empty() || !library.simulator) {
      kavr::sim::CopyText(library.own_error, buffer, capacity);
    } else {
      library.simulator->GetLastErr(buffer, capacity);
    }
  } catch (...) {
    // Nothing to report the failure to; the buffer keeps what it held.
  }
}

}  // extern "C"
