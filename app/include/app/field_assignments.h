// Record fields named by the user: "FIELD=VALUE" texts on the command line
// and the values of a settings file, checked against the records' field
// tables before anything reaches a controller, and written into a record
// that was read from it. Also each field's value as text, for the way back.
// Failure: see app/problem.h; the words name the field.
//
// Shells: kavrctl.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transcript/record_fields.h"

namespace kavr {

// A checked value for one writable field: flags (0 or 1) and whole numbers
// in `integer`, floats in `real`.
struct FieldValue {
  const RecordField* field = nullptr;
  std::int64_t integer = 0;
  float real = 0.0f;
};

// The checked values of one request.
struct FieldWrites {
  std::vector<FieldValue> values;
  // Values that go out other than given, each saying what is sent and why.
  std::vector<std::string> notes;
};

// The names that may be written, in record order: every field but the
// slots the program never reads. "A, B, C".
std::string WritableFieldNames(std::span<const RecordField> fields);

// The writable field called `name`, or null and why: an unknown name, or a
// slot that is never written; both list the writable names.
const RecordField* WritableField(std::span<const RecordField> fields, std::string_view recordName,
                                 std::string_view name, std::string& problem);

// `value` for `field`, refused when outside the range of its kind (flags
// 0 or 1); `shown` is how the value is named in the problem.
std::optional<FieldValue> IntegerFieldValue(const RecordField& field, std::int64_t value,
                                            std::string_view shown, std::string& problem);
// A float field from a double: refused beyond the largest float, or when a
// nonzero value would become 0.
std::optional<FieldValue> FloatFieldValue(const RecordField& field, double value, std::string_view shown,
                                          std::string& problem);

// Why the library would refuse `value` (kavr/limits.h: times up to a day,
// speeds and counts from 0): "DecelerationTime: 1e+19 must not be longer
// than a day (86400000 ms)"; nothing when it takes it.
std::optional<std::string> LimitProblem(const FieldValue& value);
// The same for the first of `values` that would change `record` (bytes as
// read): a value written back as it was read passes, whatever it is.
std::optional<std::string> ChangedValueLimitProblem(std::span<const std::uint8_t> record,
                                                    std::span<const FieldValue> values);

// When the float `sent` reads back other than the number `given` (C
// notation), why: "ButtonTimeout1: 86400001 is sent as 86400000, the
// nearest 32-bit float". Nothing when its shortest text is the number
// given (0.1 for 0.1), or `given` is no plain number.
std::optional<std::string> FloatSentNote(std::string_view name, std::string_view given, float sent);

// A value as typed, in C notation: flags 0/1/true/false/on/off (any case),
// whole numbers within their kind's range, floats finite.
std::optional<FieldValue> ParseFieldValue(const RecordField& field, std::string_view text,
                                          std::string& problem);

// "Name=Value" texts, each checked, in order; refused at the first that
// does not fit.
std::optional<FieldWrites> ParseAssignments(std::span<const RecordField> fields, std::string_view recordName,
                                            std::span<const std::string> texts, std::string& problem);

template <typename Record>
std::optional<FieldWrites> ParseAssignments(std::span<const std::string> texts, std::string& problem) {
  return ParseAssignments(RecordFields<Record>(), RecordName<Record>(), texts, problem);
}

// Writes each value into the record, later ones over earlier ones. A field
// that already holds its value keeps the bytes read: a set flag keeps its
// nonzero value and a not-a-number its payload, so that a record written
// back with the values it was read with goes back byte for byte.
void ApplyFieldValues(std::span<std::uint8_t> record, std::span<const FieldValue> values);

// A field's value as ParseFieldValue reads it ("true", "-200", "0.75"):
// floats in the shortest text that reads back as the same float, and the
// non-finite ones as the reports print them ("NaN", "Infinity").
std::string FieldValueText(RecordBytes record, const RecordField& field);

}  // namespace kavr
