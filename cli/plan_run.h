// A plan's run over several controllers, as the runner records it and the
// live lines, the JSON report and the JUnit file show it.
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "app/plan.h"

namespace kavr::cli {

enum class StepVerdict {
  kPassed,
  kFailed,
  kSkipped,  // an earlier step of this controller failed
  kNotRun,   // the run was interrupted first
};

std::string_view VerdictName(StepVerdict verdict);

struct StepOutcome {
  StepVerdict verdict = StepVerdict::kNotRun;
  std::chrono::milliseconds duration{0};
  // For a failure, in words.
  std::string expected;
  std::string got;
};

struct ControllerRun {
  std::int32_t device = 0;  // 0-based
  std::string serial;
  std::vector<StepOutcome> steps;  // one per plan step
  bool failed = false;
  bool started = false;  // a start was sent: an interrupt stops it
  // The values the plan wrote, for the verify step.
  std::vector<FieldValue> modeWritten;
  std::vector<FieldValue> parametersWritten;
  // The parameters written up to the latest save: what a power cycle keeps.
  std::vector<FieldValue> parametersSaved;
};

struct PlanRun {
  std::string planFile;
  const Plan* plan = nullptr;
  std::vector<ControllerRun> controllers;
  bool interrupted = false;
  std::chrono::milliseconds duration{0};
  // power-cycle steps: the stand-in's controllers are switched off and on
  // through its Init; any others by the operator, asked on the terminal.
  bool standIn = false;

  bool Passed() const;
};

// The whole run as JSON, per serial number.
std::string PlanReportJson(const PlanRun& run);
// JUnit XML: a test suite per controller, a test case per step.
std::string PlanJunitXml(const PlanRun& run);

}  // namespace kavr::cli
