// The results database as files and processes meet it: bad files refused
// unchanged, two processes writing at once, a process that dies mid-run,
// and the queries kavrctl results makes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <fstream>
#include <iterator>

#include "portable.h"
#include "results/results_store.h"

namespace {

using kavr::ResultsStore;

std::string Bytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string RawScalar(const std::filesystem::path& file, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_open(file.string().c_str(), &db);
  sqlite3_stmt* statement = nullptr;
  std::string value = "(no answer)";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
      sqlite3_step(statement) == SQLITE_ROW) {
    value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
  }
  sqlite3_finalize(statement);
  sqlite3_close(db);
  return value;
}

kavr::StoredRun OneUnit(const std::string& serial, const std::string& plan = "eol",
                        const std::string& day = "2026-12-09") {
  return {
      .plan = plan, .station = "st1", .started = day + "T10:00:00.000Z", .controllers = {{serial, "1.0"}}};
}

std::vector<kavr::StoredStep> MeasuredStep(double volts) {
  return {{.number = 1,
           .name = "expect",
           .result = "passed",
           .measurements = {{.name = "InputVoltage",
                             .value = volts,
                             .unit = "V",
                             .limits = {.min = 11, .max = 13},
                             .outcome = kavr::MeasurementOutcome::kPass},
                            {.name = "Temperature", .value = 30, .unit = "°C"}},
           .trace = {{0, 0}, {50, 250}}}};
}

// A whole run of one unit, as kavrctl writes it.
void WriteRun(ResultsStore& store, const kavr::StoredRun& run, const std::string& verdict) {
  std::string problem;
  const auto id = store.BeginRun(run, problem);
  ASSERT_TRUE(id) << problem;
  ASSERT_TRUE(store.RecordController(*id, 0, verdict, MeasuredStep(12), problem)) << problem;
  ASSERT_TRUE(store.EndRun(*id, verdict, "2026-12-09T10:00:01.000Z", "{}", problem)) << problem;
}

TEST(ResultsStore, BadFilesAreRefusedWithAMessageAndLeftUnchanged) {
  test_support::ScratchFolder folder;
  struct Case {
    const char* what;
    void (*make)(const std::filesystem::path&);
    const char* message;
  };
  const Case cases[] = {
      {"an empty file", [](const std::filesystem::path& f) { std::ofstream{f}; }, "empty"},
      {"a text file", [](const std::filesystem::path& f) { std::ofstream{f} << std::string(3000, 'x'); },
       "not a database"},
      {"a newer schema",
       [](const std::filesystem::path& f) {
         std::string problem;
         ResultsStore::Open(f, true, problem).reset();
         RawScalar(f, "PRAGMA user_version = 99");
       },
       "newer version"},
      {"another program's database",
       [](const std::filesystem::path& f) { RawScalar(f, "CREATE TABLE parts (id INTEGER)"); }, "other kind"},
  };
  for (const Case& c : cases) {
    const std::filesystem::path file = folder.path / (std::string(c.what) + ".sqlite");
    c.make(file);
    const std::string before = Bytes(file);
    std::string problem;
    EXPECT_EQ(ResultsStore::Open(file, true, problem), nullptr) << c.what;
    EXPECT_NE(problem.find(c.message), std::string::npos) << c.what << ": " << problem;
    EXPECT_EQ(Bytes(file), before) << c.what;
  }
}

#ifndef _WIN32
TEST(ResultsStore, AReadOnlyFileTakesNoRunAndSaysSo) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  test_support::ScratchFolder folder;
  const std::filesystem::path file = folder.path / "r.sqlite";
  std::string problem;
  ResultsStore::Open(file, true, problem).reset();
  chmod(file.c_str(), 0444);
  const std::string before = Bytes(file);
  auto store = ResultsStore::Open(file, true, problem);
  const bool refused = store == nullptr || !store->BeginRun(OneUnit("A"), problem);
  EXPECT_TRUE(refused);
  EXPECT_NE(problem.find("readonly"), std::string::npos) << problem;
  store.reset();
  EXPECT_EQ(Bytes(file), before);
}

TEST(ResultsStore, TwoProcessesWritingAtOnceLoseNothing) {
  test_support::ScratchFolder folder;
  const std::filesystem::path file = folder.path / "shared.sqlite";
  pid_t writers[2];
  for (int writer = 0; writer < 2; ++writer) {
    writers[writer] = fork();
    if (writers[writer] == 0) {
      // Each child opens the file itself, the first to come making it.
      std::string problem;
      auto store = ResultsStore::Open(file, true, problem);
      for (int run = 0; store && run < 50; ++run) {
        const auto id =
            store->BeginRun(OneUnit("W" + std::to_string(writer) + "-" + std::to_string(run)), problem);
        if (!id || !store->RecordController(*id, 0, "passed", MeasuredStep(11 + run * 0.01), problem) ||
            !store->EndRun(*id, "passed", "2026-12-09T10:00:01.000Z", "{}", problem)) {
          _exit(1);
        }
      }
      _exit(store ? 0 : 2);
    }
  }
  for (const pid_t writer : writers) {
    int status = 0;
    waitpid(writer, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(RawScalar(file, "PRAGMA integrity_check"), "ok");
  EXPECT_EQ(RawScalar(file, "SELECT count(*) FROM runs WHERE status = 'passed'"), "100");
  EXPECT_EQ(RawScalar(file, "SELECT count(DISTINCT serial) FROM controllers WHERE verdict = 'passed'"),
            "100");
  EXPECT_EQ(RawScalar(file, "SELECT count(*) FROM measurements"), "200");
  EXPECT_EQ(RawScalar(file, "SELECT count(*) FROM traces"), "200");
}

TEST(ResultsStore, ARunWhoseProcessDiedReadsAsAborted) {
  test_support::ScratchFolder folder;
  const std::filesystem::path file = folder.path / "r.sqlite";
  std::string problem;
  auto store = ResultsStore::Open(file, true, problem);
  ASSERT_TRUE(store) << problem;
  const pid_t child = fork();
  if (child == 0) {
    auto own = ResultsStore::Open(file, true, problem);
    _exit(own && own->BeginRun(OneUnit("DIED"), problem) ? 0 : 1);  // never closed
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(store->BeginRun(OneUnit("LIVES"), problem));  // this process: still running
  const auto runs = store->Runs({}, problem);
  ASSERT_TRUE(runs);
  ASSERT_EQ(runs->size(), 2u);
  EXPECT_EQ((*runs)[0].status, "running");
  EXPECT_EQ((*runs)[1].status, "aborted");
}
#endif

TEST(ResultsStore, QueriesByUnitPlanDayAndFirstPassYield) {
  test_support::ScratchFolder folder;
  std::string problem;
  auto store = ResultsStore::Open(folder.path / "r.sqlite", true, problem);
  ASSERT_TRUE(store) << problem;
  WriteRun(*store, OneUnit("A"), "failed");  // A fails first, then passes: not first-pass
  WriteRun(*store, OneUnit("A"), "passed");
  WriteRun(*store, OneUnit("B"), "passed");
  WriteRun(*store, OneUnit("C", "eol", "2026-12-10"), "passed");
  WriteRun(*store, OneUnit("A", "bring-up"), "passed");

  const auto yield = store->FirstPassYield({}, problem);
  ASSERT_TRUE(yield) << problem;
  std::vector<std::string> rows;
  for (const kavr::YieldRow& row : *yield) {
    rows.push_back(row.day + " " + row.plan + " " + std::to_string(row.firstPass) + "/" +
                   std::to_string(row.units));
  }
  EXPECT_EQ(rows, (std::vector<std::string>{"2026-12-09 bring-up 1/1", "2026-12-09 eol 1/2",
                                            "2026-12-10 eol 1/1"}));

  const auto history = store->Measurements({.serial = "A", .plan = "eol"}, problem);
  ASSERT_TRUE(history) << problem;
  ASSERT_EQ(history->size(), 4u);  // two runs, two measurements each
  EXPECT_EQ((*history)[0].verdict, "failed");
  EXPECT_EQ((*history)[0].measurement.limits.max, 13.0);
  EXPECT_EQ((*history)[3].measurement.name, "Temperature");
  const auto since = store->Runs({.since = "2026-12-10"}, problem);
  ASSERT_TRUE(since);
  ASSERT_EQ(since->size(), 1u);
  EXPECT_EQ((*since)[0].passed, 1);
}

}  // namespace
