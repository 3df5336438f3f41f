// KAVR_SIM_KEEP: fields of the mode or the parameters that keep a value of
// their own whatever is written, as a controller that clamps or ignores a
// value without saying so does. "SyncOutCount=24,AccelerationTime=150".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/records.h"
#include "transcript/record_fields.h"

namespace kavr::sim {

struct KeptField {
  bool inMode = false;  // else in the parameters
  const kavr::RecordField* field = nullptr;
  std::int64_t integer = 0;  // flags and whole numbers
  float real = 0.0f;         // floats

  bool operator==(const KeptField&) const = default;
};

using KeptFields = std::vector<KeptField>;

// Each item that cannot be used is reported through `warn` and skipped.
KeptFields ParseKeptFields(std::string_view text, const std::function<void(const std::string&)>& warn);

// Puts the kept values over what was written.
void ApplyKeptFields(const KeptFields& kept, KAVR_Mode& mode);
void ApplyKeptFields(const KeptFields& kept, KAVR_Parameters& parameters);

}  // namespace kavr::sim
