// A plan's run written to the results database as it goes: started when
// the run starts, each controller in a transaction of its own at the end,
// then closed. A database that cannot take it never stops the run: the
// failure is said once and the run's exit code says output was lost.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/plan_run.h"
#include "kavrctl.h"
#include "request.h"
#include "results/results_store.h"

namespace kavr::cli {

class RunResults {
 public:
  // Opens the database the request names (or the default one) and writes
  // the run as started; nothing when --no-db.
  RunResults(const Request& request, const PlanRun& run, Console& console);
  // Writes each controller's outcome and closes the run with `status`.
  void Close(const PlanRun& run, std::string_view status, const std::string& reportJson);
  // True when something meant for the database was lost.
  bool Lost() const { return lost_; }

 private:
  void Lose(const std::string& problem);

  Console& console_;
  std::string file_;
  std::unique_ptr<ResultsStore> store_;
  std::optional<std::int64_t> runId_;
  bool lost_ = false;
};

}  // namespace kavr::cli
