#include "transcript_answers.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "contract/own_result_codes.h"
#include "simulator/sim_config.h"
#include "text/text.h"
#include "transcript/input_file.h"
#include "transcript/transcript_reader.h"

namespace kavr::sim {
namespace {

constexpr const char* kReplayVariable = "KAVR_SIM_REPLAY";

// The transcript being played and how far each entry and controller got.
struct Playback {
  std::string file;
  std::vector<RecordedCall> calls;
  std::vector<bool> answered;
  std::map<std::pair<Entry, std::int64_t>, std::size_t> next;
};

// One per process, as a library's state is; calls from several threads take
// their answers one at a time.
struct Player {
  std::mutex mutex;
  std::unique_ptr<Playback> playback;
};

Player& ThePlayer() {
  static Player player;
  return player;
}

std::string Describe(Entry entry, std::optional<std::int32_t> device) {
  return std::string(ShortEntryName(entry)) + (device ? " on device " + std::to_string(*device) : "");
}

// The next recorded call of `entry` on `device`, marked answered; null, with
// what the transcript holds next in `problem`, when there is none.
const RecordedCall* Take(Playback& playback, Entry entry, std::optional<std::int32_t> device,
                         std::string& problem) {
  const auto key = std::make_pair(entry, device ? std::int64_t{*device} : std::int64_t{-1});
  std::size_t& from = playback.next[key];
  for (std::size_t i = from; i < playback.calls.size(); ++i) {
    const LibraryCall& call = playback.calls[i].call;
    if (call.entry == entry && call.device == device) {
      playback.answered[i] = true;
      from = i + 1;
      return &playback.calls[i];
    }
  }
  const auto waiting = std::find(playback.answered.begin(), playback.answered.end(), false);
  std::string expected = "every recorded call has been answered";
  if (waiting != playback.answered.end()) {
    const RecordedCall& first = playback.calls[static_cast<std::size_t>(waiting - playback.answered.begin())];
    expected = "the first call not yet answered is " + Describe(first.call.entry, first.call.device) +
               " (line " + std::to_string(first.line) + ")";
  }
  problem = "no more " + Describe(entry, device) + " recorded in the transcript " + playback.file + " (" +
            kReplayVariable + "); " + expected;
  return nullptr;
}

// Fills `buffer` up to its capacity: the text in the library's code page,
// then code 0.
void WriteText(const std::string& utf8, char* buffer, std::int32_t capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const std::string bytes = EncodeCodePage(FromUtf8(utf8));
  const auto size = static_cast<std::size_t>(capacity);
  std::memset(buffer, 0, size);
  std::memcpy(buffer, bytes.data(), std::min(bytes.size(), size - 1));
}

template <typename Number>
bool NumberIn(const std::string& text, Number& value) {
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && problem == std::errc{} && end == text.data() + text.size();
}

// Runs `answer` on the next recorded call of `entry` on `device`; nothing
// when no transcript plays.
// No exception may cross into the caller, which is not C++.
template <typename Answer>
std::optional<ReplayAnswer> Play(Entry entry, std::optional<std::int32_t> device, Answer answer) noexcept {
  Player& player = ThePlayer();
  std::lock_guard lock(player.mutex);
  if (!player.playback) return std::nullopt;
  try {
    ReplayAnswer reply{kNotRecorded, {}};
    const RecordedCall* recorded = Take(*player.playback, entry, device, reply.failure);
    if (recorded == nullptr) return reply;
    reply.code = recorded->call.result.value_or(kSuccess);
    answer(recorded->call, reply);
    if (!reply.failure.empty()) {
      reply.code = kNotRecorded;
      reply.failure += " (line " + std::to_string(recorded->line) + " of " + player.playback->file + ")";
    }
    return reply;
  } catch (...) {
    return ReplayAnswer{kInternalError, "internal error while playing the transcript back"};
  }
}

std::string LinePrefix(Entry entry) { return "the recorded " + std::string(ShortEntryName(entry)) + " "; }

}  // namespace

std::optional<ReplayAnswer> ReplayedInit(std::int32_t* count, char* versions, std::int32_t versionsCapacity,
                                         char* serials, std::int32_t serialsCapacity) {
  Player& player = ThePlayer();
  const std::optional<std::string> file = ProcessEnvironment()(kReplayVariable);
  {
    std::lock_guard lock(player.mutex);
    if (!file || file->empty()) {
      player.playback.reset();
      return std::nullopt;
    }
    if (!player.playback || player.playback->file != *file) {
      player.playback.reset();
      auto playback = std::make_unique<Playback>();
      playback->file = *file;
      const std::filesystem::path path(std::u8string(file->begin(), file->end()));
      std::string problem;
      if (const auto notFile = NotRegularFile(path)) problem = "it " + *notFile;
      std::ifstream in;
      if (problem.empty()) in.open(path, std::ios::binary);
      if (problem.empty() && !in) problem = "it cannot be opened";
      if (problem.empty()) ReadTranscript(in, playback->calls, problem);
      if (!problem.empty()) {
        return ReplayAnswer{kNotRecorded, "the transcript " + *file + " (" + kReplayVariable +
                                              ") cannot be played back: " + problem};
      }
      playback->answered.assign(playback->calls.size(), false);
      player.playback = std::move(playback);
    }
  }
  return Play(Entry::Init, std::nullopt, [&](const LibraryCall& recorded, ReplayAnswer& reply) {
    const CallScalar* recordedCount = ScalarNamed(recorded, "count");
    std::int32_t value = 0;
    if (recordedCount != nullptr && (!NumberIn(recordedCount->returned, value) || value < 0)) {
      reply.failure = LinePrefix(Entry::Init) + "has no usable count: count=" + recordedCount->returned +
                      " is not a number of controllers";
      return;
    }
    if (count != nullptr) *count = value;
    if (const std::string* text = TextNamed(recorded, "versions"))
      WriteText(*text, versions, versionsCapacity);
    if (const std::string* text = TextNamed(recorded, "serials")) WriteText(*text, serials, serialsCapacity);
  });
}

std::optional<ReplayAnswer> Replayed(Entry entry, std::int32_t device) {
  return Play(entry, device, [](const LibraryCall&, ReplayAnswer&) {});
}

std::optional<ReplayAnswer> ReplayedRecord(Entry entry, std::int32_t device, std::string_view recordType,
                                           void* record, std::size_t size) {
  return Play(entry, device, [&](const LibraryCall& recorded, ReplayAnswer& reply) {
    if (recorded.recordType != recordType || recorded.returned.size() != size) {
      reply.failure = LinePrefix(entry) + "holds no " + std::string(recordType);
    } else if (record != nullptr) {
      std::memcpy(record, recorded.returned.data(), size);
    }
  });
}

std::optional<ReplayAnswer> Replayed(Entry entry, std::int32_t device, std::int32_t, float* speed,
                                     KAVR_StartParameters* start) {
  return Play(entry, device, [&](const LibraryCall& recorded, ReplayAnswer& reply) {
    const CallScalar* recordedSpeed = ScalarNamed(recorded, "speed");
    float value = 0.0f;
    if (recordedSpeed == nullptr ||
        !NumberIn(recordedSpeed->returned.empty() ? recordedSpeed->sent : recordedSpeed->returned, value) ||
        recorded.returned.size() != sizeof(KAVR_StartParameters)) {
      reply.failure = LinePrefix(entry) + "has no usable speed or start parameters";
      return;
    }
    if (speed != nullptr) *speed = value;
    if (start != nullptr) std::memcpy(static_cast<void*>(start), recorded.returned.data(), sizeof *start);
  });
}

bool ReplayedLastError(char* buffer, std::int32_t capacity) {
  const auto reply = Play(Entry::GetLastErr, std::nullopt, [&](const LibraryCall& recorded, ReplayAnswer&) {
    const std::string* text = TextNamed(recorded, "text");
    WriteText(text != nullptr ? *text : std::string(), buffer, capacity);
  });
  if (!reply) return false;
  if (!reply->failure.empty()) WriteText("_KAVRVB_GetLastErr: " + reply->failure, buffer, capacity);
  return true;
}

}  // namespace kavr::sim
