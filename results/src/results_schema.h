// The results database's tables, as migrations from one schema version to
// the next: a file of version N gets every script from N on, in one
// transaction.
#pragma once

#include <array>

namespace kavr::results {

inline constexpr std::array<const char*, 1> kMigrations = {
    // 0 -> 1. A run's status: running while it runs, then passed, failed or
    // interrupted; one still running whose process is gone reads as aborted.
    R"sql(
CREATE TABLE runs (
  id INTEGER PRIMARY KEY,
  plan TEXT NOT NULL, plan_file TEXT, plan_sha256 TEXT,
  station TEXT, operator TEXT, version TEXT, library TEXT, library_sha256 TEXT,
  started TEXT NOT NULL, ended TEXT,
  status TEXT NOT NULL CHECK (status IN ('running', 'passed', 'failed', 'interrupted')),
  host TEXT, pid INTEGER,
  report TEXT);
CREATE INDEX runs_started ON runs (started);
CREATE INDEX runs_plan ON runs (plan, started);
CREATE TABLE controllers (
  id INTEGER PRIMARY KEY,
  run_id INTEGER NOT NULL REFERENCES runs (id),
  position INTEGER NOT NULL,
  serial TEXT NOT NULL, version TEXT,
  verdict TEXT NOT NULL CHECK (verdict IN ('running', 'passed', 'failed', 'interrupted')),
  UNIQUE (run_id, position));
CREATE INDEX controllers_serial ON controllers (serial, run_id);
CREATE TABLE steps (
  id INTEGER PRIMARY KEY,
  controller_id INTEGER NOT NULL REFERENCES controllers (id),
  number INTEGER NOT NULL, name TEXT NOT NULL, result TEXT NOT NULL,
  duration_ms INTEGER, expected TEXT, got TEXT);
CREATE INDEX steps_controller ON steps (controller_id, number);
CREATE TABLE measurements (
  id INTEGER PRIMARY KEY,
  step_id INTEGER NOT NULL REFERENCES steps (id),
  name TEXT NOT NULL, value REAL, unit TEXT, sent REAL,
  min REAL, max REAL, expected REAL, tolerance REAL, marginal REAL,
  outcome TEXT CHECK (outcome IN ('pass', 'marginal', 'fail')));
CREATE INDEX measurements_step ON measurements (step_id);
CREATE TABLE traces (
  step_id INTEGER NOT NULL REFERENCES steps (id),
  ms INTEGER NOT NULL, position INTEGER NOT NULL);
CREATE INDEX traces_step ON traces (step_id);
)sql",
};

}  // namespace kavr::results
