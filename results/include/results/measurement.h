// What a step measured: each value with its unit, the limits it was held to
// and how it fared. The report, JUnit, CSV and the results database all
// show these same records.
//
// Shells: kavrctl (run, results).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavr {

enum class MeasurementOutcome { kPass, kMarginal, kFail };

// "pass", "marginal", "fail".
std::string_view OutcomeName(MeasurementOutcome outcome);
std::optional<MeasurementOutcome> OutcomeNamed(std::string_view name);

// Either a range (min and max, either open) or an expected value with a
// tolerance either side. A marginal band flags a value within it of a limit
// that still passes.
struct MeasurementLimits {
  std::optional<double> min = {};
  std::optional<double> max = {};
  std::optional<double> expected = {};
  std::optional<double> tolerance = {};
  std::optional<double> marginal = {};

  bool Any() const { return min || max || expected; }
};

struct Measurement {
  // Defaults throughout, so that a record names only what it has.
  std::string name = {};            // a record's field name: InputVoltage, CurrentPosition, SyncOutCount
  double value = 0.0;               // as read (for a write: as read back)
  std::string unit = {};            // "steps", "V", "°C", "ms", "steps/s" or none
  std::optional<double> sent = {};  // a write's value as sent
  MeasurementLimits limits = {};
  std::optional<MeasurementOutcome> outcome = {};  // none: recorded, not judged
};

// A position read while waiting, at milliseconds since the wait began.
struct TracePoint {
  std::int64_t ms = 0;
  std::int32_t position = 0;
};

// How `value` fares against `limits`; none when they set no limit.
std::optional<MeasurementOutcome> Judge(const MeasurementLimits& limits, double value);

// A value in its shortest form: 11.1, 2000, 0.2.
std::string MeasurementNumber(double value);

// "InputVoltage 11.1 V, limit 11 V": a marginal value and the limit it is near.
std::string MarginalText(const Measurement& measurement);

// "sent 25, read 24 (expected 25): fail", "12 V (min 11, max 13, marginal 0.2): pass".
std::string MeasurementWords(const Measurement& measurement);

}  // namespace kavr
