#include "app/record_fields.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kavr {
namespace {

// A row of a table, straight from the member's declaration.
#define KAVR_FIELD(Record, Member, Kind) \
  RecordField { #Member, offsetof(Record, Member), sizeof(Record::Member), FieldKind::Kind }

constexpr std::array kStateFields = {
    KAVR_FIELD(KAVR_State, CurrentPosition, kInt32), KAVR_FIELD(KAVR_State, Temperature, kFloat),
    KAVR_FIELD(KAVR_State, StepDivisor, kUInt8),     KAVR_FIELD(KAVR_State, StepDivisorPadding, kNotRead),
    KAVR_FIELD(KAVR_State, LoftIndefinite, kFlag),   KAVR_FIELD(KAVR_State, FullPower, kFlag),
    KAVR_FIELD(KAVR_State, DirectionCCW, kFlag),     KAVR_FIELD(KAVR_State, PowerOn, kFlag),
    KAVR_FIELD(KAVR_State, FullSpeed, kFlag),        KAVR_FIELD(KAVR_State, AfterReset, kFlag),
    KAVR_FIELD(KAVR_State, Running, kFlag),          KAVR_FIELD(KAVR_State, SyncInState, kFlag),
    KAVR_FIELD(KAVR_State, SyncOutState, kFlag),     KAVR_FIELD(KAVR_State, RotaryState, kFlag),
    KAVR_FIELD(KAVR_State, RotaryError, kFlag),      KAVR_FIELD(KAVR_State, EmergencyPushed, kFlag),
    KAVR_FIELD(KAVR_State, Trailer1Pushed, kFlag),   KAVR_FIELD(KAVR_State, Trailer2Pushed, kFlag),
    KAVR_FIELD(KAVR_State, InputVoltage, kFloat),    KAVR_FIELD(KAVR_State, Reserved72, kNotRead),
    KAVR_FIELD(KAVR_State, Reserved76, kNotRead),
};

constexpr std::array kModeFields = {
    KAVR_FIELD(KAVR_Mode, ButtonsDisabled, kFlag),
    KAVR_FIELD(KAVR_Mode, CurrentReduction, kFlag),
    KAVR_FIELD(KAVR_Mode, PowerOff, kFlag),
    KAVR_FIELD(KAVR_Mode, EmergencyOff, kFlag),
    KAVR_FIELD(KAVR_Mode, Trailer1TrueHigh, kFlag),
    KAVR_FIELD(KAVR_Mode, Trailer2TrueHigh, kFlag),
    KAVR_FIELD(KAVR_Mode, RotaryTrueHigh, kFlag),
    KAVR_FIELD(KAVR_Mode, TrailersSwapped, kFlag),
    KAVR_FIELD(KAVR_Mode, Trailer1Enabled, kFlag),
    KAVR_FIELD(KAVR_Mode, Trailer2Enabled, kFlag),
    KAVR_FIELD(KAVR_Mode, RotaryEnabled, kFlag),
    KAVR_FIELD(KAVR_Mode, RotaryStopOnError, kFlag),
    KAVR_FIELD(KAVR_Mode, Button1TrueHigh, kFlag),
    KAVR_FIELD(KAVR_Mode, Button2TrueHigh, kFlag),
    KAVR_FIELD(KAVR_Mode, ResetRotaryCheck, kFlag),
    KAVR_FIELD(KAVR_Mode, SyncOutEnabled, kFlag),
    KAVR_FIELD(KAVR_Mode, ResetSyncOutCounter, kFlag),
    KAVR_FIELD(KAVR_Mode, SyncInSingleMove, kFlag),
    KAVR_FIELD(KAVR_Mode, SyncOutCount, kInt32),
    KAVR_FIELD(KAVR_Mode, SyncOutInverted, kFlag),
    KAVR_FIELD(KAVR_Mode, Reserved80, kNotRead),
};

constexpr std::array kParametersFields = {
    KAVR_FIELD(KAVR_Parameters, AccelerationTime, kFloat),
    KAVR_FIELD(KAVR_Parameters, DecelerationTime, kFloat),
    KAVR_FIELD(KAVR_Parameters, PowerReductionTimeout, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonTimeout1, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonTimeout2, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonTimeout3, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonTimeout4, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonResetTimeout, kFloat),
    KAVR_FIELD(KAVR_Parameters, Reserved32, kNotRead),
    KAVR_FIELD(KAVR_Parameters, ButtonResetSpeed, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonSpeed1, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonSpeed2, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonSpeed3, kFloat),
    KAVR_FIELD(KAVR_Parameters, ButtonSpeed4, kFloat),
    KAVR_FIELD(KAVR_Parameters, BacklashDistance, kInt16),
    KAVR_FIELD(KAVR_Parameters, Reserved58, kNotRead),
    KAVR_FIELD(KAVR_Parameters, Reserved60, kNotRead),
    KAVR_FIELD(KAVR_Parameters, RevolutionDistance, kInt16),
    KAVR_FIELD(KAVR_Parameters, MinRevolutionError, kInt16),
    KAVR_FIELD(KAVR_Parameters, PowerOffTemperature, kFloat),
    KAVR_FIELD(KAVR_Parameters, SyncOutPulse, kUInt8),
    KAVR_FIELD(KAVR_Parameters, SyncOutPulsePadding, kNotRead),
    KAVR_FIELD(KAVR_Parameters, BacklashLastPhaseSpeed, kFloat),
    KAVR_FIELD(KAVR_Parameters, Reserved80, kNotRead),
};

constexpr std::array kStartFields = {
    KAVR_FIELD(KAVR_StartParameters, StepDivisor, kUInt8),
    KAVR_FIELD(KAVR_StartParameters, StepDivisorPadding, kNotRead),
    KAVR_FIELD(KAVR_StartParameters, BacklashCCW, kFlag),
    KAVR_FIELD(KAVR_StartParameters, AutoBacklash, kFlag),
    KAVR_FIELD(KAVR_StartParameters, SlowStart, kFlag),
    KAVR_FIELD(KAVR_StartParameters, WaitSyncIn, kFlag),
    KAVR_FIELD(KAVR_StartParameters, SyncOutCounterReset, kFlag),
    KAVR_FIELD(KAVR_StartParameters, ForceBacklash, kFlag),
    KAVR_FIELD(KAVR_StartParameters, Reserved28, kNotRead),
};

#undef KAVR_FIELD

constexpr std::size_t WidthOf(FieldKind kind) {
  switch (kind) {
    case FieldKind::kFlag:
    case FieldKind::kInt32:
    case FieldKind::kFloat:
      return 4;
    case FieldKind::kInt16:
      return 2;
    case FieldKind::kUInt8:
      return 1;
    case FieldKind::kNotRead:
      return 0;
  }
  return 0;
}

// Each field starts where the one before ends, the last ends with the
// record, and every value field has its kind's width.
template <std::size_t count>
constexpr bool CoversExactly(const std::array<RecordField, count>& fields, std::size_t recordSize) {
  std::size_t end = 0;
  for (const RecordField& field : fields) {
    if (field.offset != end) return false;
    if (field.kind != FieldKind::kNotRead && field.size != WidthOf(field.kind)) return false;
    end = field.offset + field.size;
  }
  return end == recordSize;
}

static_assert(CoversExactly(kStateFields, sizeof(KAVR_State)));
static_assert(CoversExactly(kModeFields, sizeof(KAVR_Mode)));
static_assert(CoversExactly(kParametersFields, sizeof(KAVR_Parameters)));
static_assert(CoversExactly(kStartFields, sizeof(KAVR_StartParameters)));

template <typename Value>
Value Load(RecordBytes record, const RecordField& field) {
  Value value{};
  std::memcpy(&value, record.data() + field.offset, sizeof(Value));
  return value;
}

template <typename Value>
void Store(std::span<std::uint8_t> record, const RecordField& field, Value value) {
  std::memcpy(record.data() + field.offset, &value, sizeof(Value));
}

}  // namespace

template <>
std::span<const RecordField> RecordFields<KAVR_State>() {
  return kStateFields;
}
template <>
std::span<const RecordField> RecordFields<KAVR_Mode>() {
  return kModeFields;
}
template <>
std::span<const RecordField> RecordFields<KAVR_Parameters>() {
  return kParametersFields;
}
template <>
std::span<const RecordField> RecordFields<KAVR_StartParameters>() {
  return kStartFields;
}

template <>
std::string_view RecordName<KAVR_State>() {
  return "KAVR_State";
}
template <>
std::string_view RecordName<KAVR_Mode>() {
  return "KAVR_Mode";
}
template <>
std::string_view RecordName<KAVR_Parameters>() {
  return "KAVR_Parameters";
}
template <>
std::string_view RecordName<KAVR_StartParameters>() {
  return "KAVR_StartParameters";
}

const RecordField* FindField(std::span<const RecordField> fields, std::string_view name) {
  const auto found =
      std::find_if(fields.begin(), fields.end(), [&](const RecordField& f) { return f.name == name; });
  return found == fields.end() ? nullptr : &*found;
}

std::int64_t ReadInteger(RecordBytes record, const RecordField& field) {
  switch (field.kind) {
    case FieldKind::kFlag:
    case FieldKind::kInt32:
      return Load<std::int32_t>(record, field);
    case FieldKind::kInt16:
      return Load<std::int16_t>(record, field);
    case FieldKind::kUInt8:
      return Load<std::uint8_t>(record, field);
    case FieldKind::kFloat:
    case FieldKind::kNotRead:
      break;
  }
  return 0;
}

float ReadFloat(RecordBytes record, const RecordField& field) {
  return field.kind == FieldKind::kFloat ? Load<float>(record, field) : 0.0f;
}

void WriteInteger(std::span<std::uint8_t> record, const RecordField& field, std::int64_t value) {
  switch (field.kind) {
    case FieldKind::kFlag:
    case FieldKind::kInt32:
      return Store(record, field, static_cast<std::int32_t>(value));
    case FieldKind::kInt16:
      return Store(record, field, static_cast<std::int16_t>(value));
    case FieldKind::kUInt8:
      return Store(record, field, static_cast<std::uint8_t>(value));
    case FieldKind::kFloat:
    case FieldKind::kNotRead:
      break;
  }
}

void WriteFloat(std::span<std::uint8_t> record, const RecordField& field, float value) {
  if (field.kind == FieldKind::kFloat) Store(record, field, value);
}

}  // namespace kavr
