// One state read on the stand-in, four ways, side by side in one run: the
// library called directly (the floor), a request to `kavrctl serve` from a
// small C++ client over pipes, `c.state()` of the Python package (a Python
// process times its own loop and reports the time per read), and a whole
// `kavrctl state` process per read.
// Aims: the C++ round trip adds at most 50 us to the floor; Python at most
// 0.15 ms a read and at least 10 times faster than a process per read.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "device/dynamic_controller_library.h"
#include "stand_in_scratch.h"

extern char** environ;

namespace {

const char* const kStateRequest =
    "{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"state\",\"params\":{\"device\":1}}\n";

// What the Python side runs: for each N read from standard input, N reads,
// then the seconds they took on a line.
const char* const kPythonLoop = R"(
import sys, time
sys.path.insert(0, sys.argv[1])
import kavr
with kavr.open() as session:
    c = session.controller(number=1)
    c.state()
    for line in sys.stdin:
        n = int(line)
        begun = time.perf_counter()
        for _ in range(n):
            c.state()
        print(time.perf_counter() - begun, flush=True)
)";

// A child process with its standard input and output on pipes.
class Child {
 public:
  explicit Child(std::vector<std::string> args) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    for (const int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    to_ = in[1];
    from_ = out[0];
  }
  ~Child() {
    close(to_);
    close(from_);
    int status = 0;
    if (pid_ > 0) waitpid(pid_, &status, 0);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // Writes `request`, returns the next line; empty when the child is gone.
  std::string Ask(std::string_view request) {
    if (pid_ <= 0 || write(to_, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
      return {};
    std::string line;
    for (;;) {
      const std::size_t end = buffered_.find('\n');
      if (end != std::string::npos) {
        line = buffered_.substr(0, end);
        buffered_.erase(0, end + 1);
        return line;
      }
      char chunk[4096];
      const ssize_t got = read(from_, chunk, sizeof chunk);
      if (got <= 0) return {};
      buffered_.append(chunk, static_cast<std::size_t>(got));
    }
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
  std::string buffered_;
};

std::string Kavrctl() { return (kavr::ExecutableFolder() / "kavrctl").string(); }

void LibraryGetState(benchmark::State& state) {
  kavr::DynamicControllerLibrary library(kavr::ExecutableFolder() / kavr::LibraryFileName());
  std::int32_t count = 0;
  kavr::LibraryText versions = kavr::EmptyLibraryText(), serials = kavr::EmptyLibraryText();
  if (library.Init(count, versions, serials) != 0) state.SkipWithError("Init failed");
  for (auto _ : state) {
    KAVR_State read{};
    benchmark::DoNotOptimize(library.GetState(0, read));
  }
}
BENCHMARK(LibraryGetState)->UseRealTime()->Unit(benchmark::kMicrosecond);

void ServeRoundTripFromCpp(benchmark::State& state) {
  Child serve({Kavrctl(), "serve"});
  if (serve.Ask(kStateRequest).find("\"result\"") == std::string::npos)
    state.SkipWithError("serve did not answer");
  for (auto _ : state) benchmark::DoNotOptimize(serve.Ask(kStateRequest));
}
BENCHMARK(ServeRoundTripFromCpp)->UseRealTime()->Unit(benchmark::kMicrosecond);

void PythonPackageState(benchmark::State& state) {
  setenv("KAVRCTL", Kavrctl().c_str(), 1);
  Child python({"python3", "-c", kPythonLoop, KAVR_PYTHON_PACKAGE_DIR});
  constexpr int kReads = 2000;
  for (auto _ : state) {
    const std::string seconds = python.Ask(std::to_string(kReads) + "\n");
    if (seconds.empty()) {
      state.SkipWithError("the Python loop did not answer");
      break;
    }
    state.SetIterationTime(std::stod(seconds) / kReads);
  }
}
BENCHMARK(PythonPackageState)->UseManualTime()->Iterations(10)->Unit(benchmark::kMicrosecond);

void KavrctlStatePerRead(benchmark::State& state) {
  std::string program = Kavrctl(), command = "state";
  char* argv[] = {program.data(), command.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    pid_t child = 0;
    int status = 0;
    if (posix_spawn(&child, argv[0], &actions, nullptr, argv, environ) != 0 ||
        waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("kavrctl state failed");
      break;
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}
BENCHMARK(KavrctlStatePerRead)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  // One controller, so that `kavrctl state` needs no choice, and the
  // stand-in's state and flash in a folder of the benchmark's own.
  const std::filesystem::path scratch = kavr::bench::UseScratchStandIn("serve-bench");
  setenv("KAVR_SIM_DEVICES", "1", 1);
  signal(SIGPIPE, SIG_IGN);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ignored;
  std::filesystem::remove_all(scratch, ignored);
  return 0;
}
