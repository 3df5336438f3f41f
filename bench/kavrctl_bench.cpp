// `kavrctl state` as a whole process on the stand-in library, beside a C
// program that only loads the stand-in and calls Init and GetState once:
// what kavrctl's start-up, parsing and report add to the library's own cost.
// Both run in one benchmark run; compare their times (aim: at most 1.5x).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "device/dynamic_controller_library.h"
#include "stand_in_scratch.h"

extern char** environ;

namespace {

// Runs the program with its output thrown away; false when it fails.
bool Spawn(const std::filesystem::path& program, const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string name = program.string();
  argv.push_back(name.data());
  std::vector<std::string> copies(args);
  for (std::string& arg : copies) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int error = posix_spawn(&child, name.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return error == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void Run(benchmark::State& state, const std::filesystem::path& program,
         const std::vector<std::string>& args) {
  for (auto _ : state) {
    if (!Spawn(program, args)) {
      state.SkipWithError(("cannot run " + program.string()).c_str());
      break;
    }
  }
}

void KavrctlState(benchmark::State& state) { Run(state, kavr::ExecutableFolder() / "kavrctl", {"state"}); }
BENCHMARK(KavrctlState)->UseRealTime()->Unit(benchmark::kMillisecond);

void CProgramInitAndGetState(benchmark::State& state) {
  Run(state, kavr::ExecutableFolder() / "kavr_stand_in_probe",
      {(kavr::ExecutableFolder() / kavr::LibraryFileName()).string()});
}
BENCHMARK(CProgramInitAndGetState)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // One controller, so that `kavrctl state` needs no choice, and the
  // stand-in's state and flash in a folder of the benchmark's own.
  const std::filesystem::path scratch = kavr::bench::UseScratchStandIn("kavrctl-bench");
  setenv("KAVR_SIM_DEVICES", "1", 1);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
