/* The eleven entries of the controller library, shared by the program's
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

struct KAVR_State;
struct KAVR_Mode;
struct KAVR_Parameters;
struct KAVR_StartParameters;

typedef int32_t KAVR_ResultCode;

KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Init(int32_t* count, char* versions, int32_t versions_capacity,
                                                   char* serials, int32_t serials_capacity);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetState(int32_t device, struct KAVR_State* state);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetMode(int32_t device, struct KAVR_Mode* mode);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_SetMode(int32_t device, struct KAVR_Mode* mode);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetParameters(int32_t device,
                                                            struct KAVR_Parameters* parameters);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_SetParameters(int32_t device,
                                                            struct KAVR_Parameters* parameters);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_GetStartParameters(int32_t device,
                                                                 struct KAVR_StartParameters* start);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Start(int32_t device, int32_t destination, float* speed,
                                                    struct KAVR_StartParameters* start);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_Stop(int32_t device);
KAVR_EXPORT KAVR_ResultCode KAVR_CALL _KAVRVB_SaveParametersToFlash(int32_t device);
/* Its return value is never read. */
KAVR_EXPORT void KAVR_CALL _KAVRVB_GetLastErr(char* buffer, int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* KAVR_ENTRIES_H */
