// What the operating system hands kavrctl, made alike everywhere: the
// arguments as UTF-8, and standard streams that carry UTF-8 and LF line
// ends unchanged (a Windows console and its text mode do neither by itself).
#pragma once

#include <string>
#include <vector>

namespace kavr::cli {

// The arguments after the program's name, in UTF-8.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Sets the standard streams up for the run; undone when it is destroyed.
class ProgramStreams {
 public:
  ProgramStreams();
  ~ProgramStreams();
  ProgramStreams(const ProgramStreams&) = delete;
  ProgramStreams& operator=(const ProgramStreams&) = delete;

 private:
  unsigned consoleCodePage_ = 0;
};

}  // namespace kavr::cli
