// Small stand-ins for the controller library that misbehave on purpose, so
// that the binding can be tried against what a real library file may do.
// Which one is built is chosen by a compile definition:
//   KAVR_TEST_LEAVE_OUT_STOP        no _KAVRVB_Stop
//   KAVR_TEST_LEAVE_OUT_GETLASTERR  no _KAVRVB_GetLastErr
//   KAVR_TEST_FILL_BUFFERS          GetLastErr, like Init in all of them,
//                                   writes every byte of the capacity it is
//                                   given, non-zero
// Every entry answers for controller 0 only.
#include <cstdio>
#include <cstring>
#include <string>

#include "kavr/entries.h"
#include "kavr/records.h"

namespace {

// Kept as a plain value: the tests call one library at a time.
std::string lastError = "Test library: no error";

KAVR_ResultCode Answer(std::int32_t device) {
  if (device == 0) return 0;
  lastError = "Test library: no controller " + std::to_string(device);
  return 7;
}

// Fills all it was offered and then reads the text as a C string, which
// runs into the sanitizer's red zone unless the caller left a zero byte
// past the capacity.
std::int32_t FillAll(char* buffer, std::int32_t capacity, char byte) {
  std::memset(buffer, byte, static_cast<std::size_t>(capacity));
  return static_cast<std::int32_t>(std::strlen(buffer));
}

}  // namespace

// The entries.h declarations make a definition with another signature fail
// to compile.
#define KAVR_ANSWERING_ENTRY(name, ...)                                                   \
  KAVR_EXPORT KAVR_ResultCode KAVR_CALL name(int32_t device __VA_OPT__(, ) __VA_ARGS__) { \
    return Answer(device);                                                                \
  }

extern "C" {

// Counts the characters it can read back, so that a capacity past the
// buffer's length shows in a normal build too.
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Init(int32_t* count, char* versions, int32_t versionsCapacity,
                                                   char* serials, int32_t serialsCapacity) {
  *count = FillAll(versions, versionsCapacity, '\xE9') + FillAll(serials, serialsCapacity, 'S');
  return 0;
}

KAVR_ANSWERING_ENTRY(_KAVRVB_GetState, struct KAVR_State*)
KAVR_ANSWERING_ENTRY(_KAVRVB_GetMode, struct KAVR_Mode*)
KAVR_ANSWERING_ENTRY(_KAVRVB_SetMode, struct KAVR_Mode*)
KAVR_ANSWERING_ENTRY(_KAVRVB_GetParameters, struct KAVR_Parameters*)
KAVR_ANSWERING_ENTRY(_KAVRVB_SetParameters, struct KAVR_Parameters*)
KAVR_ANSWERING_ENTRY(_KAVRVB_GetStartParameters, struct KAVR_StartParameters*)
KAVR_ANSWERING_ENTRY(_KAVRVB_Start, int32_t, float*, struct KAVR_StartParameters*)
#ifndef KAVR_TEST_LEAVE_OUT_STOP
KAVR_ANSWERING_ENTRY(_KAVRVB_Stop)
#endif
KAVR_ANSWERING_ENTRY(_KAVRVB_SaveParametersToFlash)

#ifndef KAVR_TEST_LEAVE_OUT_GETLASTERR
KAVR_EXPORT void KAVR_CALL _KAVRVB_GetLastErr(char* buffer, int32_t capacity) {
#ifdef KAVR_TEST_FILL_BUFFERS
  FillAll(buffer, capacity, 'E');
#else
  if (capacity > 0) std::snprintf(buffer, static_cast<std::size_t>(capacity), "%s", lastError.c_str());
#endif
}
#endif

}  // extern "C"
