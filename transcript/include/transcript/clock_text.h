// Wall-clock times as the programs show them beside what happened then.
//
// Shells: kavrctl (watch); both through the transcript.
#pragma once

#include <chrono>
#include <ctime>
#include <string>

namespace kavr {

// The calendar parts of a time in the user's time zone, on every system.
std::tm LocalTimeParts(std::time_t seconds);

// "15:20:01.123": the time of day in the user's time zone, to the millisecond.
std::string LocalClockText(std::chrono::system_clock::time_point time);

// "2026-12-08T15:20:01.123456Z": the date and time in UTC, to the microsecond.
std::string UtcTimestampText(std::chrono::system_clock::time_point time);

}  // namespace kavr
