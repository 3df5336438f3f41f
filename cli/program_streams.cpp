#include "program_streams.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <cstdio>
#endif

namespace kavr::cli {

#ifdef _WIN32

// From the wide command line: argv holds the arguments in the system's code
// page, which cannot hold every character of a file name or serial number.
std::vector<std::string> Utf8Arguments(int, char**) {
  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> utf8;
  for (int i = 1; arguments != nullptr && i < count; ++i) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, text.data(), size, nullptr, nullptr);
    text.resize(text.size() - 1);
    utf8.push_back(std::move(text));
  }
  LocalFree(arguments);
  return utf8;
}

ProgramStreams::ProgramStreams() : consoleCodePage_(GetConsoleOutputCP()) {
  // LF stays LF, as on every other system, so that outputs compare alike.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  // The reports' degree sign and the library's texts are written as UTF-8.
  if (consoleCodePage_ != 0) SetConsoleOutputCP(CP_UTF8);
}

ProgramStreams::~ProgramStreams() {
  if (consoleCodePage_ != 0) SetConsoleOutputCP(consoleCodePage_);
}

#else

std::vector<std::string> Utf8Arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

ProgramStreams::ProgramStreams() = default;
ProgramStreams::~ProgramStreams() = default;

#endif

}  // namespace kavr::cli
