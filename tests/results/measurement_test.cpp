// Judging a value against its limits, the marginal band's edges, and the
// digests and times a run's header carries.
#include "results/measurement.h"

#include <gtest/gtest.h>

#include "app/sha256.h"
#include "results/results_store.h"

namespace {

using kavr::MeasurementLimits;
using kavr::MeasurementOutcome;

TEST(Measurement, JudgedAgainstRangesTolerancesAndTheMarginalBand) {
  struct Case {
    MeasurementLimits limits;
    double value;
    std::optional<MeasurementOutcome> outcome;
  };
  const MeasurementLimits volts{.min = 11, .max = 13, .marginal = 0.2};
  const Case cases[] = {
      {volts, 12.0, MeasurementOutcome::kPass},
      {volts, 11.0, MeasurementOutcome::kMarginal},  // on the limit: passes, flagged
      {volts, 11.2, MeasurementOutcome::kMarginal},
      {volts, 11.25, MeasurementOutcome::kPass},
      {volts, 12.9, MeasurementOutcome::kMarginal},
      {volts, 10.99, MeasurementOutcome::kFail},
      {volts, 13.01, MeasurementOutcome::kFail},
      {{.max = 60}, -40.0, MeasurementOutcome::kPass},  // an open side has no band
      {{.expected = 2000, .tolerance = 5}, 2005.0, MeasurementOutcome::kPass},
      {{.expected = 2000, .tolerance = 5}, 1994.0, MeasurementOutcome::kFail},
      {{.expected = 0}, 0.0, MeasurementOutcome::kPass},
      {{.expected = 0}, 1.0, MeasurementOutcome::kFail},
      {{}, 5.0, std::nullopt},  // recorded, not judged
  };
  for (const Case& c : cases) EXPECT_EQ(kavr::Judge(c.limits, c.value), c.outcome) << c.value;

  const kavr::Measurement low{.name = "InputVoltage", .value = 11.1f, .unit = "V", .limits = volts};
  EXPECT_EQ(kavr::MarginalText(low), "InputVoltage 11.1 V, limit 11 V");
  EXPECT_EQ(kavr::MeasurementWords(low), "11.1 V (min 11, max 13, marginal 0.2)");
}

TEST(RunHeader, Sha256AndUtcTimes) {
  EXPECT_EQ(kavr::Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(kavr::Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Two blocks: the padding crosses into the second.
  EXPECT_EQ(kavr::Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  using std::chrono::milliseconds;
  const auto at = [](std::int64_t ms) { return std::chrono::system_clock::time_point(milliseconds(ms)); };
  EXPECT_EQ(kavr::UtcIsoTime(at(0)), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(kavr::UtcIsoTime(at(951782400123)), "2000-02-29T00:00:00.123Z");
  EXPECT_EQ(kavr::UtcIsoTime(at(1796818402001)), "2026-12-09T12:13:22.001Z");
}

}  // namespace
