// A controller library that passes every call to another and tells its
// observers what happened: the transcript (--trace) and the monitor's call
// log. The calls reach the wrapped library exactly as they were made, with
// the caller's own records and buffers.
//
// It also knows whether a call is running. The program has one thread, but a
// driver may run the window system's message loop while it waits for its
// device, and a timer could then fire the monitor's poll in the middle of
// another call (between the read and the write of a button's
// read-modify-write, too, if the read itself ran the loop). The monitor asks
// here first and waits its turn.
//
// Shells: kavrtest, kavrctl, through library_wiring.h; the monitor asks it whether a call runs.
#pragma once

#include <functional>
#include <vector>

#include "device/controller_library.h"
#include "transcript/library_call.h"

namespace kavr {

using CallObserver = std::function<void(const LibraryCall&)>;

class RecordingControllerLibrary : public ControllerLibrary {
 public:
  explicit RecordingControllerLibrary(ControllerLibrary& library) : library_(library) {}

  // Observers are told in the order they were added, after each call.
  void AddObserver(CallObserver observer) { observers_.push_back(std::move(observer)); }

  bool CallInProgress() const { return running_ > 0; }

  ResultCode Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) override;
  ResultCode Start(std::int32_t device, std::int32_t destination, float& speed,
                   KAVR_StartParameters& start) override;
  void GetLastErr(LibraryText& buffer) override;
  KAVR_FOR_EACH_ENTRY(KAVR_LIBRARY_OVERRIDE)
  std::string LibraryLoadFailure() override { return library_.LibraryLoadFailure(); }

 private:
  // A call that names a device and passes one record by reference.
  template <typename Record>
  ResultCode RecordCall(Entry entry, std::int32_t device, Record& record,
                        ResultCode (ControllerLibrary::*method)(std::int32_t, Record&));
  // Times `call` and tells the observers; `after` fills in what came back.
  template <typename Call, typename After>
  auto Observe(LibraryCall& record, Call call, After after);

  ControllerLibrary& library_;
  std::vector<CallObserver> observers_;
  int running_ = 0;
};

}  // namespace kavr
