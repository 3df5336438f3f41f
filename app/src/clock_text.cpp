#include "app/clock_text.h"

#include <cstdio>
#include <ctime>

namespace kavr {

std::string LocalClockText(std::chrono::system_clock::time_point time) {
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
  // Whole seconds rounded down, so that a time before 1970 keeps a positive fraction.
  auto seconds = static_cast<std::time_t>(millis / 1000);
  int fraction = static_cast<int>(millis % 1000);
  if (fraction < 0) {
    fraction += 1000;
    --seconds;
  }
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &seconds);
#else
  localtime_r(&seconds, &parts);
#endif
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", parts.tm_hour, parts.tm_min, parts.tm_sec,
                fraction);
  return text;
}

}  // namespace kavr
