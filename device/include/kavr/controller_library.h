// The program's only door to the controller library. The real binding loads
// the library file beside the executable; tests put a scripted fake here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "kavr/records.h"
#include "kavr/slots.h"

namespace kavr {

// 0 is success, anything else failure.
using ResultCode = std::int32_t;

// A library text buffer as the program holds it: one char32_t per
// character, so that positions count characters whatever the code page
// turned them into. The program hands over buffers of kLibraryTextLength.
using LibraryText = std::u32string;

// A buffer of kLibraryTextLength characters of code 0.
inline LibraryText EmptyLibraryText() { return LibraryText(kLibraryTextLength, U'\0'); }

class ControllerLibrary {
 public:
  virtual ~ControllerLibrary() = default;

  // Text buffers go to the library with their length as the capacity and
  // come back at the same length.
  virtual ResultCode Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) = 0;
  virtual ResultCode GetState(std::int32_t device, KAVR_State& state) = 0;
  virtual ResultCode GetMode(std::int32_t device, KAVR_Mode& mode) = 0;
  virtual ResultCode SetMode(std::int32_t device, KAVR_Mode& mode) = 0;
  virtual ResultCode GetParameters(std::int32_t device, KAVR_Parameters& parameters) = 0;
  virtual ResultCode SetParameters(std::int32_t device, KAVR_Parameters& parameters) = 0;
  virtual ResultCode GetStartParameters(std::int32_t device, KAVR_StartParameters& start) = 0;
  virtual ResultCode Start(std::int32_t device, std::int32_t destination, float& speed,
                           KAVR_StartParameters& start) = 0;
  virtual ResultCode Stop(std::int32_t device) = 0;
  virtual ResultCode SaveParametersToFlash(std::int32_t device) = 0;
  virtual void GetLastErr(LibraryText& buffer) = 0;

  // Empty while the library file loads (or has not been tried); otherwise
  // what keeps it from loading: its full path and the loader's reason.
  // Start-up uses it to tell a missing library from a missing controller.
  virtual std::string LibraryLoadFailure() { return {}; }
};

}  // namespace kavr
