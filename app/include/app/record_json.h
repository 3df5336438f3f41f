// Settings files: a record's fields as one JSON object, and such an object
// read back as the field values to write. The names are the fields' names;
// flags are booleans, floats numbers, and a float that is not finite the
// string the reports print for it ("NaN", "Infinity", "-Infinity"). The
// slots the program never reads are left out, so a file copies settings,
// not one controller's private bytes.
//
// Shells: kavrctl (--json, --file).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/field_assignments.h"
#include "transcript/record_fields.h"

namespace kavr {

// The object, indented by two spaces (by `indent`; -1: on one line), fields
// in record order, no line end after it. Floats are written in the shortest text that reads back as the
// same float.
std::string RecordJson(RecordBytes record, std::span<const RecordField> fields, int indent = 2);

template <typename Record>
std::string RecordJson(const Record& record, int indent = 2) {
  return RecordJson(BytesOf(record), RecordFields<Record>(), indent);
}

// The values of a settings text: one object whose every member names a
// writable field with a value of its kind (a flag: true, false, 0 or 1).
// The first problem (not JSON, not an object, an unknown name, a value that
// does not fit) refuses the whole text. Failure: see app/problem.h.
std::optional<FieldWrites> FieldWritesFromJson(std::string_view text, std::span<const RecordField> fields,
                                               std::string_view recordName, std::string& problem);

template <typename Record>
std::optional<FieldWrites> FieldWritesFromJson(std::string_view text, std::string& problem) {
  return FieldWritesFromJson(text, RecordFields<Record>(), RecordName<Record>(), problem);
}

}  // namespace kavr
