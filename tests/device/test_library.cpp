// Small stand-ins for the controller library that misbehave on purpose, so
// that the binding can be tried against what a real library file may do.
// Which one is built is chosen by its export list (an entry left out) and a
// compile definition:
//   KAVR_TEST_FILL_BUFFERS          GetLastErr, like Init in all of them,
//                                   writes every byte of the capacity it is
//                                   given, non-zero
//   KAVR_TEST_LOG_CALLS             Init also appends "Init" to the file that
//                                   KAVR_TEST_CALL_LOG names, so that a check
//                                   from outside sees which library file a
//                                   program loaded (the Windows installer's)
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "contract/entries.h"
#include "contract/entry_names.h"
#include "contract/records.h"

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

#ifdef KAVR_TEST_LOG_CALLS
void LogCall(const char* name) {
  const char* path = std::getenv("KAVR_TEST_CALL_LOG");
  if (path == nullptr) return;
  if (std::FILE* log = std::fopen(path, "a")) {
    std::fprintf(log, "%s\n", name);
    std::fclose(log);
  }
}
#else
void LogCall(const char*) {}
#endif

}  // namespace

// Every entry but Init and GetLastErr answers for controller 0 only. The
// entries.h declarations make a definition with another signature fail to
// compile. A library built to lack an entry still defines it: its export
// list (kavr_library_exports LEAVE_OUT) leaves it out.
#define KAVR_ANSWERING(...) KAVR_ENTRY_BY_SHAPE(KAVR_ANSWERING, __VA_ARGS__)
#define KAVR_ANSWERING_ENTRY(name, record, result, parameters, arguments)       \
  result KAVR_CALL _KAVRVB_##name parameters {                                  \
    const auto answer = [](int32_t device, auto...) { return Answer(device); }; \
    return answer arguments;                                                    \
  }
#define KAVR_ANSWERING_ControllerOnly KAVR_ANSWERING_ENTRY
#define KAVR_ANSWERING_RecordGet KAVR_ANSWERING_ENTRY
#define KAVR_ANSWERING_RecordSet KAVR_ANSWERING_ENTRY
#define KAVR_ANSWERING_Start KAVR_ANSWERING_ENTRY
#define KAVR_ANSWERING_Init(...)
#define KAVR_ANSWERING_GetLastErr(...)

extern "C" {

// Counts the characters it can read back, so that a capacity past the
// buffer's length shows in a normal build too.
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Init(int32_t* count, char* versions, int32_t versionsCapacity,
                                                   char* serials, int32_t serialsCapacity) {
  LogCall("Init");
  *count = FillAll(versions, versionsCapacity, '\xE9') + FillAll(serials, serialsCapacity, 'S');
  return 0;
}

KAVR_FOR_EACH_ENTRY(KAVR_ANSWERING)

KAVR_EXPORT void KAVR_CALL _KAVRVB_GetLastErr(char* buffer, int32_t capacity) {
#ifdef KAVR_TEST_FILL_BUFFERS
  FillAll(buffer, capacity, 'E');
#else
  if (capacity > 0) std::snprintf(buffer, static_cast<std::size_t>(capacity), "%s", lastError.c_str());
#endif
}

}  // extern "C"
