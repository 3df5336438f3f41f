// Only a regular file is read as input, and never more than its limit: a
// directory, a FIFO or a device is refused by what it is, before it can
// block or stream forever.
#include "transcript/input_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "portable.h"
#include "returned.h"

namespace {

test_support::Returned<std::string> Read(const std::filesystem::path& file, std::uintmax_t limit) {
  return test_support::Call([&](std::string& problem) { return kavr::ReadInputFile(file, limit, problem); });
}

TEST(InputFile, OnlyARegularFileWithinItsLimitIsRead) {
  test_support::ScratchFolder folder;
  std::ofstream(folder.path / "small.json") << "{}";
  std::ofstream(folder.path / "large.json") << std::string(2000, ' ');
  struct Case {
    std::filesystem::path file;
    const char* problem;  // empty: read
  };
  std::vector<Case> cases = {
      {folder.path / "small.json", ""},
      {folder.path / "large.json", "is larger than 1000 bytes"},
      {folder.path, "is a directory, not a file"},
      {folder.path / "none.json", "cannot be read"},
  };
#ifndef _WIN32
  mkfifo((folder.path / "fifo").c_str(), 0600);
  cases.push_back({folder.path / "fifo", "is a FIFO (a named pipe), not a file"});
  cases.push_back({"/dev/zero", "is a device, not a file"});
#endif
  for (const Case& c : cases) {
    const auto read = Read(c.file, 1000);
    EXPECT_TRUE(read.problem.starts_with(c.problem)) << c.file << ": " << read.problem;
    EXPECT_EQ(read.value.has_value(), std::string(c.problem).empty()) << c.file;
  }
}

TEST(InputFile, LinesAreReadUpToTheirLimit) {
  std::istringstream in("ab\ncdef\n\ngh");
  std::string line;
  bool tooLong = false;
  std::vector<std::string> lines;
  while (kavr::ReadLimitedLine(in, line, 3, tooLong)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"ab"}));
  EXPECT_TRUE(tooLong);
  std::istringstream fits("ab\nc\n\ngh");
  lines.clear();
  while (kavr::ReadLimitedLine(fits, line, 3, tooLong)) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"ab", "c", "", "gh"}));
  EXPECT_FALSE(tooLong);
}

}  // namespace
