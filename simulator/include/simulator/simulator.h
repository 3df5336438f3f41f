// The simulated controllers behind the eleven library entries. Each method
// is one entry with the entry's own arguments and result, so the exported C
// functions only forward to one instance. Every method may be called from
// any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "kavr/entries.h"
#include "kavr/records.h"
#include "simulator/clock.h"
#include "simulator/motion.h"
#include "simulator/sim_config.h"

namespace kavr::sim {

// Copies `text` into a caller's buffer of `capacity` bytes, cut to
// capacity - 1 bytes and always ended by a zero byte; with no room at all
// (or no buffer) it writes nothing.
void CopyText(const std::string& text, char* buffer, std::int32_t capacity);

class Simulator {
 public:
  // Loads each controller's flash from the configured folder; a flash file
  // that cannot be used is reported through `warn`.
  Simulator(SimulatorConfig config, std::shared_ptr<const Clock> clock,
            WarningSink warn = WarnOnStandardError);

  KAVR_ResultCode Init(std::int32_t* count, char* versions, std::int32_t versions_capacity, char* serials,
                       std::int32_t serials_capacity);
  KAVR_ResultCode GetState(std::int32_t device, KAVR_State* state);
  KAVR_ResultCode GetMode(std::int32_t device, KAVR_Mode* mode);
  KAVR_ResultCode SetMode(std::int32_t device, KAVR_Mode* mode);
  KAVR_ResultCode GetParameters(std::int32_t device, KAVR_Parameters* parameters);
  KAVR_ResultCode SetParameters(std::int32_t device, KAVR_Parameters* parameters);
  KAVR_ResultCode GetStartParameters(std::int32_t device, KAVR_StartParameters* start);
  KAVR_ResultCode Start(std::int32_t device, std::int32_t destination, float* speed,
                        KAVR_StartParameters* start);
  KAVR_ResultCode Stop(std::int32_t device);
  KAVR_ResultCode SaveParametersToFlash(std::int32_t device);
  void GetLastErr(char* buffer, std::int32_t capacity) const;

  std::string LastError() const;
  int DeviceCount() const;

 private:
  struct Controller {
    Controller(int index, Clock::TimePoint now);

    std::string serial;
    std::string version;
    KAVR_Mode mode;
    KAVR_Parameters parameters;
    KAVR_StartParameters start;
    Motion motion;
    bool after_reset = true;
    std::uint8_t step_divisor = 1;
  };

  // Each returns the code to answer with (and sets the last error) when the
  // call cannot go on; kSuccess when it can.
  KAVR_ResultCode Refuse(Entry entry, KAVR_ResultCode code, const std::string& reason);
  KAVR_ResultCode Screen(Entry entry, std::int32_t device, const void* record);
  KAVR_ResultCode InjectedFault(Entry entry);

  double SecondsSinceStart(Clock::TimePoint now) const;

  mutable std::mutex mutex_;
  const SimulatorConfig config_;
  const std::shared_ptr<const Clock> clock_;
  const Clock::TimePoint started_;
  std::vector<Controller> controllers_;
  std::string last_error_;
};

}  // namespace kavr::sim
