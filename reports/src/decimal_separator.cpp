#include <clocale>

#include "reports/number_format.h"

namespace kavr {

std::string CurrentDecimalSeparator() {
  const std::lconv* conventions = std::localeconv();
  if (conventions == nullptr || conventions->decimal_point == nullptr ||
      conventions->decimal_point[0] == '\0') {
    return ".";
  }
  return conventions->decimal_point;
}

}  // namespace kavr
