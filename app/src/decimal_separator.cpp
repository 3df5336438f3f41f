#include "app/decimal_separator.h"

#include <clocale>

namespace kavr {

std::string UserDecimalSeparator() {
  std::string separator = ".";
  if (std::setlocale(LC_NUMERIC, "") != nullptr) {
    const std::lconv* conventions = std::localeconv();
    if (conventions != nullptr && conventions->decimal_point != nullptr &&
        conventions->decimal_point[0] != '\0') {
      separator = conventions->decimal_point;
    }
  }
  std::setlocale(LC_NUMERIC, "C");
  return separator;
}

}  // namespace kavr
