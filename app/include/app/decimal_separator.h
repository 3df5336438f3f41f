// The decimal separator a program prints reports and reads typed numbers
// with. Each program decides it once at start from the user's locale and
// hands it on; nothing below reads the locale by itself.
//
// Shells: kavrctl.
#pragma once

#include <string>

namespace kavr {

// The decimal point of the user's locale as the C library knows it (from
// the environment on Unix, from the user's settings on Windows); "." when it
// gives none. The program's own numeric locale is left as "C", so that
// numbers in files and arguments keep their C notation.
std::string UserDecimalSeparator();

}  // namespace kavr
