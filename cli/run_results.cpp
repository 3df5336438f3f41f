#include "run_results.h"

#include "app/version.h"
#include "output.h"

namespace kavr::cli {
namespace {

std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::string TextOf(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

std::vector<StoredStep> StepsOf(const PlanRun& run, const ControllerRun& controller) {
  std::vector<StoredStep> steps;
  for (std::size_t index = 0; index < controller.steps.size(); ++index) {
    const StepOutcome& outcome = controller.steps[index];
    steps.push_back({.number = static_cast<int>(index) + 1,
                     .name = std::string(PlanStepName(run.plan->steps[index].kind)),
                     .result = std::string(VerdictName(outcome.verdict)),
                     .durationMs = outcome.duration.count(),
                     .expected = outcome.expected,
                     .got = outcome.got,
                     .measurements = outcome.measurements,
                     .trace = outcome.trace});
  }
  return steps;
}

}  // namespace

RunResults::RunResults(const Request& request, const PlanRun& run, Console& console) : console_(console) {
  if (request.noDb || (!request.dbFile && !ResultsStore::Available())) return;
  std::filesystem::path file = request.dbFile ? PathOf(*request.dbFile) : ResultsStore::DefaultFile();
  file_ = TextOf(file);
  std::string problem;
  if (file.empty()) {
    file_ = "kavr-results.sqlite";
    Lose("no user data folder to keep it in (set XDG_DATA_HOME or HOME, or give --db FILE)");
    return;
  }
  if (!request.dbFile) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
  }
  store_ = ResultsStore::Open(file, true, problem);
  if (store_) {
    StoredRun stored{.plan = run.plan->name,
                     .planFile = run.planFile,
                     .planSha256 = run.header.planSha256,
                     .station = run.header.station,
                     .operatorName = run.header.operatorName,
                     .version = kVersion,
                     .library = run.header.library.file,
                     .librarySha256 = run.header.library.sha256,
                     .started = run.header.started};
    for (const ControllerRun& controller : run.controllers)
      stored.controllers.push_back({controller.serial, controller.version});
    runId_ = store_->BeginRun(stored, problem);
  }
  if (!runId_) Lose(problem);
}

void RunResults::Close(const PlanRun& run, std::string_view status, const std::string& reportJson) {
  if (!runId_) return;
  std::string problem;
  for (std::size_t index = 0; index < run.controllers.size(); ++index) {
    const ControllerRun& controller = run.controllers[index];
    const std::string verdict = controller.failed ? "failed" : run.interrupted ? "interrupted" : "passed";
    if (!store_->RecordController(*runId_, static_cast<int>(index), verdict, StepsOf(run, controller),
                                  problem)) {
      Lose(problem);
      return;
    }
  }
  if (!store_->EndRun(*runId_, status, run.header.ended, reportJson, problem)) Lose(problem);
}

void RunResults::Lose(const std::string& problem) {
  lost_ = true;
  store_.reset();
  runId_.reset();
  PrintFailure(console_.err,
               "results database " + file_ + ": " + problem + "; this run is not recorded there");
}

}  // namespace kavr::cli
