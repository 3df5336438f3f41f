// One call described field by field: each member of the record it passed,
// as sent and as returned, the scalars likewise, and the texts the library
// filled. What the monitor shows for a selected call, so that a user can see
// exactly what went to the controller and what came back.
//
// Shells: kavrtest (the monitor's call log).
#pragma once

#include <string>
#include <vector>

#include "app/call_log.h"
#include "transcript/library_call.h"

namespace kavr {

// Integers as stored (a flag too: -1 stays -1), floats in their shortest C
// notation, the slots the program never reads as hex.
struct FieldValues {
  std::string name;
  std::string sent;
  std::string returned;
  bool changed = false;
};

// The record's members in order; none when the call passed no record.
std::vector<FieldValues> RecordFieldValues(const LibraryCall& call);

// A heading naming the call, then one line a field and scalar, changed ones
// marked with '*', then the texts. Lines end in line feeds.
std::string CallDetailsText(const CallLogRow& row);

}  // namespace kavr
