#include "app/write_check.h"

#include <algorithm>

namespace kavr {

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
    lines.push_back(std::string(difference.field->name) + ": sent " + difference.sent + ", the controller keeps " +
                    difference.kept);
  }
  return lines;
}

}  // namespace kavr
