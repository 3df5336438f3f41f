// Other programs run as processes of their own, several at a time, each
// with an environment of its own, no input and its outputs in files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace kavr::cli {

struct ChildRun {
  std::vector<std::string> args;         // UTF-8, without the program
  std::vector<std::string> environment;  // the whole of it, "NAME=value"
  std::filesystem::path out, err;        // created or emptied
};

// The exit code a child is given when it could not be started or did not
// exit by itself (a signal, a crash).
inline constexpr int kChildDidNotExit = -1;

// Runs `program` once per run, at most `parallel` at a time, and calls
// `done` with the run's index and exit code as each ends, from this thread.
// Once `stopStarting` (if given) says so, the runs not yet started are left
// out; those under way are waited for.
void RunChildren(const std::filesystem::path& program, std::span<const ChildRun> runs, unsigned parallel,
                 const std::function<void(std::size_t, int)>& done,
                 const std::function<bool()>& stopStarting = nullptr);

}  // namespace kavr::cli
