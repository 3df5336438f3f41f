#include "transcript_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "device/shared_library.h"
#include "platform.h"
#include "transcript/clock_text.h"
#include "transcript/input_file.h"

namespace kavr::recorder {
namespace {

constexpr const char* kFileVariable = "KAVR_RECORD_FILE";

std::string ErrnoText() { return errno != 0 ? std::string(": ") + std::strerror(errno) : std::string(); }

bool OpenForAppending(std::ofstream& out, const std::filesystem::path& path) {
  errno = 0;
  out.open(path, std::ios::out | std::ios::app | std::ios::binary);
  return out.is_open();
}

}  // namespace

std::string DefaultTranscriptName(std::chrono::system_clock::time_point now, long processId) {
  const std::tm parts = LocalTimeParts(std::chrono::system_clock::to_time_t(now));
  char name[96];
  std::snprintf(name, sizeof name, "kavr-calls-%04d%02d%02d-%02d%02d%02d-%ld.log", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, processId);
  return name;
}

void TranscriptWriter::Open() {
  opened_ = true;
  if (auto chosen = EnvironmentPath(kFileVariable)) {
    path_ = *chosen;
    // A FIFO would block the program at its first call, a device swallow or
    // refuse the lines: only a file (or a name for a new one) is taken.
    if (const auto notFile = NotRegularFile(path_)) {
      NoteFailure("cannot open the transcript " + detail::PathText(path_) + " (" + kFileVariable + "): it " +
                  *notFile);
      return;
    }
    if (!OpenForAppending(out_, path_)) {
      NoteFailure("cannot open the transcript " + detail::PathText(path_) + " (" + kFileVariable + ")" +
                  ErrnoText());
    }
    return;
  }
  const std::string name = DefaultTranscriptName(std::chrono::system_clock::now(), ProcessId());
  // Beside the library, or the user's data folder where that one is not
  // writable (a library under Program Files, say).
  std::string reasons;
  for (const std::filesystem::path& folder : {besideLibrary_, UserDataFolder()}) {
    if (folder.empty()) continue;
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    path_ = folder / name;
    if (OpenForAppending(out_, path_)) return;
    reasons += (reasons.empty() ? "" : "; ") + detail::PathText(path_) + ErrnoText();
  }
  NoteFailure("cannot open a transcript: " + (reasons.empty() ? "no folder to put it in" : reasons));
}

void TranscriptWriter::Write(const LibraryCall& call) {
  const std::string line = TranscriptLine(call) + '\n';
  std::lock_guard lock(writing_);
  if (!opened_) Open();
  if (!out_.is_open()) return;
  errno = 0;
  out_.write(line.data(), static_cast<std::streamsize>(line.size()));
  out_.flush();
  if (!out_) {
    NoteFailure("cannot write to the transcript " + detail::PathText(path_) + ErrnoText());
    // Try again with the next line: the disk may have room by then.
    out_.clear();
  }
}

void TranscriptWriter::NoteFailure(const std::string& what) {
  if (std::exchange(failureNoted_, true)) return;
  const std::string text = "KAVRVBDLL recorder: " + what + ". The calls go on, unrecorded.\n";
  // Beside the transcript, unless that is a device or a FIFO: never
  // /dev/full.err.
  std::error_code error;
  const auto type = std::filesystem::status(path_, error).type();
  const bool besideIt = type == std::filesystem::file_type::regular ||
                        type == std::filesystem::file_type::directory ||
                        type == std::filesystem::file_type::not_found;
  if (!path_.empty() && besideIt) {
    std::filesystem::path note = path_;
    note += ".err";
    std::ofstream out(note, std::ios::out | std::ios::app | std::ios::binary);
    out << text;
    out.flush();
    if (out) return;
  }
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

}  // namespace kavr::recorder
