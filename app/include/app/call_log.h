// The log of every library call the program made, newest last, as the
// monitor lists it. The monitor polls many times a second, so a run of alike
// polls (same entry, device and result) is kept as one row with a count and
// its latest call: a minute of polling is one row, not 600.
//
// Shells: kavrtest (the monitor).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "transcript/library_call.h"

namespace kavr {

struct CallLogRow {
  LibraryCall call;  // the call; for a run of polls, the latest
  std::chrono::system_clock::time_point firstStarted;
  std::size_t count = 1;
  bool poll = false;
};

class CallLog {
 public:
  // Calls added while one lives are polls.
  class PollScope {
   public:
    explicit PollScope(CallLog& log) : log_(log) { ++log_.polling_; }
    ~PollScope() { --log_.polling_; }
    PollScope(const PollScope&) = delete;
    PollScope& operator=(const PollScope&) = delete;

   private:
    CallLog& log_;
  };

  // Told after each change: the row's index, and whether it was added (or
  // an existing run of polls grew).
  using Listener = std::function<void(std::size_t row, bool added)>;
  void SetListener(Listener listener) { listener_ = std::move(listener); }

  void Add(const LibraryCall& call);

  std::size_t Size() const { return rows_.size(); }
  const CallLogRow& Row(std::size_t index) const { return rows_.at(index); }

 private:
  std::vector<CallLogRow> rows_;
  int polling_ = 0;
  Listener listener_;
};

// "15:20:01.123 GetState 0 rc=0 85 us": local time, entry, device, the
// scalars as the transcript writes them, result code, duration. A run of
// polls adds the time of its latest and the count.
std::string RowText(const CallLogRow& row);

// Every row's text, one a line, each ended by a line feed.
std::string LogText(const CallLog& log);

}  // namespace kavr
