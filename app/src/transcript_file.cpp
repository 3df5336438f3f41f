#include "app/transcript_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

namespace kavr {

std::unique_ptr<TranscriptFile> TranscriptFile::Open(const std::string& path, std::string& problem) {
  if (path == "-") return std::unique_ptr<TranscriptFile>(new TranscriptFile(path, std::cerr));
  const std::filesystem::path file(std::u8string(path.begin(), path.end()));
  errno = 0;
  auto stream = std::make_unique<std::ofstream>(file, std::ios::out | std::ios::trunc | std::ios::binary);
  if (!stream->is_open()) {
    problem =
        "Cannot write the transcript " + path + (errno != 0 ? ": " + std::string(std::strerror(errno)) : "");
    return nullptr;
  }
  return std::unique_ptr<TranscriptFile>(new TranscriptFile(path, std::move(stream)));
}

void TranscriptFile::Write(const LibraryCall& call) {
  if (!problem_.empty()) return;
  errno = 0;
  *out_ << TranscriptLine(call) << '\n';
  out_->flush();
  if (*out_) return;
  problem_ = "Cannot write the transcript " + (path_ == "-" ? std::string("to standard error") : path_) +
             (errno != 0 ? ": " + std::string(std::strerror(errno)) : "");
}

}  // namespace kavr
