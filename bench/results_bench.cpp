// `kavrctl results --serial S` over a results database of 100,000 runs
// (aim: under 100 ms), beside opening the same database alone (the floor).
// The database is made once, in a folder of the benchmark's own.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>

#include "kavrctl.h"
#include "quiet_console.h"
#include "results/results_store.h"

namespace {

constexpr int kRuns = 100000;
constexpr int kUnits = 20000;  // each unit run five times

std::string Serial(int unit) {
  char text[24];
  std::snprintf(text, sizeof text, "KAVRSIM%09d", unit);
  return text;
}

void Exec(sqlite3* db, const std::string& sql) { sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr); }

// The schema through the store, the rows in one transaction of plain SQL:
// a run of one unit, two steps, three measurements.
const std::filesystem::path& Database() {
  static const std::filesystem::path file = [] {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("kavr-results-bench-" + std::to_string(std::random_device()()));
    std::filesystem::create_directories(folder);
    const auto path = folder / "results.sqlite";
    std::string problem;
    kavr::ResultsStore::Open(path, true, problem).reset();
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    Exec(db, "BEGIN");
    for (int run = 1; run <= kRuns; ++run) {
      const std::string id = std::to_string(run);
      Exec(db, "INSERT INTO runs (id, plan, started, ended, status, station, report) VALUES (" + id +
                   ", 'end-of-line', '2026-12-09T10:00:00.000Z', '2026-12-09T10:00:02.000Z', 'passed', "
                   "'st1', '{}');"
                   "INSERT INTO controllers (id, run_id, position, serial, verdict) VALUES (" +
                   id + ", " + id + ", 0, '" + Serial(run % kUnits) +
                   "', 'passed');"
                   "INSERT INTO steps (id, controller_id, number, name, result) VALUES (" +
                   std::to_string(2 * run) + ", " + id + ", 1, 'expect', 'passed'), (" +
                   std::to_string(2 * run + 1) + ", " + id +
                   ", 2, 'wait', 'passed');"
                   "INSERT INTO measurements (step_id, name, value, unit, min, max, outcome) VALUES (" +
                   std::to_string(2 * run) + ", 'InputVoltage', 12.1, 'V', 11, 13, 'pass'), (" +
                   std::to_string(2 * run) + ", 'Temperature', 31, '°C', NULL, 60, 'pass'), (" +
                   std::to_string(2 * run + 1) + ", 'CurrentPosition', 2000, 'steps', NULL, NULL, NULL);");
    }
    Exec(db, "COMMIT");
    sqlite3_close(db);
    return path;
  }();
  return file;
}

int Kavrctl(const std::vector<std::string>& args) {
  std::istringstream in;
  std::ostringstream out, err;
  kavr::cli::Console console = kavr::bench::QuietConsole(in, out, err);
  const auto open =
      [](const std::optional<std::filesystem::path>&) -> std::shared_ptr<kavr::ControllerLibrary> {
    return nullptr;
  };
  return kavr::cli::RunKavrctl(args, open, console);
}

void OpenOnly(benchmark::State& state) {
  const std::filesystem::path& file = Database();
  for (auto _ : state) {
    std::string problem;
    benchmark::DoNotOptimize(kavr::ResultsStore::Open(file, false, problem));
  }
}
BENCHMARK(OpenOnly)->UseRealTime()->Unit(benchmark::kMillisecond);

void ResultsForSerial(benchmark::State& state) {
  const std::string db = "--db=" + Database().string();
  int unit = 0;
  for (auto _ : state) {
    if (Kavrctl({"results", db, "--serial", Serial(++unit % kUnits)}) != 0) {
      state.SkipWithError("results failed");
      break;
    }
  }
}
BENCHMARK(ResultsForSerial)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
