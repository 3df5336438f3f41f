// Every member of the records by name, place and kind, each table
// covering its record's bytes exactly once, in order (checked below), so
// that a member cannot be missed. The program reads and writes fields by
// name through them; the stand-in finds in them the slots the program must
// carry without reading (kNotRead).
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "contract/records.h"

namespace kavr {

enum class FieldKind {
  kFlag,  // 32-bit, true whenever nonzero
  kInt32,
  kInt16,
  kUInt8,
  kFloat,    // IEEE single precision
  kNotRead,  // slots and padding the program never reads and sends back as read
};

struct RecordField {
  std::string_view name;
  std::size_t offset;
  std::size_t size;
  FieldKind kind;
};

namespace field_tables {

// A row of a table, straight from the member's declaration.
#define KAVR_FIELD(Record, Member, Kind) \
  RecordField { #Member, offsetof(Record, Member), sizeof(Record::Member), FieldKind::Kind }

inline constexpr std::array kStateFields = {
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

inline constexpr std::array kModeFields = {
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

inline constexpr std::array kParametersFields = {
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

inline constexpr std::array kStartFields = {
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

#define KAVR_COVERS_EXACTLY(record, table) static_assert(CoversExactly(k##table##Fields, sizeof(record)));
KAVR_FOR_EACH_RECORD(KAVR_COVERS_EXACTLY)
#undef KAVR_COVERS_EXACTLY

}  // namespace field_tables

// A record's field table and its name ("KAVR_State" and so on, as the
// library's header names it), for each record of KAVR_FOR_EACH_RECORD.
template <typename Record>
constexpr std::span<const RecordField> RecordFields();
template <typename Record>
constexpr std::string_view RecordName();
#define KAVR_RECORD_LOOKUPS(record, table)                        \
  template <>                                                     \
  constexpr std::span<const RecordField> RecordFields<record>() { \
    return field_tables::k##table##Fields;                        \
  }                                                               \
  template <>                                                     \
  constexpr std::string_view RecordName<record>() {               \
    return #record;                                               \
  }
KAVR_FOR_EACH_RECORD(KAVR_RECORD_LOOKUPS)
#undef KAVR_RECORD_LOOKUPS

// The records as a list of types, for code generated per record type.
template <typename... Records>
struct RecordTypes {};
namespace detail {
template <typename First, typename... Records>
struct WithoutFirst {
  using Types = RecordTypes<Records...>;
};
}  // namespace detail
#define KAVR_RECORD_TYPE(record, table) , record
using AllRecordTypes = detail::WithoutFirst<void KAVR_FOR_EACH_RECORD(KAVR_RECORD_TYPE)>::Types;
#undef KAVR_RECORD_TYPE

// A record as transcripts and the call log name it, with its size and fields.
struct RecordKind {
  std::string_view name;
  std::size_t size;
  std::span<const RecordField> fields;
};

inline constexpr std::array kRecordKinds = {
#define KAVR_RECORD_KIND(record, table) RecordKind{#record, sizeof(record), RecordFields<record>()},
    KAVR_FOR_EACH_RECORD(KAVR_RECORD_KIND)
#undef KAVR_RECORD_KIND
};

// The record of that name, or null when the library passes none so named.
constexpr const RecordKind* RecordKindNamed(std::string_view name) {
  for (const RecordKind& kind : kRecordKinds) {
    if (kind.name == name) return &kind;
  }
  return nullptr;
}

// The slots of a record the maker reserves ("Reserved32" and the like), as
// opposed to the padding behind a narrow field: both are never read, but
// only these are the library's own to fill.
constexpr bool IsReservedSlot(const RecordField& field) {
  return field.kind == FieldKind::kNotRead && field.name.starts_with("Reserved");
}

}  // namespace kavr
