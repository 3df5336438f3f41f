// The results store on SQLite: WAL so that readers never wait for writers,
// a busy timeout so that writers queue instead of failing, and every write
// in a transaction of its own begun IMMEDIATE, so that two processes never
// deadlock upgrading a read to a write.
#include "sqlite_results_store.h"

#include <sqlite3.h>

#include <system_error>

#include "results/results_store.h"
#include "results_schema.h"
#include "sqlite_statement.h"

namespace kavr {
namespace {

using results::Connection;
using results::Exec;
using results::SqliteResultsStore;
using results::Statement;

static_assert(results::kMigrations.size() == kResultsSchemaVersion);

// Long enough for a line's stations to queue behind each other's runs.
constexpr int kBusyTimeoutMs = 10000;

std::string PathText(const std::filesystem::path& file) {
  const std::u8string text = file.u8string();
  return std::string(text.begin(), text.end());
}

std::optional<std::int64_t> Scalar(sqlite3* db, const char* sql, std::string& problem) {
  Statement statement(db, sql);
  if (statement.Prepared() && statement.Step() == SQLITE_ROW) return statement.Integer(0);
  problem = sqlite3_errmsg(db);
  return std::nullopt;
}

// Every migration from the file's version on, or the reason it cannot take them.
bool Migrate(sqlite3* db, std::string& problem) {
  if (!Exec(db, "BEGIN IMMEDIATE", problem)) return false;
  const auto version = Scalar(db, "PRAGMA user_version", problem);
  bool done = version.has_value();
  for (auto step = version.value_or(0); done && step < kResultsSchemaVersion; ++step) {
    done = Exec(db, results::kMigrations[static_cast<std::size_t>(step)], problem);
  }
  const std::string setVersion = "PRAGMA user_version = " + std::to_string(kResultsSchemaVersion);
  if (done && version < kResultsSchemaVersion) done = Exec(db, setVersion.c_str(), problem);
  if (done) return Exec(db, "COMMIT", problem);
  std::string ignored;
  Exec(db, "ROLLBACK", ignored);
  return false;
}

sqlite3* OpenConnection(const std::filesystem::path& file, int flags, std::string& problem) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(PathText(file).c_str(), &db, flags, nullptr) != SQLITE_OK) {
    problem = db != nullptr ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close_v2(db);
    return nullptr;
  }
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // In WAL mode a process that dies loses nothing committed at NORMAL; only
  // a power cut may lose the last transactions, never the file's integrity.
  std::string ignored;
  Exec(db, "PRAGMA synchronous = NORMAL", ignored);
  return db;
}

// A new database is made whole under a name of its own and then linked into
// place, so that no process ever opens a half-made (empty) file there.
bool CreateFile(const std::filesystem::path& file, std::string& problem) {
  std::filesystem::path building = file;
  building += ".new-" + std::to_string(OwnProcessId());
  std::error_code error;
  std::filesystem::remove(building, error);
  {
    Connection made{OpenConnection(building, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, problem)};
    if (made.db == nullptr || !Exec(made.db, "PRAGMA journal_mode = WAL", problem) ||
        !Migrate(made.db, problem)) {
      std::filesystem::remove(building, error);
      return false;
    }
  }
  std::filesystem::create_hard_link(building, file, error);
  if (error && !std::filesystem::exists(file)) {
    // No hard links on this file system: a rename, which another process may race.
    error.clear();
    std::filesystem::rename(building, file, error);
  }
  std::filesystem::remove(building, error);
  if (!std::filesystem::exists(file)) {
    problem = "cannot be made: " + error.message();
    return false;
  }
  return true;
}

}  // namespace

bool ResultsStore::Available() { return true; }

std::unique_ptr<ResultsStore> ResultsStore::Open(const std::filesystem::path& file, bool create,
                                                 std::string& problem) {
  std::error_code error;
  const bool exists = std::filesystem::exists(file, error);
  if (!exists) {
    if (!create) {
      problem = "no results database here";
      return nullptr;
    }
    if (!CreateFile(file, problem)) return nullptr;
  } else if (std::filesystem::is_regular_file(file, error) && std::filesystem::file_size(file, error) == 0) {
    problem = "the file is empty, not a results database; left as it is";
    return nullptr;
  }
  Connection db{OpenConnection(file, SQLITE_OPEN_READWRITE, problem)};
  if (db.db == nullptr) return nullptr;
  const auto version = Scalar(db.db, "PRAGMA user_version", problem);
  if (!version) return nullptr;
  if (*version > kResultsSchemaVersion) {
    problem = "written by a newer version of this program (schema " + std::to_string(*version) +
              "; this one knows up to " + std::to_string(kResultsSchemaVersion) + "); left unchanged";
    return nullptr;
  }
  if (*version == 0 && Scalar(db.db, "SELECT count(*) FROM sqlite_master", problem).value_or(1) != 0) {
    problem = "a database of some other kind (no schema version, other tables); left unchanged";
    return nullptr;
  }
  if (*version < kResultsSchemaVersion && !Migrate(db.db, problem)) return nullptr;
  auto store = std::make_unique<SqliteResultsStore>(db.db);
  db.db = nullptr;
  return store;
}

}  // namespace kavr
