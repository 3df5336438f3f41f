// A controller library that passes every call on and knows whether one is
// running. The program has one thread, but a driver may run the window
// system's message loop while it waits for its device, and a timer could
// then fire the monitor's poll in the middle of another call (between the
// read and the write of a button's read-modify-write, too, if the read
// itself ran the loop). The monitor asks here first and waits its turn.
#pragma once

#include "kavr/controller_library.h"

namespace kavr {

class CallTrackingLibrary : public ControllerLibrary {
 public:
  explicit CallTrackingLibrary(ControllerLibrary& library) : library_(library) {}

  bool CallInProgress() const { return running_ > 0; }

  ResultCode Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) override;
  ResultCode GetState(std::int32_t device, KAVR_State& state) override;
  ResultCode GetMode(std::int32_t device, KAVR_Mode& mode) override;
  ResultCode SetMode(std::int32_t device, KAVR_Mode& mode) override;
  ResultCode GetParameters(std::int32_t device, KAVR_Parameters& parameters) override;
  ResultCode SetParameters(std::int32_t device, KAVR_Parameters& parameters) override;
  ResultCode GetStartParameters(std::int32_t device, KAVR_StartParameters& start) override;
  ResultCode Start(std::int32_t device, std::int32_t destination, float& speed,
                   KAVR_StartParameters& start) override;
  ResultCode Stop(std::int32_t device) override;
  ResultCode SaveParametersToFlash(std::int32_t device) override;
  void GetLastErr(LibraryText& buffer) override;
  std::string LibraryLoadFailure() override { return library_.LibraryLoadFailure(); }

 private:
  template <auto method, typename... Args>
  auto Forward(Args&... args);

  ControllerLibrary& library_;
  int running_ = 0;
};

}  // namespace kavr
