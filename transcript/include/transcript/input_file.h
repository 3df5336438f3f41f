// Files read as input (plans, settings files, transcripts, the library
// file): only a regular file, so that a FIFO or a device never blocks or
// streams forever, and never more than a limit, so that a file too large
// is refused in words rather than by the kernel.
//
// Shells: kavrctl; the stand-in library and the recorder (their files named
// by environment variables).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

namespace kavr {

// Far beyond any plan or settings file a person writes.
constexpr std::uintmax_t kLargestSettingsFile = 4u << 20;
// Far beyond any transcript line, whose records are a few hundred bytes.
constexpr std::size_t kLongestTranscriptLine = 64u << 10;

// Why `file` is not one to read or write as a plain file ("is a directory",
// "is a FIFO", "is a device"); nothing for a regular file, a link to one, or
// nothing there at all (opening it says why).
std::optional<std::string> NotRegularFile(const std::filesystem::path& file);

// The whole of `file`, if it is a regular file of at most `limit` bytes;
// else nothing, and `problem` says why ("is a FIFO, not a file",
// "is larger than 4 MiB", "cannot be read: ...").
std::optional<std::string> ReadInputFile(const std::filesystem::path& file, std::uintmax_t limit,
                                         std::string& problem);

// The whole of `in` (standard input), at most `limit` bytes, as ReadInputFile.
std::optional<std::string> ReadInputStream(std::istream& in, std::uintmax_t limit, std::string& problem);

// The next line of `in` without its line feed, as std::getline, but
// reading no more than `limit` bytes of it: false at the end of `in`, and
// false with `tooLong` set for a longer line.
bool ReadLimitedLine(std::istream& in, std::string& line, std::size_t limit, bool& tooLong);

}  // namespace kavr
