// A GetState through the recorder beside the same call on the stand-in
// alone, in one run: what the recorder adds to each call (formatting the
// line, writing and flushing it). Aim: at most 2x the stand-in's own call.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "contract/records.h"
#include "device/dynamic_controller_library.h"
#include "portable.h"

namespace {

// The stand-in, and a folder where the recorder stands in front of a copy.
struct Rig {
  Rig() {
    const std::filesystem::path name(kavr::LibraryFileName());
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(kavr::ExecutableFolder() / "recorder" / name, folder / name);
    std::filesystem::copy_file(kavr::ExecutableFolder() / name,
                               folder / (name.stem().string() + "-original" + name.extension().string()));
  }
  test_support::StandInScratch scratch;
  const std::filesystem::path folder = scratch.folder.path / "rig";
  test_support::EnvironmentOverride record{"KAVR_RECORD_FILE", (scratch.folder.path / "calls.log").string()};
};

void GetState(benchmark::State& state, const std::filesystem::path& library) {
  kavr::DynamicControllerLibrary binding(library);
  std::int32_t count = 0;
  kavr::LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
  if (binding.Init(count, versions, serials) != 0) {
    state.SkipWithError("Init failed");
    return;
  }
  for (auto _ : state) {
    KAVR_State record{};
    benchmark::DoNotOptimize(binding.GetState(0, record));
  }
}

void StandInGetState(benchmark::State& state) {
  Rig rig;
  GetState(state, kavr::ExecutableFolder() / kavr::LibraryFileName());
}
BENCHMARK(StandInGetState)->Unit(benchmark::kMicrosecond);

void RecordedGetState(benchmark::State& state) {
  Rig rig;
  GetState(state, rig.folder / kavr::LibraryFileName());
}
BENCHMARK(RecordedGetState)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
