#include "app/call_tracking_library.h"

namespace kavr {

template <auto method, typename... Args>
auto CallTrackingLibrary::Forward(Args&... args) {
  struct Running {
    int& count;
    explicit Running(int& c) : count(++c) {}
    ~Running() { --count; }
  } running(running_);
  return (library_.*method)(args...);
}

ResultCode CallTrackingLibrary::Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) {
  return Forward<&ControllerLibrary::Init>(count, versions, serials);
}

ResultCode CallTrackingLibrary::GetState(std::int32_t device, KAVR_State& state) {
  return Forward<&ControllerLibrary::GetState>(device, state);
}

ResultCode CallTrackingLibrary::GetMode(std::int32_t device, KAVR_Mode& mode) {
  return Forward<&ControllerLibrary::GetMode>(device, mode);
}

ResultCode CallTrackingLibrary::SetMode(std::int32_t device, KAVR_Mode& mode) {
  return Forward<&ControllerLibrary::SetMode>(device, mode);
}

ResultCode CallTrackingLibrary::GetParameters(std::int32_t device, KAVR_Parameters& parameters) {
  return Forward<&ControllerLibrary::GetParameters>(device, parameters);
}

ResultCode CallTrackingLibrary::SetParameters(std::int32_t device, KAVR_Parameters& parameters) {
  return Forward<&ControllerLibrary::SetParameters>(device, parameters);
}

ResultCode CallTrackingLibrary::GetStartParameters(std::int32_t device, KAVR_StartParameters& start) {
  return Forward<&ControllerLibrary::GetStartParameters>(device, start);
}

ResultCode CallTrackingLibrary::Start(std::int32_t device, std::int32_t destination, float& speed,
                                      KAVR_StartParameters& start) {
  return Forward<&ControllerLibrary::Start>(device, destination, speed, start);
}

ResultCode CallTrackingLibrary::Stop(std::int32_t device) {
  return Forward<&ControllerLibrary::Stop>(device);
}

ResultCode CallTrackingLibrary::SaveParametersToFlash(std::int32_t device) {
  return Forward<&ControllerLibrary::SaveParametersToFlash>(device);
}

void CallTrackingLibrary::GetLastErr(LibraryText& buffer) { Forward<&ControllerLibrary::GetLastErr>(buffer); }

}  // namespace kavr
