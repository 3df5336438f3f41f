// The results database: every run of a plan, its controllers with their
// verdicts, their steps and what each step measured, in one SQLite file
// that several stations and processes may write at once. A run is written
// as started when it starts and closed when it ends; one whose process died
// reads as `aborted` once that process is gone.
//
// Shells: kavrctl (run, results). Links no widget toolkit.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/measurement.h"

namespace kavr {

// The schema this program writes; a file of a later one is refused unchanged.
inline constexpr int kResultsSchemaVersion = 1;

// A run as it starts.
// Defaults throughout, so that a record names only what it has.
struct StoredRun {
  std::string plan = {}, planFile = {}, planSha256 = {};
  std::string station = {}, operatorName = {}, version = {};
  std::string library = {}, librarySha256 = {};
  std::string started = {};  // UTC, ISO 8601
  struct Unit {
    std::string serial, version;
  };
  std::vector<Unit> controllers = {};  // in the run's order
};

struct StoredStep {
  int number = 0;  // 1-based
  std::string name = {}, result = {};
  std::int64_t durationMs = 0;
  std::string expected = {}, got = {};
  std::vector<Measurement> measurements = {};
  std::vector<TracePoint> trace = {};
};

// Runs as listed: their header and counts. `status` is running, passed,
// failed, interrupted or aborted.
struct RunSummary {
  std::int64_t id = 0;
  std::string started, ended, plan, station, operatorName, status;
  int passed = 0, failed = 0, controllers = 0;
};

// One measurement with where it was taken: a CSV row, a line of a unit's history.
struct MeasurementRow {
  std::int64_t run = 0;
  std::string started, plan, station, serial, verdict;
  int step = 0;
  std::string stepName;
  Measurement measurement;
};

struct YieldRow {
  std::string plan, day;
  int units = 0, firstPass = 0;
};

struct ResultsFilter {
  std::optional<std::string> serial = {}, plan = {}, since = {};  // since: an ISO 8601 date or time, UTC
  std::optional<std::int64_t> run = {};
  int last = 20;  // runs listed
};

class ResultsStore {
 public:
  // The default file: kavr-results.sqlite in the user's data folder.
  static std::filesystem::path DefaultFile();
  // False when this build has no database at all.
  static bool Available();

  // Opens `file`, made with the current schema when it does not exist (and
  // `create`), migrated forward when older. Null, saying why, for a file
  // that is empty, not a database, of a newer schema or unreadable; such a
  // file is left as it was.
  static std::unique_ptr<ResultsStore> Open(const std::filesystem::path& file, bool create,
                                            std::string& problem);
  virtual ~ResultsStore() = default;

  // Writing. Each returns false, saying why, when the file could not take it.
  virtual std::optional<std::int64_t> BeginRun(const StoredRun& run, std::string& problem) = 0;
  // One transaction per controller: its verdict, steps and measurements.
  virtual bool RecordController(std::int64_t runId, int index, std::string_view verdict,
                                const std::vector<StoredStep>& steps, std::string& problem) = 0;
  virtual bool EndRun(std::int64_t runId, std::string_view status, std::string_view ended,
                      const std::string& reportJson, std::string& problem) = 0;

  // Reading; nullopt, saying why, when the file cannot be read.
  virtual std::optional<std::vector<RunSummary>> Runs(const ResultsFilter& filter, std::string& problem) = 0;
  virtual std::optional<std::vector<MeasurementRow>> Measurements(const ResultsFilter& filter,
                                                                  std::string& problem) = 0;
  // The report as written at the run's end; an empty text for a run not closed.
  virtual std::optional<std::string> Report(std::int64_t runId, std::string& problem) = 0;
  virtual std::optional<std::vector<YieldRow>> FirstPassYield(const ResultsFilter& filter,
                                                              std::string& problem) = 0;
};

// "2026-12-09T11:13:22.123Z".
std::string UtcIsoTime(std::chrono::system_clock::time_point time);

// Where and by what a run is written, to tell later whether it still runs.
std::string HostName();
std::int64_t OwnProcessId();
bool ProcessAlive(std::int64_t pid);

}  // namespace kavr
