// Cost of one GetState through the controllers' shared state (lock file,
// state file read and decoded, nothing written back) beside the same call
// on controllers kept in memory, and of a call that writes the state back.
// The state folder is a fresh one inside KAVR_SIM_STATE_DIR when that is
// set, else beside the folder where the library keeps its own.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "simulator/controller_defaults.h"
#include "simulator/live_state.h"
#include "simulator/machine.h"
#include "simulator/reserved_slots.h"
#include "simulator/shared_state.h"
#include "simulator/sim_config.h"
#include "simulator/simulator.h"

namespace {

using kavr::sim::Simulator;

const kavr::sim::MachineClock kMachineClock;

struct BenchFolder {
  BenchFolder() {
    const auto environment = kavr::sim::ProcessEnvironment();
    const auto chosen = environment("KAVR_SIM_STATE_DIR");
    const auto parent =
        chosen ? std::filesystem::path(*chosen) : kavr::sim::DefaultStateDir(environment).parent_path();
    config.stateDir = parent / ("kavrtest-simulator-bench-" + std::to_string(kavr::sim::CurrentProcessId()));
    config.deviceCount = kDevices;
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(config.stateDir, ignored);
  }
  static constexpr int kDevices = 2;
  kavr::sim::SimulatorConfig config;
};

template <typename Call>
void OnSharedState(benchmark::State& run, const kavr::sim::SimulatorConfig& config, Call call) {
  KAVR_ResultCode code = 0;
  if (kavr::sim::CallOnSharedState(config, kMachineClock, {}, false, call, code) || code != 0) {
    run.SkipWithError("the shared state cannot be used");
  }
}

void GetStateInMemory(benchmark::State& run) {
  BenchFolder folder;
  kavr::sim::LiveState state = kavr::sim::PowerCycle(folder.config, kMachineClock.Now(), {});
  Simulator simulator(folder.config, state, kMachineClock);
  KAVR_State record;
  for (auto _ : run) {
    benchmark::DoNotOptimize(simulator.GetState(1, &record));
    benchmark::DoNotOptimize(record);
  }
}

void GetStateShared(benchmark::State& run) {
  BenchFolder folder;
  KAVR_State record;
  const auto getState = [&](Simulator& simulator) { return simulator.GetState(1, &record); };
  OnSharedState(run, folder.config, getState);  // creates the state file
  for (auto _ : run) {
    OnSharedState(run, folder.config, getState);
    benchmark::DoNotOptimize(record);
  }
}

void SetParametersShared(benchmark::State& run) {
  BenchFolder folder;
  KAVR_Parameters parameters = kavr::sim::FactoryParameters();
  kavr::sim::FillReservedSlots(parameters, 1);
  for (auto _ : run) {
    parameters.ButtonTimeout1 += 1.0f;
    OnSharedState(run, folder.config,
                  [&](Simulator& simulator) { return simulator.SetParameters(1, &parameters); });
  }
}

BENCHMARK(GetStateInMemory);
BENCHMARK(GetStateShared);
BENCHMARK(SetParametersShared);

}  // namespace
