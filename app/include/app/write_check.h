// Writes checked by reading back: controllers may clamp or ignore a value
// without saying so, so what was sent is compared with what came back.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "app/field_assignments.h"
#include "results/measurement.h"
#include "transcript/record_fields.h"

namespace kavr {

// A field of `sent` that the record read back holds otherwise, both values
// as FieldValueText writes them.
struct FieldDifference {
  const RecordField* field = nullptr;
  std::string sent;
  std::string kept;
};
std::vector<FieldDifference> FieldDifferences(RecordBytes readBack, std::span<const FieldValue> sent);

// One line per field of `sent` that the record read back holds otherwise:
// "SyncOutCount: sent 25, the controller keeps 24". A field sent twice
// counts with its last value; no line when everything stuck.
std::vector<std::string> WriteDifferences(RecordBytes readBack, std::span<const FieldValue> sent);

// Each field of `sent` once, with the value sent and, given the record read
// back, the value kept and whether it is the one sent (pass or fail).
// Without a read back the value is the one sent, not judged.
std::vector<Measurement> WrittenMeasurements(std::span<const FieldValue> sent,
                                             std::optional<RecordBytes> readBack);

}  // namespace kavr
