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
#include <utility>

#include "transcript/library_call.h"

namespace kavr {

class TranscriptFile {
 public:
  // `path` is UTF-8; "-" writes to standard error. Null, with the reason in
  // `problem`, when the file cannot be opened for writing.
  static std::unique_ptr<TranscriptFile> Open(const std::string& path, std::string& problem);

  // After a write has failed (a full disk, say), the transcript is
  // incomplete: nothing more is written and Problem() says why.
  void Write(const LibraryCall& call);

  // Empty while every line was written; else "Cannot write the transcript
  // FILE: reason".
  const std::string& Problem() const { return problem_; }

 private:
  TranscriptFile(std::string path, std::ostream& out) : path_(std::move(path)), out_(&out) {}
  TranscriptFile(std::string path, std::unique_ptr<std::ofstream> file)
      : path_(std::move(path)), file_(std::move(file)), out_(file_.get()) {}

  std::string path_;
  std::unique_ptr<std::ofstream> file_;
  std::ostream* out_;
  std::string problem_;
};

}  // namespace kavr
