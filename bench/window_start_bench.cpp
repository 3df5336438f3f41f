// The time from starting the Windows window program under wine to its
// device-choice dialog being on the screen, beside the same for a minimal
// static Qt Widgets program built with the same Qt (the floor), in one run.
// Aim: at most 1.1x the floor. Run by hand on a display (Xvfb will do), with
// KAVR_BENCH_WINE_RUN=build-win/wine-run, KAVR_BENCH_WINDOWS_BIN=build-win/bin
// and DISPLAY set, as build/bin/window_start_bench.
// Each start is timed until `xdotool search --sync` finds the window's title.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "stand_in_scratch.h"

extern char** environ;

namespace {

// Starts a program with its standard output thrown away.
pid_t Spawn(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int error = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return error == 0 ? child : -1;
}

bool Finished(pid_t child) {
  int status = 0;
  return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

void TimeToWindow(benchmark::State& state, const std::string& program, const std::string& title) {
  const std::string wineRun = Setting("KAVR_BENCH_WINE_RUN");
  const std::filesystem::path folder = Setting("KAVR_BENCH_WINDOWS_BIN");
  if (wineRun.empty() || folder.empty() || Setting("DISPLAY").empty()) {
    state.SkipWithError("set KAVR_BENCH_WINE_RUN, KAVR_BENCH_WINDOWS_BIN and DISPLAY");
    return;
  }
  for (auto _ : state) {
    const pid_t started = Spawn({wineRun, (folder / program).string()});
    const bool shown = Finished(Spawn({"xdotool", "search", "--sync", "--onlyvisible", "--name", title}));
    state.PauseTiming();
    if (started > 0) {
      kill(started, SIGKILL);
      waitpid(started, nullptr, 0);
    }
    state.ResumeTiming();
    if (!shown) {
      state.SkipWithError(("no window of " + program).c_str());
      break;
    }
  }
}

void KavrtestDialogShown(benchmark::State& state) {
  TimeToWindow(state, "kavrtest.exe", "^Select Your Choice$");
}
BENCHMARK(KavrtestDialogShown)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void MinimalQtWindowShown(benchmark::State& state) {
  TimeToWindow(state, "minimal_window.exe", "^Minimal Qt window$");
}
BENCHMARK(MinimalQtWindowShown)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path scratch = kavr::bench::UseScratchStandIn("window-start-bench");
  // The wine-run script leaves DISPLAY unset unless told which to use.
  setenv("KAVR_WINE_DISPLAY", Setting("DISPLAY").c_str(), 1);
  benchmark::Initialize(&argc, argv);
  // One wine server for every start, as on a desktop where wine is already up.
  const pid_t server = Spawn({"wineserver", "--persistent=60"});
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (server > 0) waitpid(server, nullptr, 0);
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
