/* The entries of the controller library, shared by the program's
 * binding and the stand-in library so that a signature cannot drift between
 * them. Plain C: the maker's library is a C library.
 *
 * Every entry but _KAVRVB_GetLastErr returns a result code: 0 is success,
 * anything else failure. Text buffers are single-byte strings in the system
 * code page, followed by their capacity in bytes. */
#ifndef KAVR_ENTRIES_H
#define KAVR_ENTRIES_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define KAVR_CALL __stdcall
#else
#define KAVR_CALL
#endif

/* Marks a library's entries for export. On Windows a .def file names the
 * exports instead (undecorated, as the maker's library has them): marking
 * them dllexport as well would export each a second time, decorated. */
#if defined(_WIN32)
#define KAVR_EXPORT
#else
#define KAVR_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The records the entries pass, listed once; the records' names in
 * transcripts, their field tables' lookups and the readers of a record by
 * its name are generated from this list:
 *
 *   X(Record, Table)
 *
 * Record  the struct (kavr/records.h), as the library's header names it
 * Table   its field table is kavr::field_tables::kTableFields
 *         (kavr/record_fields.h)
 */
#define KAVR_FOR_EACH_RECORD(X)  \
  X(KAVR_State, State)           \
  X(KAVR_Mode, Mode)             \
  X(KAVR_Parameters, Parameters) \
  X(KAVR_StartParameters, Start)

#define KAVR_DECLARE_RECORD(record, table) struct record;
KAVR_FOR_EACH_RECORD(KAVR_DECLARE_RECORD)
#undef KAVR_DECLARE_RECORD

typedef int32_t KAVR_ResultCode;

/* The entries, listed once, in the library's order; every other list of
 * them (declarations, exports, the binding, the recording library, the test
 * fakes, the stand-in's C entries) is generated from this one:
 *
 *   X(Name, Shape, Record, Return, Parameters, Arguments)
 *
 * Name       exported as _KAVRVB_Name
 * Shape      how the program calls it. ControllerOnly: a controller number
 *            and nothing else. RecordGet, RecordSet: a controller number and
 *            a Record the entry fills or takes. Init, Start, GetLastErr: an
 *            entry of its own, written out by hand wherever it is used.
 * Record     the record it passes, or void
 * Return     its C return type
 * Parameters its C parameter list, in parentheses
 * Arguments  the same names as an argument list, so that a pass-through
 *            forwards the raw call: _KAVRVB_Name Arguments
 */
#define KAVR_FOR_EACH_ENTRY(X)                                                                           \
  X(Init, Init, void, KAVR_ResultCode,                                                                   \
    (int32_t * count, char* versions, int32_t versionsCapacity, char* serials, int32_t serialsCapacity), \
    (count, versions, versionsCapacity, serials, serialsCapacity))                                       \
  X(GetState, RecordGet, KAVR_State, KAVR_ResultCode, (int32_t device, struct KAVR_State * state),       \
    (device, state))                                                                                     \
  X(GetMode, RecordGet, KAVR_Mode, KAVR_ResultCode, (int32_t device, struct KAVR_Mode * mode),           \
    (device, mode))                                                                                      \
  X(SetMode, RecordSet, KAVR_Mode, KAVR_ResultCode, (int32_t device, struct KAVR_Mode * mode),           \
    (device, mode))                                                                                      \
  X(GetParameters, RecordGet, KAVR_Parameters, KAVR_ResultCode,                                          \
    (int32_t device, struct KAVR_Parameters * parameters), (device, parameters))                         \
  X(SetParameters, RecordSet, KAVR_Parameters, KAVR_ResultCode,                                          \
    (int32_t device, struct KAVR_Parameters * parameters), (device, parameters))                         \
  X(GetStartParameters, RecordGet, KAVR_StartParameters, KAVR_ResultCode,                                \
    (int32_t device, struct KAVR_StartParameters * start), (device, start))                              \
  X(Start, Start, KAVR_StartParameters, KAVR_ResultCode,                                                 \
    (int32_t device, int32_t destination, float* speed, struct KAVR_StartParameters* start),             \
    (device, destination, speed, start))                                                                 \
  X(Stop, ControllerOnly, void, KAVR_ResultCode, (int32_t device), (device))                             \
  X(SaveParametersToFlash, ControllerOnly, void, KAVR_ResultCode, (int32_t device), (device))            \
  /* Its return value is never read. */                                                                  \
  X(GetLastErr, GetLastErr, void, void, (char* buffer, int32_t capacity), (buffer, capacity))

#define KAVR_DECLARE_ENTRY(name, shape, record, result, parameters, arguments) \
  KAVR_EXPORT result KAVR_CALL _KAVRVB_##name parameters;
KAVR_FOR_EACH_ENTRY(KAVR_DECLARE_ENTRY)
#undef KAVR_DECLARE_ENTRY

#ifdef __cplusplus
}
#endif

#endif /* KAVR_ENTRIES_H */
