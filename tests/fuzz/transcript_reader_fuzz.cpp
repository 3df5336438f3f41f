// libFuzzer target for the transcript reader: any bytes, as one line and as
// a whole transcript. A line it accepts must read back to the same call once
// written again.
#include <cstdint>
#include <sstream>
#include <string>

#include "transcript/transcript_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string error;
  if (const auto call = kavr::ParseTranscriptLine(input, error)) {
    const std::string written = kavr::TranscriptLine(*call);
    const auto again = kavr::ParseTranscriptLine(written, error);
    if (!again || kavr::TranscriptLine(*again) != written) __builtin_trap();
  }
  std::istringstream in(input);
  std::vector<kavr::RecordedCall> calls;
  kavr::ReadTranscript(in, calls, error);
  return 0;
}
