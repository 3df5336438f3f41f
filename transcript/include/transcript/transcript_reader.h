// Reading transcripts back: each line, as TranscriptLine writes it, into the
// call it describes. The one reader of the format, for replaying a
// transcript against a library and for the stand-in answering from one.
// A line that is not a call is refused with what is wrong; nothing throws.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "transcript/library_call.h"

namespace kavr {

// The call a line describes; nothing, with what is wrong in `problem`, when
// it is not one. A scalar written without a direction is one that went in,
// except in Init, which takes none and hands its count back.
std::optional<LibraryCall> ParseTranscriptLine(std::string_view line, std::string& problem);

// A recorded call and the line of the transcript it came from (1-based).
struct RecordedCall {
  std::size_t line = 0;
  LibraryCall call;
};

// Every call of a transcript, in order. Blank lines are passed over. False,
// with "line N: what is wrong" in `problem`, at the first line that is not a
// call.
bool ReadTranscript(std::istream& in, std::vector<RecordedCall>& calls, std::string& problem);

}  // namespace kavr
