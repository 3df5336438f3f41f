// kavrctl results: what the results database holds, as lines, one run's
// report as it was written, the measurements as CSV, or first-pass yield.
#include <cerrno>
#include <cstring>
#include <fstream>

#include "commands.h"
#include "output.h"
#include "results/results_store.h"

namespace kavr::cli {
namespace {

std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::unique_ptr<ResultsStore> OpenStore(const Request& request) {
  const std::filesystem::path file = request.dbFile ? PathOf(*request.dbFile) : ResultsStore::DefaultFile();
  const std::u8string name = file.u8string();
  const std::string shown(name.begin(), name.end());
  if (file.empty())
    throw Failure{kBadUsage, "no user data folder to find the results database in; give --db FILE"};
  std::string problem;
  auto store = ResultsStore::Open(file, false, problem);
  if (!store) throw Failure{kBadUsage, "results database " + shown + ": " + problem};
  return store;
}

template <typename Rows>
Rows Checked(std::optional<Rows> rows, const std::string& problem) {
  if (!rows) throw Failure{kCallFailed, "the results database cannot be read: " + problem};
  return std::move(*rows);
}

std::string RunLine(const RunSummary& run) {
  return "run " + std::to_string(run.id) + "  " + run.started + "  " + run.plan + "  station " + run.station +
         (run.operatorName.empty() ? "" : "  operator " + run.operatorName) + "  " + run.status + ": " +
         std::to_string(run.passed) + " passed, " + std::to_string(run.failed) + " failed of " +
         std::to_string(run.controllers);
}

std::string Csv(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string CsvNumber(const std::optional<double>& value) { return value ? MeasurementNumber(*value) : ""; }

std::string CsvText(const std::vector<MeasurementRow>& rows) {
  std::string text =
      "run,started,plan,station,serial,verdict,step,step_name,measurement,value,unit,sent,min,max,expected,"
      "tolerance,marginal,outcome\r\n";
  for (const MeasurementRow& row : rows) {
    const Measurement& m = row.measurement;
    const std::string fields[] = {std::to_string(row.run),
                                  row.started,
                                  row.plan,
                                  row.station,
                                  row.serial,
                                  row.verdict,
                                  std::to_string(row.step),
                                  row.stepName,
                                  m.name,
                                  MeasurementNumber(m.value),
                                  m.unit,
                                  CsvNumber(m.sent),
                                  CsvNumber(m.limits.min),
                                  CsvNumber(m.limits.max),
                                  CsvNumber(m.limits.expected),
                                  CsvNumber(m.limits.tolerance),
                                  CsvNumber(m.limits.marginal),
                                  m.outcome ? std::string(OutcomeName(*m.outcome)) : ""};
    std::string line;
    for (const std::string& field : fields) {
      // Appended piece by piece: GCC 12 misjudges a prepended separator at -O3.
      if (!line.empty()) line += ',';
      line += Csv(field);
    }
    text += line + "\r\n";
  }
  return text;
}

// Each run, and under it what each unit measured, step by step.
void PrintRunsWithMeasurements(ResultsStore& store, const ResultsFilter& filter, Console& console) {
  std::string problem;
  const auto runs = Checked(store.Runs(filter, problem), problem);
  const auto rows = Checked(store.Measurements(filter, problem), problem);
  if (runs.empty()) {
    PrintText(console.out, filter.serial ? "no runs of " + *filter.serial : "no such run");
    return;
  }
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    PrintText(console.out, RunLine(*run));
    std::string unit;
    for (const MeasurementRow& row : rows) {
      if (row.run != run->id) continue;
      if (row.serial != unit) PrintText(console.out, "  " + (unit = row.serial) + ": " + row.verdict);
      PrintText(console.out, "    step " + std::to_string(row.step) + " " + row.stepName + ": " +
                                 row.measurement.name + " " + MeasurementWords(row.measurement));
    }
  }
}

}  // namespace

int ResultsCommand(const Request& request, Session&, Console& console) {
  auto store = OpenStore(request);
  ResultsFilter filter{.serial = request.serial,
                       .plan = request.planName,
                       .since = request.since,
                       .run = request.runId,
                       .last = request.lastRuns};
  std::string problem;
  if (request.json) {
    if (!request.runId) throw Failure{kBadUsage, "results: --json prints one run's report; give --run ID"};
    const std::string report = Checked(store->Report(*request.runId, problem), problem);
    if (report.empty()) {
      throw Failure{kCallFailed, "run " + std::to_string(*request.runId) +
                                     " was never closed (aborted or still running): no report"};
    }
    PrintText(console.out, report.substr(0, report.find_last_not_of('\n') + 1));
    return kSuccess;
  }
  if (request.csvFile) {
    const std::string text = CsvText(Checked(store->Measurements(filter, problem), problem));
    errno = 0;
    std::ofstream out(PathOf(*request.csvFile), std::ios::binary | std::ios::trunc);
    if (out) out << text;
    if (out) out.close();
    if (!out) {
      throw Failure{kOutputFailed, "cannot write " + *request.csvFile +
                                       (errno != 0 ? ": " + std::string(std::strerror(errno)) : "")};
    }
    return kSuccess;
  }
  if (request.yield) {
    for (const YieldRow& row : Checked(store->FirstPassYield(filter, problem), problem)) {
      PrintText(console.out, row.day + "  " + row.plan + "  first-pass yield " +
                                 std::to_string(row.firstPass) + " of " + std::to_string(row.units) + " (" +
                                 std::to_string(row.units == 0 ? 0 : 100 * row.firstPass / row.units) + "%)");
    }
    return kSuccess;
  }
  if (request.serial || request.runId) {
    PrintRunsWithMeasurements(*store, filter, console);
    return kSuccess;
  }
  const auto runs = Checked(store->Runs(filter, problem), problem);
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) PrintText(console.out, RunLine(*run));
  return kSuccess;
}

}  // namespace kavr::cli
