// A build without SQLite (the Windows cross-build has none): no results
// database, and a clear word when one is asked for.
#include "results/results_store.h"

namespace kavr {

bool ResultsStore::Available() { return false; }

std::unique_ptr<ResultsStore> ResultsStore::Open(const std::filesystem::path&, bool, std::string& problem) {
  problem = "this build has no results database (SQLite was not found when it was built)";
  return nullptr;
}

}  // namespace kavr
