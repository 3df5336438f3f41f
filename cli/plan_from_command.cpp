// kavrctl plan-from: a recorded session as a plan, read back by the plan
// reader before it is written.
#include <ostream>

#include "app/plan_from_transcript.h"
#include "app/terminal_text.h"
#include "command_files.h"
#include "commands.h"
#include "output.h"

namespace kavr::cli {

int PlanFromCommand(const Request& request, Session&, Console& console) {
  const std::vector<RecordedCall> calls = ReadCalls(request.transcriptFile, console);
  const std::string& file = request.transcriptFile;
  const std::string name =
      "from " + (file == "-"
                     ? std::string("standard input")
                     : std::filesystem::path(std::u8string(file.begin(), file.end())).filename().string());
  std::string problem;
  const auto plan = PlanFromTranscript(calls, name, request.band, problem);
  if (!plan) throw Failure{kBadUsage, TerminalSafe(file + ": " + problem)};
  const auto noSettings = [](const std::string&, std::string& settingsProblem) -> std::optional<std::string> {
    settingsProblem = "a plan made from a transcript loads no file";
    return std::nullopt;
  };
  if (!ReadPlan(*plan, noSettings, problem)) {
    throw Failure{kBadUsage, TerminalSafe(file + ": the plan made from it does not read back: " + problem)};
  }
  if (request.outputFile)
    return WriteOutputFile(*request.outputFile, *plan, console) ? kSuccess : kOutputFailed;
  console.out << *plan;
  CheckWritten(console.out);
  return kSuccess;
}

}  // namespace kavr::cli
