#include "results/measurement.h"

#include <charconv>
#include <cmath>
#include <iterator>

namespace kavr {
namespace {

constexpr std::string_view kOutcomeNames[] = {"pass", "marginal", "fail"};

// The limit `value` is nearest to, of those it is within the band of.
std::optional<double> NearLimit(const MeasurementLimits& limits, double value) {
  if (!limits.marginal) return std::nullopt;
  const double band = *limits.marginal;
  if (limits.min && value - *limits.min <= band) return limits.min;
  if (limits.max && *limits.max - value <= band) return limits.max;
  if (limits.expected && limits.tolerance) {
    const double off = value - *limits.expected;
    if (*limits.tolerance - std::fabs(off) <= band)
      return *limits.expected + (off < 0 ? -1 : 1) * *limits.tolerance;
  }
  return std::nullopt;
}

}  // namespace

std::string_view OutcomeName(MeasurementOutcome outcome) { return kOutcomeNames[static_cast<int>(outcome)]; }

std::optional<MeasurementOutcome> OutcomeNamed(std::string_view name) {
  for (std::size_t index = 0; index < std::size(kOutcomeNames); ++index) {
    if (kOutcomeNames[index] == name) return static_cast<MeasurementOutcome>(index);
  }
  return std::nullopt;
}

std::optional<MeasurementOutcome> Judge(const MeasurementLimits& limits, double value) {
  if (!limits.Any()) return std::nullopt;
  const bool within =
      (!limits.min || value >= *limits.min) && (!limits.max || value <= *limits.max) &&
      (!limits.expected || std::fabs(value - *limits.expected) <= limits.tolerance.value_or(0.0));
  if (!within) return MeasurementOutcome::kFail;
  return NearLimit(limits, value) ? MeasurementOutcome::kMarginal : MeasurementOutcome::kPass;
}

std::string MeasurementNumber(double value) {
  char text[32];
  // Values are read as floats: their shortest float form, 11.1 rather than 11.100000381.
  const float single = static_cast<float>(value);
  if (static_cast<double>(single) == value || std::fabs(value) < 1e7) {
    return std::string(text, std::to_chars(text, text + sizeof text, single).ptr);
  }
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

std::string MarginalText(const Measurement& measurement) {
  const std::string unit = measurement.unit.empty() ? "" : " " + measurement.unit;
  std::string text = measurement.name + " " + MeasurementNumber(measurement.value) + unit;
  if (const auto limit = NearLimit(measurement.limits, measurement.value)) {
    text += ", limit " + MeasurementNumber(*limit) + unit;
  }
  return text;
}

std::string MeasurementWords(const Measurement& m) {
  const std::string unit = m.unit.empty() ? "" : " " + m.unit;
  std::string text = m.sent ? "sent " + MeasurementNumber(*m.sent) + unit + ", read " : std::string();
  text += MeasurementNumber(m.value) + unit;
  std::string limits;
  const auto add = [&](const char* word, const std::optional<double>& value) {
    if (value) limits += (limits.empty() ? "" : ", ") + std::string(word) + " " + MeasurementNumber(*value);
  };
  add("min", m.limits.min);
  add("max", m.limits.max);
  add("expected", m.limits.expected);
  add("tolerance", m.limits.tolerance);
  add("marginal", m.limits.marginal);
  if (!limits.empty()) text += " (" + limits + ")";
  if (m.outcome) text += ": " + std::string(OutcomeName(*m.outcome));
  return text;
}

}  // namespace kavr
