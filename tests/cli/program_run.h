// Runs a built program as a process of its own, through the system's
// shell, and collects its exit code and both outputs from files.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace cli_test {

#ifdef _WIN32
inline constexpr int kNotStarted = 9009;
#endif

struct ProgramRun {
  int code = -1;
  std::string out, err;
};

inline std::string Quoted(const std::string& text) {
#ifdef _WIN32
  return "\"" + text + "\"";
#else
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

inline std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// `input` is the program's standard input; `folder` holds the files that
// carry the outputs.
inline ProgramRun RunProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                             const std::filesystem::path& folder, const std::string& input = {}) {
  const std::filesystem::path in = folder / "stdin", out = folder / "stdout", err = folder / "stderr";
  std::ofstream(in, std::ios::binary) << input;
  std::string command = Quoted(program.string());
  // Appended piece by piece: GCC 12 at -O3 misreads `" " + text` as an overlapping copy.
  for (const std::string& arg : args) (command += ' ') += Quoted(arg);
  ((((command += " <") += Quoted(in.string())) += " >") += Quoted(out.string())) += " 2>";
  command += Quoted(err.string());
#ifdef _WIN32
  // cmd.exe drops the first and the last quote of a line that starts with one.
  command = "\"" + command + "\"";
#endif
  int status = std::system(command.c_str());
#ifdef _WIN32
  // 9009 is cmd.exe's "not recognized": the program never started. Under
  // wine a start now and then meets that although the file is there;
  // the program itself is judged only once it has run.
  for (int retry = 0; retry < 2 && status == kNotStarted && std::filesystem::exists(program); ++retry)
    status = std::system(command.c_str());
#endif
  ProgramRun run;
#ifdef _WIN32
  run.code = status;
#else
  run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  run.out = FileText(out);
  run.err = FileText(err);
  return run;
}

}  // namespace cli_test
