// A text buffer of the controller library, as both sides of it hold one.
#pragma once

#include <string>

#include "contract/slots.h"

namespace kavr {

// One char32_t per character, so that positions count characters whatever
// the code page turned them into. The program hands over buffers of
// kLibraryTextLength.
using LibraryText = std::u32string;

// A buffer of kLibraryTextLength characters of code 0.
inline LibraryText EmptyLibraryText() { return LibraryText(kLibraryTextLength, U'\0'); }

}  // namespace kavr
