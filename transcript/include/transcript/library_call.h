// One call to the controller library as it happened: what went in, what
// came back, how long it took. The recording library hands one to every
// observer after each call; the transcript writes it as a line, the monitor
// lists it.
//
// Shells: kavrtest, kavrctl, through the recording library.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contract/entry_names.h"
#include "contract/result_code.h"

namespace kavr {

// A scalar argument or result: its text as handed over and as found after
// the call (empty where that direction does not apply: a destination only
// goes in, Init's count only comes out).
struct CallScalar {
  std::string name;
  std::string sent;
  std::string returned;
};

// A text buffer the library filled, as UTF-8, code 0 included.
struct CallText {
  std::string name;
  std::string text;
};

struct LibraryCall {
  std::chrono::system_clock::time_point started;
  std::chrono::microseconds duration{0};
  Entry entry = Entry::Init;
  std::optional<std::int32_t> device;
  // Empty for GetLastErr, which returns nothing.
  std::optional<ResultCode> result;
  std::vector<CallScalar> scalars;
  // The record the call passed, if any: its type and bytes before and after.
  std::string recordType;
  std::vector<std::uint8_t> sent;
  std::vector<std::uint8_t> returned;
  std::vector<CallText> texts;

  bool Failed() const { return result.has_value() && *result != 0; }
};

// The call as one line of plain text, without a line end: time (UTC, to the
// microsecond), entry, device, scalars, result code, duration, the record
// as hex before and after, and the texts quoted with control characters
// escaped. Fields are `name=value`, separated by single spaces.
std::string TranscriptLine(const LibraryCall& call);

// The call's text or scalar of that name (as the transcript names them:
// "serials", "destination"...); null when it has none.
const std::string* TextNamed(const LibraryCall& call, std::string_view name);
const CallScalar* ScalarNamed(const LibraryCall& call, std::string_view name);

// " name=sent>returned" for each scalar, in order: what a scalar was and
// what the call left in it.
std::string ScalarsText(const LibraryCall& call);

// The shortest text that reads back as the same float, in C notation, as a
// scalar is written.
std::string FloatText(float value);

// The same text escaping for any UTF-8 text: quoted, `\"` `\\`, and
// control characters (code 0 included) as `\xNN`.
std::string QuotedText(std::string_view utf8);

// Lower-case hex, two digits a byte, no separators.
std::string HexBytes(const std::vector<std::uint8_t>& bytes);

}  // namespace kavr
