// `kavrctl prove examples/end-of-line.json` beside the plan's own run
// (`kavrctl run` of the same plan on the same stand-in), both as whole
// processes in one benchmark run. Aim: prove within 1.5 x (faults / cores)
// x the plan's own time; the counters give the faults and the cores.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "child_processes.h"
#include "device/dynamic_controller_library.h"
#include "process_environment.h"

namespace {

namespace cli = kavr::cli;

const std::string kPlan = KAVR_EXAMPLES_DIR "/end-of-line.json";

std::filesystem::path Scratch() {
  return std::filesystem::temp_directory_path() /
         ("kavr-prove-bench-" + std::to_string(std::random_device()()));
}

void Time(benchmark::State& state, const std::vector<std::string>& args) {
  const std::filesystem::path folder = Scratch();
  std::filesystem::create_directories(folder);
  cli::ChildRun run;
  run.args = args;
  run.environment = cli::ChildEnvironment("KAVR_SIM_", {{"KAVR_SIM_STATE_DIR", (folder / "state").string()},
                                                        {"KAVR_SIM_FLASH_DIR", (folder / "flash").string()}});
  run.out = folder / "out";
  run.err = folder / "err";
  for (auto _ : state) {
    int code = -1;
    cli::RunChildren(kavr::ExecutableFolder() / "kavrctl", std::span(&run, 1), 1,
                     [&](std::size_t, int exitCode) { code = exitCode; });
    // prove exits 7 when a fault is missed: still a whole run to time.
    if (code != 0 && code != 7) {
      state.SkipWithError(("kavrctl exited with " + std::to_string(code)).c_str());
      break;
    }
  }
  std::filesystem::remove_all(folder);
}

void PlanOwnRun(benchmark::State& state) {
  const std::string standIn = (kavr::ExecutableFolder() / "stand-in" / kavr::LibraryFileName()).string();
  Time(state, {"--library", standIn, "run", kPlan, "--all", "--no-prompt"});
}
BENCHMARK(PlanOwnRun)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void ProveThePlan(benchmark::State& state) {
  const std::filesystem::path report = Scratch().string() + ".json";
  Time(state, {"prove", kPlan, "--report", report.string()});
  // The faults that ran: a stand-in without a rig runs none of the rig's.
  std::ifstream in(report);
  state.counters["faults"] = nlohmann::json::parse(in, nullptr, false).value("of", 0);
  state.counters["cores"] = std::max(1u, std::thread::hardware_concurrency());
  std::filesystem::remove(report);
}
BENCHMARK(ProveThePlan)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
