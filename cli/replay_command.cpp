// kavrctl replay: a transcript's calls sent again and the answers compared.
#include <algorithm>
#include <fstream>
#include <iostream>

#include "app/terminal_text.h"
#include "app/transcript_replay.h"
#include "command_files.h"
#include "commands.h"
#include "output.h"
#include "transcript/input_file.h"

namespace kavr::cli {
std::vector<RecordedCall> ReadCalls(const std::string& file, Console& console) {
  std::vector<RecordedCall> calls;
  std::string problem;
  bool read = false;
  if (file == "-") {
    read = ReadTranscript(console.in, calls, problem);
  } else {
    const std::filesystem::path path(std::u8string(file.begin(), file.end()));
    if (const auto notFile = NotRegularFile(path))
      throw Failure{kBadUsage, TerminalSafe(file + ": " + *notFile)};
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Failure{kBadUsage, "Cannot read the transcript " + file};
    read = ReadTranscript(in, calls, problem);
  }
  if (!read) throw Failure{kBadUsage, TerminalSafe(file + ": " + problem)};
  if (calls.empty()) throw Failure{kBadUsage, TerminalSafe(file + ": the transcript holds no calls")};
  return calls;
}

namespace {

std::string Counted(std::size_t count, const std::string& noun) {
  return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

}  // namespace

int ReplayCommand(const Request& request, Session& session, Console& console) {
  const std::vector<std::string> compared = ReplayComparedNames();
  for (const std::string& name : request.ignoredFields) {
    if (std::ranges::find(compared, name) != compared.end()) continue;
    std::string names;
    for (const std::string& known : compared) names += (names.empty() ? "" : ", ") + known;
    throw Failure{kBadUsage, TerminalSafe("--ignore: \"" + name +
                                          "\" is not a name replay compares; the names are: " + names)};
  }
  const std::vector<RecordedCall> calls = ReadCalls(request.transcriptFile, console);
  ReplayOptions options;
  options.ignored.insert(request.ignoredFields.begin(), request.ignoredFields.end());
  options.firstDifferenceOnly = request.firstDifferenceOnly;
  options.allowMotion = request.allowMotion;
  const ReplayOutcome outcome = ReplayTranscript(calls, session.Library(), options);
  if (session.LibraryUnavailable(0)) {
    throw Failure{kLibraryNotLoaded, TerminalSafe(session.Library().LibraryLoadFailure())};
  }
  for (const std::string& line : outcome.lines) PrintText(console.out, TerminalSafe(line));
  PrintText(console.out,
            Counted(outcome.sent, "call") + " sent, " + Counted(outcome.differences, "difference"));
  return outcome.differences == 0 ? kSuccess : kCallFailed;
}

}  // namespace kavr::cli
