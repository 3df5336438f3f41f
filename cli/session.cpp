#include "session.h"

#include <filesystem>

#include "app/call_failure.h"
#include "app/device_choice.h"
#include "app/device_list.h"
#include "app/device_selection.h"
#include "app/terminal_text.h"
#include "device/dynamic_controller_library.h"
#include "output.h"
#include "reports/reports.h"
#include "transcript/input_file.h"

namespace kavr::cli {
namespace {

std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

// Never a relative path: the loader would look for it in the current folder.
std::filesystem::path AbsoluteLibraryFile(const std::string& utf8) {
  std::error_code error;
  std::filesystem::path file = std::filesystem::absolute(PathOf(utf8), error);
  if (error) {
    throw Failure{kLibraryNotLoaded, "Cannot load the controller library " + utf8 +
                                         ": its full path is unknown (" + error.message() + ")"};
  }
  // A FIFO or a device would block the loader or feed it forever.
  if (const auto notFile = NotRegularFile(file)) {
    throw Failure{kLibraryNotLoaded, "Cannot load the controller library " + utf8 + ": it " + *notFile};
  }
  return file;
}

std::string ListText(const DeviceList& list) {
  std::string text;
  for (const std::string& line : DeviceLines(list.count, list.serials, list.versions)) {
    text += '\n';
    text += TerminalSafe(line);
  }
  return text;
}

}  // namespace

ControllerLibrary& Session::Library() {
  if (wiring_) return wiring_->Calls();
  std::string problem;
  wiring_ = LibraryWiring::Build(
      request_.traceFile, nullptr,
      [this] {
        std::optional<std::filesystem::path> file;
        if (request_.libraryFile) file = AbsoluteLibraryFile(*request_.libraryFile);
        return openLibrary_(file);
      },
      problem);
  if (!wiring_) throw Failure{kBadUsage, problem};
  return wiring_->Calls();
}

void Session::CheckTranscript() const {
  if (wiring_ && !wiring_->TranscriptProblem().empty())
    throw Failure{kOutputFailed, wiring_->TranscriptProblem()};
}

bool Session::LibraryUnavailable(ResultCode result) { return LibraryGone(Library(), result); }

std::string Session::FailureText(Entry entry, ResultCode result) {
  FailedCallWords words = DescribeFailedCall(Library(), entry, result);
  lastErrorText_ = std::move(words.lastError);
  return std::move(words.text);
}

void Session::Check(Entry entry, ResultCode result) {
  if (result == 0) return;
  const int code = LibraryUnavailable(result) ? kLibraryNotLoaded : kCallFailed;
  std::string text = FailureText(entry, result);
  failedCall_ = FailedCall{entry, result, lastErrorText_};
  throw Failure{code, std::move(text)};
}

DeviceList Session::Devices() {
  DeviceList list;
  const ResultCode result = Library().Init(list.count, list.versions, list.serials);
  Check(Entry::Init, result);
  // Only "no controllers" is left to find: Check took every failed Init.
  if (const auto failure = StartupFailureFor(result, list.count, Library())) {
    throw Failure{kNoController, failure->prompt};
  }
  return list;
}

Selection Session::Chosen() { return Choose(Devices(), request_.deviceNumber, request_.serial); }

Selection Session::Choose(const DeviceList& list, std::optional<std::int64_t> number,
                          const std::optional<std::string>& serial) {
  const DeviceChoice choice = ChooseDevice(list.count, list.serials, number, serial);
  switch (choice.end) {
    case DeviceChoiceEnd::kChosen:
      return SelectionOf(list.count, choice.index, list.serials, list.versions);
    case DeviceChoiceEnd::kNotFound:
      throw Failure{kNoController, choice.problem + ". The controllers:" + ListText(list)};
    case DeviceChoiceEnd::kNotChosen:
      break;
  }
  throw Failure{kControllerNotChosen,
                choice.problem +
                    "; choose one with --device N (its number below) or --serial SERIAL:" + ListText(list)};
}

}  // namespace kavr::cli
