#include "transcript/transcript_reader.h"

#include <charconv>
#include <limits>
#include <set>
#include <tuple>

#include "transcript/input_file.h"
#include "transcript/record_fields.h"

namespace kavr {
namespace {

// The records a line may carry, with their sizes.
std::optional<std::size_t> RecordSize(std::string_view name) {
  const RecordKind* kind = RecordKindNamed(name);
  if (kind == nullptr) return std::nullopt;
  return kind->size;
}

std::optional<Entry> EntryNamed(std::string_view name) {
  for (std::size_t i = 0; i < kEntryCount; ++i) {
    if (ShortEntryName(static_cast<Entry>(i)) == name) return static_cast<Entry>(i);
  }
  return std::nullopt;
}

template <typename Number>
std::optional<Number> NumberIn(std::string_view text) {
  Number value{};
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || problem != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::vector<std::uint8_t>> HexIn(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    std::uint8_t byte = 0;
    const auto [end, problem] = std::from_chars(text.data() + i, text.data() + i + 2, byte, 16);
    if (problem != std::errc{} || end != text.data() + i + 2) return std::nullopt;
    bytes.push_back(byte);
  }
  return bytes;
}

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

// "2026-12-08T15:20:01.123456Z", as UtcTimestampText writes it.
std::optional<std::chrono::system_clock::time_point> TimestampIn(std::string_view text) {
  if (text.size() != 27 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != '.' || text[26] != 'Z') {
    return std::nullopt;
  }
  for (std::size_t i : {0u, 5u, 8u, 11u, 14u, 17u, 20u}) {
    const std::size_t length = i == 0 ? 4 : i == 20 ? 6 : 2;
    for (std::size_t j = i; j < i + length; ++j) {
      if (text[j] < '0' || text[j] > '9') return std::nullopt;
    }
  }
  auto part = [&](std::size_t at, std::size_t length) {
    return *NumberIn<std::int64_t>(text.substr(at, length));
  };
  const std::int64_t year = part(0, 4), month = part(5, 2), day = part(8, 2), hour = part(11, 2),
                     minute = part(14, 2), second = part(17, 2);
  // Years every system's clock holds and writes back: the system clock
  // counts nanoseconds on some (to 2262), and Windows' conversion starts
  // at 1970.
  if (year < 1970 || year > 2200 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
      minute > 59 || second > 60) {
    return std::nullopt;
  }
  const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  const std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
  return std::chrono::system_clock::time_point(
      std::chrono::duration_cast<std::chrono::system_clock::duration>(
          std::chrono::seconds(seconds) + std::chrono::microseconds(part(20, 6))));
}

// The reverse of QuotedText, from the opening quote at `text[0]`; how much
// it took in `used`.
std::optional<std::string> UnquotedText(std::string_view text, std::size_t& used, std::string& problem) {
  std::string out;
  for (std::size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"') {
      used = i + 1;
      return out;
    }
    if (c != '\\') {
      out.push_back(c);
      continue;
    }
    if (i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
      out.push_back(text[++i]);
    } else if (i + 3 < text.size() && text[i + 1] == 'x') {
      const auto byte = HexIn(text.substr(i + 2, 2));
      if (!byte) break;
      out.push_back(static_cast<char>((*byte)[0]));
      i += 3;
    } else {
      break;
    }
  }
  problem = "a quoted text is not ended, or holds an escape other than \\\" \\\\ \\xNN";
  return std::nullopt;
}

class LineParser {
 public:
  explicit LineParser(std::string_view line) : rest_(line) {}

  std::optional<LibraryCall> Parse(std::string& problem) {
    LibraryCall call;
    const std::string_view time = Word();
    if (auto started = TimestampIn(time)) {
      call.started = *started;
    } else {
      return Fail(problem, "it does not start with a time like 2026-12-08T15:20:01.123456Z");
    }
    if (rest_.empty()) return Fail(problem, "it names no entry");
    rest_.remove_prefix(1);
    const std::string_view name = Word();
    if (auto entry = EntryNamed(name)) {
      call.entry = *entry;
    } else {
      return Fail(problem, "\"" + std::string(name) + "\" is not an entry of the library");
    }
    std::set<std::string, std::less<>> seen;
    bool timed = false;
    while (!rest_.empty()) {
      if (rest_.front() != ' ' || rest_.starts_with("  ") || rest_.size() == 1) {
        return Fail(problem, "fields must be separated by single spaces");
      }
      rest_.remove_prefix(1);
      const std::size_t equals = rest_.find('=');
      const std::size_t space = rest_.find(' ');
      if (equals == std::string_view::npos || (space != std::string_view::npos && space < equals) ||
          equals == 0) {
        return Fail(problem, "\"" + std::string(rest_.substr(0, space)) + "\" is not a NAME=VALUE field");
      }
      const std::string field(rest_.substr(0, equals));
      rest_.remove_prefix(equals + 1);
      if (!seen.insert(field).second) return Fail(problem, "the field " + field + " appears twice");
      if (!rest_.empty() && rest_.front() == '"') {
        std::size_t used = 0;
        auto text = UnquotedText(rest_, used, problem);
        if (!text) return Fail(problem, "in " + field + ", " + problem);
        rest_.remove_prefix(used);
        call.texts.push_back({field, *text});
        continue;
      }
      const std::string_view value = Word();
      if (!Field(call, field, value, timed, problem)) return std::nullopt;
    }
    if (!timed) return Fail(problem, "it has no duration (us=)");
    if (call.recordType.empty() != call.sent.empty() || call.sent.size() != call.returned.size()) {
      return Fail(problem,
                  "a record needs its type (record=) and its bytes as sent and returned (sent=, returned=)");
    }
    if (call.entry == Entry::GetLastErr ? call.result.has_value() : !call.result.has_value()) {
      return Fail(problem, call.entry == Entry::GetLastErr ? "GetLastErr returns no result code"
                                                           : "it has no result code (rc=)");
    }
    return call;
  }

 private:
  std::string_view Word() {
    const std::size_t end = std::min(rest_.find(' '), rest_.size());
    const std::string_view word = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return word;
  }

  static std::nullopt_t Fail(std::string& problem, std::string what) {
    problem = std::move(what);
    return std::nullopt;
  }

  static bool Field(LibraryCall& call, const std::string& field, std::string_view value, bool& timed,
                    std::string& problem) {
    const auto bad = [&](std::string_view kind) {
      problem = field + "=" + std::string(value) + " is not " + std::string(kind);
      return false;
    };
    if (field == "device" || field == "rc") {
      auto number = NumberIn<std::int32_t>(value);
      if (!number) return bad("a 32-bit whole number");
      (field == "device" ? call.device : call.result) = *number;
    } else if (field == "us") {
      auto number = NumberIn<std::int64_t>(value);
      if (!number || *number < 0) return bad("a duration in microseconds");
      call.duration = std::chrono::microseconds(*number);
      timed = true;
    } else if (field == "record") {
      if (!RecordSize(value)) return bad("a record of the library");
      call.recordType = value;
    } else if (field == "sent" || field == "returned") {
      auto bytes = HexIn(value);
      const std::optional<std::size_t> size = RecordSize(call.recordType);
      if (!size) return bad("allowed before record=");
      if (!bytes || bytes->size() != *size) {
        return bad("the " + std::to_string(*size) + " bytes of a " + call.recordType + " in hex");
      }
      (field == "sent" ? call.sent : call.returned) = std::move(*bytes);
    } else {
      if (value.empty()) return bad("a value");
      const std::size_t arrow = value.find('>');
      CallScalar scalar{field, std::string(value.substr(0, arrow)), ""};
      if (arrow != std::string_view::npos) {
        scalar.returned = value.substr(arrow + 1);
        if (scalar.sent.empty() || scalar.returned.empty()) return bad("SENT>RETURNED");
      } else if (call.entry == Entry::Init) {
        std::swap(scalar.sent, scalar.returned);
      }
      call.scalars.push_back(std::move(scalar));
    }
    return true;
  }

  std::string_view rest_;
};

}  // namespace

std::optional<LibraryCall> ParseTranscriptLine(std::string_view line, std::string& problem) {
  return LineParser(line).Parse(problem);
}

bool ReadTranscript(std::istream& in, std::vector<RecordedCall>& calls, std::string& problem) {
  std::size_t number = 0;
  bool tooLong = false;
  for (std::string line; ReadLimitedLine(in, line, kLongestTranscriptLine, tooLong);) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::string what;
    auto call = ParseTranscriptLine(line, what);
    if (!call) {
      problem = "line " + std::to_string(number) + ": " + what;
      return false;
    }
    calls.push_back({number, std::move(*call)});
  }
  if (tooLong) {
    problem = "line " + std::to_string(number + 1) + ": longer than " +
              std::to_string(kLongestTranscriptLine >> 10) + " KiB; no transcript line is";
    return false;
  }
  if (in.bad()) {
    problem = "the transcript could not be read past line " + std::to_string(number);
    return false;
  }
  return true;
}

}  // namespace kavr
