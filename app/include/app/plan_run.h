// A plan's run over several controllers, as the runner records it and the
// live lines, the JSON report and the JUnit file show it.
//
// Shells: kavrctl (run, serve).
#pragma once

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/plan.h"
#include "results/measurement.h"

namespace kavr {

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
  // What the step measured, passing or failing, and a wait's positions.
  std::vector<Measurement> measurements;
  std::vector<TracePoint> trace;
  // A shadowed wait: the reported and predicted positions at each read.
  std::vector<ShadowPoint> prediction;
  std::int64_t tolerance = 0;
};

struct ControllerRun {
  std::int32_t device = 0;  // 0-based
  std::string serial;
  std::string version;             // as Init listed it
  std::vector<StepOutcome> steps;  // one per plan step
  bool failed = false;
  // A start was sent to it and no power cycle has come since: a client that
  // holds the run's controllers (serve) stops it when it ends.
  bool started = false;
  // The values the plan wrote, for the verify step.
  std::vector<FieldValue> modeWritten;
  std::vector<FieldValue> parametersWritten;
  // The parameters written up to the latest save: what a power cycle keeps.
  std::vector<FieldValue> parametersSaved;
  // The latest move started, and when: shadowed waits predict it.
  std::optional<MoveSent> move;
  std::chrono::steady_clock::time_point movedAt;   // when the start call returned
  std::chrono::steady_clock::duration moveCall{};  // and how long it took
  std::optional<MoveShadow> shadow;
};

// A file the run depends on, with the SHA-256 of its bytes (empty when it
// could not be read).
struct FileDigest {
  std::string file;
  std::string sha256;
};

// Where, by whom and with what the run was made.
struct RunHeader {
  std::string planSha256;
  std::vector<FileDigest> settingsFiles;
  FileDigest library;
  std::string station;
  std::string operatorName;
  std::string started, ended;  // UTC, ISO 8601
};

struct PlanRun {
  std::string planFile;
  RunHeader header;
  const Plan* plan = nullptr;
  std::vector<ControllerRun> controllers;
  bool interrupted = false;
  // What interrupted it, in words ("SIGHUP", "standard output lost: ...").
  std::string interruption;
  bool outputLost = false;  // a line could not be written: exit code 8 unless a signal came
  std::chrono::milliseconds duration{0};
  // power-cycle steps: the stand-in's controllers are switched off and on
  // through its Init; any others by the operator, asked on the terminal.
  bool standIn = false;

  bool Passed() const;
};

// Each marginal value of the controller's steps: "InputVoltage 11.1 V, limit 11 V".
std::vector<std::string> MarginalValues(const ControllerRun& controller);

// The whole run as JSON, per serial number.
std::string PlanReportJson(const PlanRun& run);
// JUnit XML: a test suite per controller, a test case per step.
std::string PlanJunitXml(const PlanRun& run);

}  // namespace kavr
