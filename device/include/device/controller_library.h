// The program's only door to the controller library. The real binding loads
// the library file beside the executable; tests put a scripted fake here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "contract/entry_names.h"
#include "contract/library_text.h"
#include "contract/records.h"
#include "contract/result_code.h"
#include "contract/slots.h"

namespace kavr {

// A method of ControllerLibrary and its overrides for each entry of a common
// shape; Init, Start and GetLastErr are written out by hand.
#define KAVR_LIBRARY_METHOD(...) KAVR_ENTRY_BY_SHAPE(KAVR_LIBRARY_METHOD, __VA_ARGS__)
#define KAVR_LIBRARY_METHOD_ControllerOnly(name, ...) virtual ResultCode name(std::int32_t device) = 0;
#define KAVR_LIBRARY_METHOD_RecordGet(name, record, ...) \
  virtual ResultCode name(std::int32_t device, record& value) = 0;
#define KAVR_LIBRARY_METHOD_RecordSet KAVR_LIBRARY_METHOD_RecordGet
#define KAVR_LIBRARY_METHOD_Init(...)
#define KAVR_LIBRARY_METHOD_Start(...)
#define KAVR_LIBRARY_METHOD_GetLastErr(...)

// The same declarations as overrides, for a class that implements them all.
#define KAVR_LIBRARY_OVERRIDE(...) KAVR_ENTRY_BY_SHAPE(KAVR_LIBRARY_OVERRIDE, __VA_ARGS__)
#define KAVR_LIBRARY_OVERRIDE_ControllerOnly(name, ...) ResultCode name(std::int32_t device) override;
#define KAVR_LIBRARY_OVERRIDE_RecordGet(name, record, ...) \
  ResultCode name(std::int32_t device, record& value) override;
#define KAVR_LIBRARY_OVERRIDE_RecordSet KAVR_LIBRARY_OVERRIDE_RecordGet
#define KAVR_LIBRARY_OVERRIDE_Init(...)
#define KAVR_LIBRARY_OVERRIDE_Start(...)
#define KAVR_LIBRARY_OVERRIDE_GetLastErr(...)

class ControllerLibrary {
 public:
  virtual ~ControllerLibrary() = default;

  // Text buffers go to the library with their length as the capacity and
  // come back at the same length.
  virtual ResultCode Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) = 0;
  virtual ResultCode Start(std::int32_t device, std::int32_t destination, float& speed,
                           KAVR_StartParameters& start) = 0;
  virtual void GetLastErr(LibraryText& buffer) = 0;
  // The entries of the common shapes: GetState(device, state) and the like.
  KAVR_FOR_EACH_ENTRY(KAVR_LIBRARY_METHOD)

  // Empty while the library file loads (or has not been tried); otherwise
  // what keeps it from loading: its full path and the loader's reason.
  // Start-up uses it to tell a missing library from a missing controller.
  virtual std::string LibraryLoadFailure() { return {}; }
};

}  // namespace kavr
