// Small stand-ins for the controller library that misbehave on purpose, so
// that the binding can be tried against what a real library file may do.
// Which one is built is chosen by a compile definition:
//   KAVR_TEST_LEAVE_OUT_STOP        no _KAVRVB_Stop
//   KAVR_TEST_LEAVE_OUT_GETLASTERR  no _KAVRVB_GetLastErr
//   KAVR_TEST_FILL_BUFFERS          Init and GetLastErr write every byte of
//                                   the capacity they are given, non-zero
#include <algorithm>
#include <cstring>
#include <string>

#include "kavr/entries.h"
#include "kavr/records.h"

namespace {

// Kept as plain values: the tests call one library at a time.
std::string lastError = "Test library: no error";
std::int32_t initVersionsCapacity = -1;
std::int32_t initSerialsCapacity = -1;
std::int32_t lastErrCapacity = -1;
std::int32_t lastErrLength = -1;

constexpr std::int32_t kPosition = 1234;
constexpr KAVR_ResultCode kBadDevice = 7;

bool Refused(std::int32_t device) {
  if (device == 0) return false;
  lastError = "Test library: no controller " + std::to_string(device);
  return true;
}

[[maybe_unused]] void CopyCut(const char* text, char* buffer, std::int32_t capacity) {
  if (capacity <= 0) return;
  std::size_t count = std::min(std::strlen(text), static_cast<std::size_t>(capacity - 1));
  std::memcpy(buffer, text, count);
  buffer[count] = '\0';
}

#ifdef KAVR_TEST_FILL_BUFFERS
// Fills all it was offered and then reads the text as a C string, which
// runs into the sanitizer's red zone unless the caller left a zero byte
// past the capacity.
std::int32_t FillAll(char* buffer, std::int32_t capacity, char byte) {
  std::memset(buffer, byte, static_cast<std::size_t>(capacity));
  return static_cast<std::int32_t>(std::strlen(buffer));
}
#endif

}  // namespace

extern "C" {

// Lets a test see what the binding handed over.
KAVR_EXPORT void KAVRTest_Report(std::int32_t* versionsCapacity, std::int32_t* serialsCapacity,
                                 std::int32_t* errorCapacity, std::int32_t* errorLength) {
  *versionsCapacity = initVersionsCapacity;
  *serialsCapacity = initSerialsCapacity;
  *errorCapacity = lastErrCapacity;
  *errorLength = lastErrLength;
}

KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Init(int32_t* count, char* versions, int32_t versions_capacity,
                                                   char* serials, int32_t serials_capacity) {
  initVersionsCapacity = versions_capacity;
  initSerialsCapacity = serials_capacity;
#ifdef KAVR_TEST_FILL_BUFFERS
  FillAll(versions, versions_capacity, '\xE9');
  FillAll(serials, serials_capacity, 'S');
#else
  CopyCut("1.00", versions, versions_capacity);
  CopyCut("TESTSERIAL000001", serials, serials_capacity);
#endif
  *count = 1;
  return 0;
}

KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetState(int32_t device, struct KAVR_State* state) {
  if (Refused(device)) return kBadDevice;
  state->CurrentPosition = kPosition;
  return 0;
}

KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetMode(int32_t device, struct KAVR_Mode*) {
  return Refused(device) ? kBadDevice : 0;
}
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_SetMode(int32_t device, struct KAVR_Mode*) {
  return Refused(device) ? kBadDevice : 0;
}
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetParameters(int32_t device, struct KAVR_Parameters*) {
  return Refused(device) ? kBadDevice : 0;
}
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_SetParameters(int32_t device, struct KAVR_Parameters*) {
  return Refused(device) ? kBadDevice : 0;
}
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetStartParameters(int32_t device,
                                                                 struct KAVR_StartParameters*) {
  return Refused(device) ? kBadDevice : 0;
}
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Start(int32_t device, int32_t, float*,
                                                    struct KAVR_StartParameters*) {
  return Refused(device) ? kBadDevice : 0;
}

#ifndef KAVR_TEST_LEAVE_OUT_STOP
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Stop(int32_t device) {
  return Refused(device) ? kBadDevice : 0;
}
#endif

KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_SaveParametersToFlash(int32_t device) {
  return Refused(device) ? kBadDevice : 0;
}

#ifndef KAVR_TEST_LEAVE_OUT_GETLASTERR
KAVR_EXPORT void KAVR_CALL _KAVRVB_GetLastErr(char* buffer, int32_t capacity) {
  lastErrCapacity = capacity;
#ifdef KAVR_TEST_FILL_BUFFERS
  lastErrLength = FillAll(buffer, capacity, 'E');
#else
  CopyCut(lastError.c_str(), buffer, capacity);
  lastErrLength = static_cast<std::int32_t>(std::strlen(buffer));
#endif
}
#endif

}  // extern "C"
