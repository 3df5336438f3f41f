// Reading the results database: runs listed, measurements flat, a run's
// report and first-pass yield. Each filter given adds its condition, so
// that SQLite can use the index it matches (a unit's history goes through
// controllers_serial, whatever the size of the file).
#include <vector>

#include "sqlite_results_store.h"

namespace kavr::results {
namespace {

// A WHERE clause for the filter's conditions over runs `r` and controllers
// `c`, with its parameters in order.
struct Conditions {
  std::string sql;
  std::vector<std::string> texts;

  Conditions(const ResultsFilter& filter, bool withSerial) {
    if (filter.plan) Add("r.plan = ?", *filter.plan);
    if (filter.since) Add("r.started >= ?", *filter.since);
    if (filter.run) Add("r.id = ?", std::to_string(*filter.run));
    if (withSerial && filter.serial) Add("c.serial = ?", *filter.serial);
  }
  void Add(const char* condition, const std::string& value) {
    sql += sql.empty() ? " WHERE " : " AND ";
    sql += condition;
    texts.push_back(value);
  }
  void BindTo(Statement& statement) const {
    for (std::size_t index = 0; index < texts.size(); ++index) {
      statement.Bind(static_cast<int>(index) + 1, std::string_view(texts[index]));
    }
  }
};

// A run left `running` by a process of this host that is gone.
std::string StatusNow(const std::string& status, const std::string& host, std::int64_t pid) {
  if (status == "running" && host == HostName() && !ProcessAlive(pid)) return "aborted";
  return status;
}

template <typename Row, typename Read>
std::optional<std::vector<Row>> Rows(sqlite3* db, const std::string& sql, const Conditions& conditions,
                                     std::string& problem, Read read) {
  Statement statement(db, sql);
  if (!statement.Prepared()) {
    problem = sqlite3_errmsg(db);
    return std::nullopt;
  }
  conditions.BindTo(statement);
  std::vector<Row> rows;
  int result;
  while ((result = statement.Step()) == SQLITE_ROW) rows.push_back(read(statement));
  if (result != SQLITE_DONE) {
    problem = sqlite3_errmsg(db);
    return std::nullopt;
  }
  return rows;
}

}  // namespace

std::optional<std::vector<RunSummary>> SqliteResultsStore::Runs(const ResultsFilter& filter,
                                                                std::string& problem) {
  Conditions conditions(filter, false);
  if (filter.serial)
    conditions.Add("r.id IN (SELECT run_id FROM controllers WHERE serial = ?)", *filter.serial);
  const std::string sql =
      "SELECT r.id, r.started, r.ended, r.plan, r.station, r.operator, r.status, r.host, r.pid, "
      "(SELECT count(*) FROM controllers c WHERE c.run_id = r.id AND c.verdict = 'passed'), "
      "(SELECT count(*) FROM controllers c WHERE c.run_id = r.id AND c.verdict = 'failed'), "
      "(SELECT count(*) FROM controllers c WHERE c.run_id = r.id) FROM runs r" +
      conditions.sql + " ORDER BY r.id DESC LIMIT " + std::to_string(filter.last);
  return Rows<RunSummary>(db_.db, sql, conditions, problem, [](const Statement& s) {
    return RunSummary{.id = s.Integer(0),
                      .started = s.Text(1),
                      .ended = s.Text(2),
                      .plan = s.Text(3),
                      .station = s.Text(4),
                      .operatorName = s.Text(5),
                      .status = StatusNow(s.Text(6), s.Text(7), s.Integer(8)),
                      .passed = static_cast<int>(s.Integer(9)),
                      .failed = static_cast<int>(s.Integer(10)),
                      .controllers = static_cast<int>(s.Integer(11))};
  });
}

std::optional<std::vector<MeasurementRow>> SqliteResultsStore::Measurements(const ResultsFilter& filter,
                                                                            std::string& problem) {
  const Conditions conditions(filter, true);
  const std::string sql =
      "SELECT r.id, r.started, r.plan, r.station, c.serial, c.verdict, r.status, r.host, r.pid, s.number, "
      "s.name, "
      "m.name, m.value, m.unit, m.sent, m.min, m.max, m.expected, m.tolerance, m.marginal, m.outcome "
      "FROM controllers c JOIN runs r ON r.id = c.run_id JOIN steps s ON s.controller_id = c.id "
      "JOIN measurements m ON m.step_id = s.id" +
      conditions.sql + " ORDER BY r.id, c.position, s.number, m.id";
  return Rows<MeasurementRow>(db_.db, sql, conditions, problem, [](const Statement& s) {
    MeasurementRow row{.run = s.Integer(0),
                       .started = s.Text(1),
                       .plan = s.Text(2),
                       .station = s.Text(3),
                       .serial = s.Text(4),
                       .verdict = s.Text(5),
                       .step = static_cast<int>(s.Integer(9)),
                       .stepName = s.Text(10),
                       .measurement = {}};
    if (row.verdict == "running") row.verdict = StatusNow(s.Text(6), s.Text(7), s.Integer(8));
    Measurement& m = row.measurement;
    m.name = s.Text(11);
    m.value = s.Real(12);
    m.unit = s.Text(13);
    m.sent = s.OptionalReal(14);
    m.limits = {s.OptionalReal(15), s.OptionalReal(16), s.OptionalReal(17), s.OptionalReal(18),
                s.OptionalReal(19)};
    m.outcome = OutcomeNamed(s.Text(20));
    return row;
  });
}

std::optional<std::string> SqliteResultsStore::Report(std::int64_t runId, std::string& problem) {
  Statement statement(db_.db, "SELECT report FROM runs WHERE id = ?");
  statement.Bind(1, runId);
  const int result = statement.Prepared() ? statement.Step() : SQLITE_ERROR;
  if (result == SQLITE_ROW) return statement.Text(0);
  problem = result == SQLITE_DONE ? "no run " + std::to_string(runId) : std::string(sqlite3_errmsg(db_.db));
  return std::nullopt;
}

std::optional<std::vector<YieldRow>> SqliteResultsStore::FirstPassYield(const ResultsFilter& filter,
                                                                        std::string& problem) {
  // A unit's first run of a plan decides; the day is that run's (UTC).
  const Conditions conditions(filter, false);
  const std::string sql =
      "WITH firsts AS (SELECT c.serial, r.plan, min(r.id) AS run_id FROM controllers c JOIN runs r ON r.id = "
      "c.run_id GROUP BY c.serial, r.plan) "
      "SELECT r.plan, substr(r.started, 1, 10) AS day, count(*), sum(c.verdict = 'passed') FROM firsts f "
      "JOIN runs r ON r.id = f.run_id JOIN controllers c ON c.run_id = f.run_id AND c.serial = f.serial" +
      conditions.sql + " GROUP BY r.plan, day ORDER BY day, r.plan";
  return Rows<YieldRow>(db_.db, sql, conditions, problem, [](const Statement& s) {
    return YieldRow{.plan = s.Text(0),
                    .day = s.Text(1),
                    .units = static_cast<int>(s.Integer(2)),
                    .firstPass = static_cast<int>(s.Integer(3))};
  });
}

}  // namespace kavr::results
