// kavrctl run killed outright (kill -9) at random moments while it writes
// the results database: the file stays whole, every finished run is there,
// and every killed one reads as aborted once its process is gone.
#ifndef _WIN32
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <thread>

#include "device/dynamic_controller_library.h"
#include "portable.h"
#include "results/results_store.h"

namespace cli_test {
namespace {

constexpr const char* kPlan = R"({"name": "killed", "steps": [
  {"step": "expect", "voltage": {"min": 5, "max": 30}},
  {"step": "start", "destination": 600, "speed": 5000}, {"step": "wait", "seconds": 5},
  {"step": "start", "destination": 0, "speed": 5000}, {"step": "wait", "seconds": 5},
  {"step": "expect", "position": 0, "running": false}]})";

TEST(ResultsUnderKill, KilledRunsReadAsAbortedAndTheFileStaysWhole) {
  test_support::StandInScratch scratch;
  const test_support::EnvironmentOverride two{"KAVR_SIM_DEVICES", "2"};
  const std::filesystem::path plan = scratch.folder.path / "plan.json", db = scratch.folder.path / "r.sqlite";
  std::ofstream(plan) << kPlan;
  const std::string program = (kavr::ExecutableFolder() / "kavrctl").string();
  const auto start = [&] {
    const pid_t child = fork();
    if (child == 0) {
      if (freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
      execl(program.c_str(), program.c_str(), "run", plan.c_str(), "--all", "--db", db.c_str(), nullptr);
      _exit(127);
    }
    return child;
  };
  // One whole run first: it makes the database and says how long a run
  // takes on this build (a sanitizer's is many times slower), so that the
  // kills fall anywhere in one.
  const auto begun = std::chrono::steady_clock::now();
  int whole = 0;
  waitpid(start(), &whole, 0);
  ASSERT_TRUE(WIFEXITED(whole) && WEXITSTATUS(whole) == 0) << "a whole run failed";
  const auto runTime =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begun).count();
  std::mt19937 random(std::random_device{}());
  int killed = 0;
  // Whether a killed run was caught with its row open: a slow build spends
  // most of a run starting and ending, so more rounds may be needed for one.
  const auto anyAborted = [&] {
    std::string why;
    const auto store = kavr::ResultsStore::Open(db, false, why);
    const auto runs = store ? store->Runs({.last = 100}, why) : std::nullopt;
    return runs &&
           std::ranges::any_of(*runs, [](const kavr::RunSummary& run) { return run.status == "aborted"; });
  };
  for (int round = 0; round < 20 || (round < 80 && !anyAborted()); ++round) {
    const pid_t child = start();
    std::this_thread::sleep_for(std::chrono::milliseconds(
        std::uniform_int_distribution<long long>(0, static_cast<long long>(runTime))(random)));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) ++killed;
  }
  std::string problem;
  auto store = kavr::ResultsStore::Open(db, false, problem);
  ASSERT_TRUE(store) << problem;
  const auto runs = store->Runs({.last = 100}, problem);
  ASSERT_TRUE(runs) << problem;
  int aborted = 0;
  for (const kavr::RunSummary& run : *runs) {
    EXPECT_NE(run.status, "running") << run.id;
    if (run.status == "aborted") {
      ++aborted;
    } else {
      EXPECT_EQ(run.passed + run.failed, 2) << run.id;  // a finished run is whole
    }
  }
  EXPECT_LE(aborted, killed);
  EXPECT_GT(aborted, 0) << "no kill fell within a run";
  store.reset();
  sqlite3* raw = nullptr;
  sqlite3_open(db.c_str(), &raw);
  sqlite3_stmt* check = nullptr;
  sqlite3_prepare_v2(raw, "PRAGMA integrity_check", -1, &check, nullptr);
  ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
  EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
  sqlite3_finalize(check);
  sqlite3_close(raw);
}

}  // namespace
}  // namespace cli_test
#endif
