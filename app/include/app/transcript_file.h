// The transcript of every library call (--trace FILE): one line per call,
// written and flushed as the call returns, so that a program that dies
// leaves every call it made on record.
//
// Shells: kavrtest, kavrctl (--trace), through library_wiring.h.
#pragma once

#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include "app/library_call.h"

namespace kavr {

class TranscriptFile {
 public:
  // `path` is UTF-8; "-" writes to standard error. Null, with the reason in
  // `error`, when the file cannot be opened for writing.
  static std::unique_ptr<TranscriptFile> Open(const std::string& path, std::string& error);

  void Write(const LibraryCall& call);

 private:
  explicit TranscriptFile(std::ostream& out) : out_(&out) {}
  explicit TranscriptFile(std::unique_ptr<std::ofstream> file) : file_(std::move(file)), out_(file_.get()) {}

  std::unique_ptr<std::ofstream> file_;
  std::ostream* out_;
};

}  // namespace kavr
