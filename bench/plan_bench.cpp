// `kavrctl run` on the stand-in: a plan with two moves over 1 controller
// beside the same plan over 20, in one benchmark run. Moves overlap and a
// wait polls every controller in turn, so 20 should take about the time of
// one (aim: at most 1.3x). The 20 again with the results database on: it
// should add at most 5%.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "device/dynamic_controller_library.h"
#include "kavrctl.h"
#include "quiet_console.h"
#include "stand_in_scratch.h"

namespace {

constexpr const char* kPlan = R"({"name": "two moves", "steps": [
  {"step": "start", "destination": 1000, "speed": 5000}, {"step": "wait", "seconds": 30},
  {"step": "start", "destination": 0, "speed": 5000}, {"step": "wait", "seconds": 30},
  {"step": "expect", "position": 0, "running": false, "voltage": {"min": 5, "max": 30, "marginal": 0.5}}]})";

// The stand-in's flash and state in a folder of the benchmark's own.
const std::filesystem::path& Scratch() {
  static const std::filesystem::path folder = [] {
    const auto path = kavr::bench::UseScratchStandIn("kavr-plan-bench");
    std::ofstream(path / "plan.json") << kPlan;
    return path;
  }();
  return folder;
}

void PlanOverControllers(benchmark::State& state) {
  const std::string plan = (Scratch() / "plan.json").string();
  setenv("KAVR_SIM_DEVICES", std::to_string(state.range(0)).c_str(), 1);
  const auto open = [](const std::optional<std::filesystem::path>&) {
    return std::make_shared<kavr::DynamicControllerLibrary>();
  };
  for (auto _ : state) {
    std::istringstream in;
    std::ostringstream out, err;
    kavr::cli::Console console = kavr::bench::QuietConsole(in, out, err);
    const std::string database =
        state.range(1) != 0 ? "--db=" + (Scratch() / "results.sqlite").string() : "--no-db";
    if (kavr::cli::RunKavrctl({"run", plan, "--all", database}, open, console) != kavr::cli::kSuccess) {
      state.SkipWithError(("the plan failed: " + out.str() + err.str()).c_str());
      break;
    }
  }
}
// Arguments: controllers, results database (0 off, 1 on).
BENCHMARK(PlanOverControllers)
    ->ArgNames({"controllers", "db"})
    ->Args({1, 0})
    ->Args({20, 0})
    ->Args({20, 1})
    ->Iterations(5)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
