// The results store on SQLite (see sqlite_results_store.cpp for how it
// writes and results_queries.cpp for how it reads).
#pragma once

#include <sqlite3.h>

#include "results/results_store.h"
#include "sqlite_statement.h"

namespace kavr::results {

struct Connection {
  sqlite3* db = nullptr;
  ~Connection() { sqlite3_close_v2(db); }
};

// Runs SQL that returns no rows; false, with SQLite's words, on failure.
inline bool Exec(sqlite3* db, const char* sql, std::string& problem) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  problem = message != nullptr ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  return false;
}

class SqliteResultsStore : public ResultsStore {
 public:
  explicit SqliteResultsStore(sqlite3* db) : db_{db} {}

  std::optional<std::int64_t> BeginRun(const StoredRun& run, std::string& problem) override {
    std::optional<std::int64_t> id;
    const bool written = Transaction(problem, [&] {
      Statement insert(
          db_.db,
          "INSERT INTO runs (plan, plan_file, plan_sha256, station, operator, version, library, "
          "library_sha256, started, status, host, pid) VALUES (?,?,?,?,?,?,?,?,?,'running',?,?)");
      insert.Bind(1, run.plan).Bind(2, run.planFile).Bind(3, run.planSha256).Bind(4, run.station);
      insert.Bind(5, run.operatorName).Bind(6, run.version).Bind(7, run.library).Bind(8, run.librarySha256);
      insert.Bind(9, run.started).Bind(10, HostName()).Bind(11, OwnProcessId());
      if (!insert.Done()) return false;
      id = sqlite3_last_insert_rowid(db_.db);
      Statement unit(
          db_.db,
          "INSERT INTO controllers (run_id, position, serial, version, verdict) VALUES (?,?,?,?,'running')");
      for (std::size_t index = 0; index < run.controllers.size(); ++index) {
        unit.Reset();
        unit.Bind(1, *id).Bind(2, static_cast<std::int64_t>(index));
        unit.Bind(3, run.controllers[index].serial).Bind(4, run.controllers[index].version);
        if (!unit.Done()) return false;
      }
      return true;
    });
    if (!written) return std::nullopt;
    return id;
  }

  bool RecordController(std::int64_t runId, int index, std::string_view verdict,
                        const std::vector<StoredStep>& steps, std::string& problem) override {
    return Transaction(problem, [&] {
      Statement update(db_.db,
                       "UPDATE controllers SET verdict = ? WHERE run_id = ? AND position = ? RETURNING id");
      update.Bind(1, verdict).Bind(2, runId).Bind(3, static_cast<std::int64_t>(index));
      if (!update.Prepared() || update.Step() != SQLITE_ROW) return false;
      const std::int64_t controllerId = update.Integer(0);
      if (update.Step() != SQLITE_DONE) return false;
      Statement step(db_.db,
                     "INSERT INTO steps (controller_id, number, name, result, duration_ms, expected, got) "
                     "VALUES (?,?,?,?,?,?,?)");
      Statement measured(
          db_.db,
          "INSERT INTO measurements (step_id, name, value, unit, sent, min, max, expected, tolerance, "
          "marginal, outcome) VALUES (?,?,?,?,?,?,?,?,?,?,?)");
      Statement traced(db_.db, "INSERT INTO traces (step_id, ms, position) VALUES (?,?,?)");
      for (const StoredStep& stored : steps) {
        step.Reset();
        step.Bind(1, controllerId).Bind(2, static_cast<std::int64_t>(stored.number)).Bind(3, stored.name);
        step.Bind(4, stored.result).Bind(5, stored.durationMs).Bind(6, stored.expected).Bind(7, stored.got);
        if (!step.Done()) return false;
        const std::int64_t stepId = sqlite3_last_insert_rowid(db_.db);
        for (const Measurement& m : stored.measurements) {
          measured.Reset();
          measured.Bind(1, stepId).Bind(2, m.name).Bind(3, m.value).Bind(4, m.unit).Bind(5, m.sent);
          measured.Bind(6, m.limits.min).Bind(7, m.limits.max).Bind(8, m.limits.expected);
          measured.Bind(9, m.limits.tolerance).Bind(10, m.limits.marginal);
          if (m.outcome) measured.Bind(11, OutcomeName(*m.outcome));
          if (!measured.Done()) return false;
        }
        for (const TracePoint& point : stored.trace) {
          traced.Reset();
          traced.Bind(1, stepId).Bind(2, point.ms).Bind(3, static_cast<std::int64_t>(point.position));
          if (!traced.Done()) return false;
        }
      }
      return true;
    });
  }

  bool EndRun(std::int64_t runId, std::string_view status, std::string_view ended,
              const std::string& reportJson, std::string& problem) override {
    return Transaction(problem, [&] {
      Statement update(db_.db, "UPDATE runs SET status = ?, ended = ?, report = ? WHERE id = ?");
      update.Bind(1, status).Bind(2, ended).Bind(3, reportJson).Bind(4, runId);
      // Controllers the run never reached (an interrupt) close with it.
      Statement units(db_.db, "UPDATE controllers SET verdict = ? WHERE run_id = ? AND verdict = 'running'");
      units.Bind(1, status == "interrupted" ? std::string_view("interrupted") : std::string_view("failed"));
      units.Bind(2, runId);
      return update.Done() && units.Done();
    });
  }

  std::optional<std::vector<RunSummary>> Runs(const ResultsFilter& filter, std::string& problem) override;
  std::optional<std::vector<MeasurementRow>> Measurements(const ResultsFilter& filter,
                                                          std::string& problem) override;
  std::optional<std::string> Report(std::int64_t runId, std::string& problem) override;
  std::optional<std::vector<YieldRow>> FirstPassYield(const ResultsFilter& filter,
                                                      std::string& problem) override;

 private:
  template <typename Body>
  bool Transaction(std::string& problem, Body body) {
    if (!Exec(db_.db, "BEGIN IMMEDIATE", problem)) return false;
    if (body() && Exec(db_.db, "COMMIT", problem)) return true;
    if (problem.empty()) problem = sqlite3_errmsg(db_.db);
    std::string ignored;
    Exec(db_.db, "ROLLBACK", ignored);
    return false;
  }

  Connection db_;
};

}  // namespace kavr::results
