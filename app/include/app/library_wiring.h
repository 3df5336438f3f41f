// The one place a run's library calls are wired, for every shell: the
// library, the recording library every call goes through, and its
// observers, the transcript (--trace) and the monitor's call log. Shells:
// kavrtest, kavrctl.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/call_log.h"
#include "app/recording_library.h"
#include "app/transcript_file.h"
#include "device/controller_library.h"

namespace kavr {

using LibraryOpener = std::function<std::shared_ptr<ControllerLibrary>()>;

class LibraryWiring {
 public:
  // Opens the transcript on `traceFile` when given ("-" for standard error),
  // then the library through `openLibrary`; every call is told to `log` when
  // given. Null, with the reason in `problem`, when the transcript cannot be
  // opened: nothing is loaded then.
  static std::unique_ptr<LibraryWiring> Build(const std::optional<std::string>& traceFile, CallLog* log,
                                              const LibraryOpener& openLibrary, std::string& problem);

  // What the shell calls.
  RecordingControllerLibrary& Calls() { return recording_; }

  // Why the transcript is incomplete (a line could not be written); empty
  // while it is whole, or when there is none.
  std::string TranscriptProblem() const { return transcript_ ? transcript_->Problem() : std::string(); }

 private:
  LibraryWiring(std::unique_ptr<TranscriptFile> transcript, std::shared_ptr<ControllerLibrary> library,
                CallLog* log);

  std::unique_ptr<TranscriptFile> transcript_;
  std::shared_ptr<ControllerLibrary> library_;
  RecordingControllerLibrary recording_;
};

}  // namespace kavr
