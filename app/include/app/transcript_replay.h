// Sending a transcript's calls again, in order, to a library, and comparing
// each answer with the recorded one field by field. Recorded device numbers
// follow the controllers' serial numbers from the Init line, so that a
// transcript from one machine replays on another whose controllers are
// listed in another order.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "device/controller_library.h"
#include "transcript/transcript_reader.h"

namespace kavr {

struct ReplayOptions {
  // Field names (CurrentPosition, rc, text, speed...) not compared: those
  // that depend on timing.
  std::set<std::string, std::less<>> ignored;
  // Stop at the first call that differs.
  bool firstDifferenceOnly = false;
  // Start is sent only when asked: on a rig it moves the motor.
  bool allowMotion = false;
};

// Every name a replay compares, and so may ignore: the records' fields,
// then rc, count, versions, speed and text.
std::vector<std::string> ReplayComparedNames();

struct ReplayOutcome {
  std::size_t sent = 0;
  std::size_t differences = 0;
  // In the order of the calls: "call 12 GetState: CurrentPosition 20000
  // recorded, 19998 now", one per field that differs, and the calls passed
  // over with why ("call 7 Start: not sent without --allow-motion...").
  std::vector<std::string> lines;
};

ReplayOutcome ReplayTranscript(const std::vector<RecordedCall>& calls, ControllerLibrary& library,
                               const ReplayOptions& options);

}  // namespace kavr
