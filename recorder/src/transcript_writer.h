// The recorder's transcript: one line per call in the programs' own --trace
// form, appended and flushed as the call returns, so that a calling program
// that dies leaves every call it made on record. Lines from several threads
// never mix: the writing of a line is the one thing serialized.
//
// Whatever happens to the file, the calls go on unchanged: a failure is
// noted once, in a .err file beside the transcript or else on standard error.
#pragma once

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "transcript/library_call.h"

namespace kavr::recorder {

// kavr-calls-YYYYMMDD-HHMMSS-PID.log for the local time `now`.
std::string DefaultTranscriptName(std::chrono::system_clock::time_point now, long processId);

class TranscriptWriter {
 public:
  // `besideLibrary`: the recorder's folder, where a transcript goes by default.
  explicit TranscriptWriter(std::filesystem::path besideLibrary) : besideLibrary_(std::move(besideLibrary)) {}

  void Write(const LibraryCall& call);

 private:
  // The file is chosen and opened at the first line, with the lock held.
  void Open();
  void NoteFailure(const std::string& what);

  const std::filesystem::path besideLibrary_;
  std::mutex writing_;
  bool opened_ = false;
  bool failureNoted_ = false;
  std::filesystem::path path_;
  std::ofstream out_;
};

}  // namespace kavr::recorder
