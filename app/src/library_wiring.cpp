#include "app/library_wiring.h"

#include <utility>

namespace kavr {

LibraryWiring::LibraryWiring(std::unique_ptr<TranscriptFile> transcript,
                             std::shared_ptr<ControllerLibrary> library, CallLog* log)
    : transcript_(std::move(transcript)), library_(std::move(library)), recording_(*library_) {
  if (log != nullptr) recording_.AddObserver([log](const LibraryCall& call) { log->Add(call); });
  if (transcript_) {
    recording_.AddObserver([file = transcript_.get()](const LibraryCall& call) { file->Write(call); });
  }
}

std::unique_ptr<LibraryWiring> LibraryWiring::Build(const std::optional<std::string>& traceFile, CallLog* log,
                                                    const LibraryOpener& openLibrary, std::string& problem) {
  std::unique_ptr<TranscriptFile> transcript;
  if (traceFile) {
    transcript = TranscriptFile::Open(*traceFile, problem);
    if (!transcript) return nullptr;
  }
  return std::unique_ptr<LibraryWiring>(new LibraryWiring(std::move(transcript), openLibrary(), log));
}

}  // namespace kavr
