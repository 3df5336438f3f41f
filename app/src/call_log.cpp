#include "app/call_log.h"

#include "transcript/clock_text.h"

namespace kavr {
namespace {

bool Continues(const CallLogRow& row, const LibraryCall& call) {
  return row.poll && row.call.entry == call.entry && row.call.device == call.device &&
         row.call.result == call.result;
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
  std::string text = LocalClockText(row.firstStarted);
  if (row.count > 1) text += " to " + LocalClockText(call.started);
  text += ' ';
  text += ShortEntryName(call.entry);
  if (call.device) text += ' ' + std::to_string(*call.device);
  text += ScalarsText(call);
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
