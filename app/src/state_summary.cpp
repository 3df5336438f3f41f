#include "app/state_summary.h"

#include <array>

#include "reports/report_text.h"
#include "reports/reports.h"

namespace kavr {
namespace {

// The state report's lines, in the report's order.
enum StateLine : std::size_t {
  kHeading,
  kPosition,
  kTemperature,
  kStepDivisor,
  kLoft,
  kPower,
  kMotion,
  kReset,
  kSyncIn,
  kSyncOut,
  kRotary,
  kRotaryError,
  kEmergency,
  kTrailer1,
  kTrailer2,
  kVoltage,
  kLineCount,
};

struct InputLine {
  std::string_view name;
  StateLine line;
  Flag KAVR_State::*flag;
};

constexpr std::array kInputs = {
    InputLine{"Emergency", kEmergency, &KAVR_State::EmergencyPushed},
    InputLine{"Trailer 1", kTrailer1, &KAVR_State::Trailer1Pushed},
    InputLine{"Trailer 2", kTrailer2, &KAVR_State::Trailer2Pushed},
    InputLine{"Sync in", kSyncIn, &KAVR_State::SyncInState},
    InputLine{"Sync out", kSyncOut, &KAVR_State::SyncOutState},
    InputLine{"Rotary", kRotary, &KAVR_State::RotaryState},
    InputLine{"Rotary error", kRotaryError, &KAVR_State::RotaryError},
};

// "- Label - value" gives "value". A line that is all words ("- Step Motor
// is Not Running") gives its words, without the bullet or a trailing space.
std::string_view ValueOf(std::string_view line) {
  constexpr std::string_view kBullet = "- ", kJoin = " - ";
  if (line.starts_with(kBullet)) line.remove_prefix(kBullet.size());
  if (const std::size_t join = line.find(kJoin); join != std::string_view::npos) {
    line.remove_prefix(join + kJoin.size());
  }
  while (line.ends_with(' ')) line.remove_suffix(1);
  return line;
}

std::array<std::string_view, kLineCount> ReportValues(std::string_view report) {
  std::array<std::string_view, kLineCount> values{};
  for (std::size_t line = 0; line < kLineCount && !report.empty(); ++line) {
    const std::size_t end = report.find(kLineEnd);
    values[line] = ValueOf(report.substr(0, end));
    report.remove_prefix(end == std::string_view::npos ? report.size() : end + 1);
  }
  return values;
}

}  // namespace

StateSummary SummarizeState(const KAVR_State& state, std::string_view decimalSeparator) {
  const std::string report = StateReportText(state, decimalSeparator);
  const auto values = ReportValues(report);
  std::string_view motion = values[kMotion];
  constexpr std::string_view kSubject = "Step Motor is ";
  if (motion.starts_with(kSubject)) motion.remove_prefix(kSubject.size());

  StateSummary summary{std::string(values[kPosition]),
                       std::string(motion),
                       std::string(values[kPower]),
                       std::string(values[kVoltage]),
                       std::string(values[kTemperature]),
                       std::string(values[kStepDivisor]),
                       {}};
  for (const InputLine& input : kInputs) {
    summary.inputs.push_back({input.name, std::string(values[input.line]), IsSet(state.*input.flag)});
  }
  return summary;
}

std::vector<std::string_view> StateInputNames() {
  std::vector<std::string_view> names;
  for (const InputLine& input : kInputs) names.push_back(input.name);
  return names;
}

}  // namespace kavr
