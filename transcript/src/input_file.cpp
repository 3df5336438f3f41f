#include "transcript/input_file.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <istream>

namespace kavr {
namespace {

std::string SizeText(std::uintmax_t limit) {
  return limit >= (1u << 20) ? std::to_string(limit >> 20) + " MiB" : std::to_string(limit) + " bytes";
}

// At most `limit` bytes of `in`; a byte more sets `problem`.
std::optional<std::string> ReadUpTo(std::istream& in, std::uintmax_t limit, std::string& problem) {
  std::string text;
  char block[1 << 16];
  while (in) {
    in.read(block, sizeof block);
    text.append(block, static_cast<std::size_t>(in.gcount()));
    if (text.size() > limit) {
      problem = "is larger than " + SizeText(limit);
      return std::nullopt;
    }
  }
  if (in.bad()) {
    problem = "cannot be read";
    return std::nullopt;
  }
  return text;
}

}  // namespace

std::optional<std::string> NotRegularFile(const std::filesystem::path& file) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(file, error);
  switch (status.type()) {
    case std::filesystem::file_type::regular:
    case std::filesystem::file_type::not_found:  // the open says why
      return std::nullopt;
    case std::filesystem::file_type::directory:
      return "is a directory, not a file";
    case std::filesystem::file_type::fifo:
      return "is a FIFO (a named pipe), not a file";
    case std::filesystem::file_type::character:
    case std::filesystem::file_type::block:
      return "is a device, not a file";
    case std::filesystem::file_type::socket:
      return "is a socket, not a file";
    default:
      return error ? "cannot be read: " + error.message() : std::string("is not a regular file");
  }
}

std::optional<std::string> ReadInputFile(const std::filesystem::path& file, std::uintmax_t limit,
                                         std::string& problem) {
  if (auto notFile = NotRegularFile(file)) {
    problem = std::move(*notFile);
    return std::nullopt;
  }
  errno = 0;
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    problem = "cannot be read";
    if (errno != 0) problem += ": " + std::string(std::strerror(errno));
    return std::nullopt;
  }
  return ReadUpTo(in, limit, problem);
}

std::optional<std::string> ReadInputStream(std::istream& in, std::uintmax_t limit, std::string& problem) {
  return ReadUpTo(in, limit, problem);
}

bool ReadLimitedLine(std::istream& in, std::string& line, std::size_t limit, bool& tooLong) {
  line.clear();
  tooLong = false;
  std::istream::sentry ready(in, true);
  if (!ready) return false;
  std::streambuf& buffer = *in.rdbuf();
  for (int c = buffer.sbumpc();; c = buffer.sbumpc()) {
    if (c == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      return !line.empty();
    }
    if (c == '\n') return true;
    if (line.size() >= limit) {
      tooLong = true;
      return false;
    }
    line += static_cast<char>(c);
  }
}

}  // namespace kavr
