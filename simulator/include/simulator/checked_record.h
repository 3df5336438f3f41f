// Records kept in files (a controller's flash, the shared state) carry a
// header and a checksum, so that a file cut short, damaged or of another
// kind is recognised instead of being read as values.
//
// Layout (little-endian):
//   0  8 bytes  magic, naming the kind of file
//   8  u32      format version
//  12  u32      length N of the payload that follows
//  16  N bytes  payload
// 16+N u32      CRC-32 of bytes 0 to 16+N-1
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>

#include "simulator/problem.h"

namespace kavr::sim {

inline constexpr std::size_t kRecordOverhead = 20;

std::string SealRecord(std::string_view magic, std::uint32_t version, std::string_view payload);

// The payload of an intact record of that magic and version; the problem
// says what is wrong otherwise. `payload` views into `bytes`.
Problem OpenRecord(std::string_view bytes, std::string_view magic, std::uint32_t version,
                   std::string_view& payload);

// The payload of a record that OpenRecord accepted, without checking again.
inline std::string_view PayloadOf(std::string_view record) {
  return record.substr(16, record.size() - kRecordOverhead);
}

// Builds a payload out of little-endian values.
class PayloadWriter {
 public:
  template <typename Value>
  void Put(const Value& value) {
    static_assert(std::is_trivially_copyable_v<Value>);
    // The machines that build this library are little-endian, as the
    // records exchanged with the program are by definition.
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void PutText(std::string_view text);
  std::string Take() { return std::move(bytes_); }

 private:
  std::string bytes_;
};

// Reads a payload back. Reading past its end yields zeroes and marks the
// reader as failed, so a decoder checks once, at the end.
class PayloadReader {
 public:
  explicit PayloadReader(std::string_view bytes) : bytes_(bytes) {}
  template <typename Value>
  Value Get() {
    static_assert(std::is_trivially_copyable_v<Value>);
    Value value{};
    if (bytes_.size() < sizeof value) {
      failed_ = true;
      bytes_ = {};
      return value;
    }
    std::memcpy(&value, bytes_.data(), sizeof value);
    bytes_.remove_prefix(sizeof value);
    return value;
  }
  // A text of at most `longest` bytes.
  std::string GetText(std::size_t longest);
  // True when everything was read and nothing is left over.
  bool Complete() const { return !failed_ && bytes_.empty(); }

 private:
  std::string_view bytes_;
  bool failed_ = false;
};

}  // namespace kavr::sim
