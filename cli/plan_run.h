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
  kNotRun,   // the run was interrupted first: an error, never a pass
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
  // The values the plan wrote, for the verify step.
  std::vector<FieldValue> modeWritten;
  std::vector<FieldValue> parametersWritten;
};

struct PlanRun {
  std::string planFile;
  const Plan* plan = nullptr;
  std::vector<ControllerRun> controllers;
  bool interrupted = false;
  // What interrupted it, in words ("SIGHUP", "standard output lost: ...").
  std::string interruption;
  bool outputLost = false;  // a line could not be written: exit code 8 unless a signal came
  std::chrono::milliseconds duration{0};

  bool Passed() const;
};

// The whole run as JSON, per serial number.
std::string PlanReportJson(const PlanRun& run);
// JUnit XML: a test suite per controller, a test case per step.
std::string PlanJunitXml(const PlanRun& run);

}  // namespace kavr::cli
