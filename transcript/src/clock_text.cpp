#include "transcript/clock_text.h"

#include <cstdio>
#include <ctime>
#include <utility>

namespace kavr {
namespace {

// Whole seconds and the fraction in `Unit`s, the seconds rounded down so
// that a time before 1970 keeps a positive fraction.
template <typename Unit>
std::pair<std::time_t, long> Split(std::chrono::system_clock::time_point time) {
  constexpr long kPerSecond = static_cast<long>(Unit::period::den);
  const auto count = std::chrono::duration_cast<Unit>(time.time_since_epoch()).count();
  auto seconds = static_cast<std::time_t>(count / kPerSecond);
  long fraction = static_cast<long>(count % kPerSecond);
  if (fraction < 0) {
    fraction += kPerSecond;
    --seconds;
  }
  return {seconds, fraction};
}

}  // namespace

std::tm LocalTimeParts(std::time_t seconds) {
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &seconds);
#else
  localtime_r(&seconds, &parts);
#endif
  return parts;
}

std::string LocalClockText(std::chrono::system_clock::time_point time) {
  const auto [seconds, fraction] = Split<std::chrono::milliseconds>(time);
  const std::tm parts = LocalTimeParts(seconds);
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", parts.tm_hour, parts.tm_min, parts.tm_sec,
                fraction);
  return text;
}

std::string UtcTimestampText(std::chrono::system_clock::time_point time) {
  // Worked out from the day count rather than by the C library, whose
  // conversion ends in 2038 where time_t has 32 bits (32-bit Windows).
  using std::chrono::floor;
  const auto microseconds = std::chrono::time_point_cast<std::chrono::microseconds>(time);
  const auto day = floor<std::chrono::days>(microseconds);
  const std::chrono::hh_mm_ss clock(floor<std::chrono::seconds>(microseconds - day));
  const auto fraction = (microseconds - floor<std::chrono::seconds>(microseconds)).count();
  const std::chrono::year_month_day date(day);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%06lldZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<long long>(fraction));
  return text;
}

}  // namespace kavr
