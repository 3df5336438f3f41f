// A prepared SQLite statement that finalizes itself, with binds and
// columns in the types the results store keeps.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavr::results {

class Statement {
 public:
  Statement(sqlite3* db, std::string_view sql) {
    result_ = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &statement_, nullptr);
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Prepared() const { return result_ == SQLITE_OK; }

  // Parameters count from 1, as SQLite's do.
  Statement& Bind(int index, std::string_view text) {
    sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& Bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
  }
  Statement& Bind(int index, double value) {
    sqlite3_bind_double(statement_, index, value);
    return *this;
  }
  Statement& Bind(int index, const std::optional<double>& value) {
    if (value) return Bind(index, *value);
    sqlite3_bind_null(statement_, index);
    return *this;
  }

  // SQLITE_ROW, SQLITE_DONE or the failure.
  int Step() { return sqlite3_step(statement_); }
  // Runs a statement that returns no rows; false on failure.
  bool Done() { return Prepared() && Step() == SQLITE_DONE; }
  void Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }

  std::string Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
  }
  std::int64_t Integer(int column) const { return sqlite3_column_int64(statement_, column); }
  double Real(int column) const { return sqlite3_column_double(statement_, column); }
  std::optional<double> OptionalReal(int column) const {
    if (sqlite3_column_type(statement_, column) == SQLITE_NULL) return std::nullopt;
    return Real(column);
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
  int result_ = SQLITE_ERROR;
};

}  // namespace kavr::results
