#include "app/write_check.h"

#include <algorithm>

namespace kavr {

namespace {

double FieldNumber(RecordBytes record, const RecordField& field) {
  if (field.kind == FieldKind::kFloat) return static_cast<double>(ReadFloat(record, field));
  if (field.kind == FieldKind::kFlag) return ReadInteger(record, field) != 0 ? 1.0 : 0.0;
  return static_cast<double>(ReadInteger(record, field));
}

}  // namespace

std::vector<Measurement> WrittenMeasurements(std::span<const FieldValue> sent,
                                             std::optional<RecordBytes> readBack) {
  // The record as sent: the values over the record read back (or zeros).
  std::size_t size = 0;
  for (const FieldValue& value : sent) size = std::max(size, value.field->offset + value.field->size);
  std::vector<std::uint8_t> expected = readBack
                                           ? std::vector<std::uint8_t>(readBack->begin(), readBack->end())
                                           : std::vector<std::uint8_t>(size);
  ApplyFieldValues(expected, sent);
  std::vector<Measurement> measurements;
  std::vector<const RecordField*> seen;
  for (const FieldValue& value : sent) {
    if (std::ranges::find(seen, value.field) != seen.end()) continue;
    seen.push_back(value.field);
    Measurement& m = measurements.emplace_back();
    m.name = value.field->name;
    m.sent = FieldNumber(expected, *value.field);
    m.value = readBack ? FieldNumber(*readBack, *value.field) : *m.sent;
    if (readBack) {
      const bool kept = FieldValueText(expected, *value.field) == FieldValueText(*readBack, *value.field);
      m.limits.expected = *m.sent;
      m.outcome = kept ? MeasurementOutcome::kPass : MeasurementOutcome::kFail;
    }
  }
  return measurements;
}

std::vector<FieldDifference> FieldDifferences(RecordBytes readBack, std::span<const FieldValue> sent) {
  // The record as it would be had every value stuck, in the same words as
  // the record read back, so that a flag stored as 255 still reads "true".
  std::vector<std::uint8_t> expected(readBack.begin(), readBack.end());
  ApplyFieldValues(expected, sent);
  std::vector<FieldDifference> differences;
  std::vector<const RecordField*> seen;
  for (const FieldValue& value : sent) {
    if (std::ranges::find(seen, value.field) != seen.end()) continue;
    seen.push_back(value.field);
    const std::string wanted = FieldValueText(expected, *value.field);
    const std::string kept = FieldValueText(readBack, *value.field);
    if (wanted != kept) {
      differences.push_back({value.field, wanted, kept});
    }
  }
  return differences;
}

std::vector<std::string> WriteDifferences(RecordBytes readBack, std::span<const FieldValue> sent) {
  std::vector<std::string> lines;
  for (const FieldDifference& difference : FieldDifferences(readBack, sent)) {
    lines.push_back(std::string(difference.field->name) + ": sent " + difference.sent +
                    ", the controller keeps " + difference.kept);
  }
  return lines;
}

}  // namespace kavr
