// One run's dealings with the controller library: opening it (with the
// transcript when asked), listing and choosing the controller, and turning
// a failed call into the run's exit code and message.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/library_wiring.h"
#include "app/selection.h"
#include "contract/entry_names.h"
#include "device/controller_library.h"
#include "kavrctl.h"
#include "request.h"

namespace kavr::cli {

// What Init handed back.
struct DeviceList {
  std::int32_t count = 0;
  LibraryText versions = EmptyLibraryText();
  LibraryText serials = EmptyLibraryText();
};

class Session {
 public:
  Session(const Request& request, const LibraryFactory& openLibrary)
      : request_(request), openLibrary_(openLibrary) {}

  // Opened at the first use, so that a run refused before that loads nothing.
  ControllerLibrary& Library();

  // Init's list. Throws a Failure when Init fails or lists nothing.
  DeviceList Devices();
  // The chosen controller's 0-based index. Throws a Failure when it is not
  // found or not chosen; the message then lists the controllers.
  std::int32_t Device() { return Chosen().DeviceIndex; }
  // The same choice as the selection value the window's programs pass on.
  Selection Chosen();
  // The controller of `list` numbered `number` or with `serial` (with
  // neither, the only one attached), thrown as Device() throws.
  Selection Choose(const DeviceList& list, std::optional<std::int64_t> number,
                   const std::optional<std::string>& serial);

  // Throws the Failure for a nonzero result code.
  void Check(Entry entry, ResultCode result);
  // What the failure of `entry` with `result` is reported as.
  std::string FailureText(Entry entry, ResultCode result);

  // The call that made Check throw last, with the library's last-error
  // text, for a caller that reports it field by field (kavrctl serve).
  struct FailedCall {
    Entry entry;
    ResultCode result;
    std::string lastError;
  };
  const std::optional<FailedCall>& LastFailedCall() const { return failedCall_; }
  void ForgetFailedCall() { failedCall_.reset(); }

  // A library that would not load, or a call that never reached it.
  bool LibraryUnavailable(ResultCode result);

  // Throws the kOutputFailed Failure once a transcript line could not be
  // written.
  void CheckTranscript() const;

 private:
  const Request& request_;
  const LibraryFactory& openLibrary_;
  std::unique_ptr<LibraryWiring> wiring_;
  std::optional<FailedCall> failedCall_;
  std::string lastErrorText_;  // as FailureText found it
};

}  // namespace kavr::cli
