#include "app/call_log.h"

#include <cstdio>
#include <ctime>

namespace kavr {
namespace {

bool Continues(const CallLogRow& row, const LibraryCall& call) {
  return row.poll && row.call.entry == call.entry && row.call.device == call.device &&
         row.call.result == call.result;
}

// "15:20:01.123" in the user's time zone.
std::string ClockTime(std::chrono::system_clock::time_point time) {
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
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

}  // namespace

void CallLog::Add(const LibraryCall& call) {
  if (polling_ > 0 && !rows_.empty() && Continues(rows_.back(), call)) {
    CallLogRow& run = rows_.back();
    run.call = call;
    ++run.count;
    if (listener_) listener_(rows_.size() - 1, false);
    return;
  }
  rows_.push_back({call, call.started, 1, polling_ > 0});
  if (listener_) listener_(rows_.size() - 1, true);
}

std::string RowText(const CallLogRow& row) {
  const LibraryCall& call = row.call;
  std::string text = ClockTime(row.firstStarted);
  if (row.count > 1) text += " to " + ClockTime(call.started);
  text += ' ';
  text += ShortEntryName(call.entry);
  if (call.device) text += ' ' + std::to_string(*call.device);
  for (const CallScalar& scalar : call.scalars) {
    text += ' ' + scalar.name + '=' + scalar.sent;
    if (!scalar.returned.empty()) text += (scalar.sent.empty() ? "" : ">") + scalar.returned;
  }
  if (call.result) text += " rc=" + std::to_string(*call.result);
  text += ' ' + std::to_string(call.duration.count()) + " us";
  if (row.count > 1) text += ", " + std::to_string(row.count) + " polls";
  return text;
}

std::string LogText(const CallLog& log) {
  std::string text;
  for (std::size_t row = 0; row < log.Size(); ++row) text += RowText(log.Row(row)) + '\n';
  return text;
}

}  // namespace kavr
