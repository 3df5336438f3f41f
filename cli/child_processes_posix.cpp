#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <map>

#include "child_processes.h"

namespace kavr::cli {
namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

// The child's process id; 0 when it could not be started.
pid_t Start(const std::filesystem::path& program, const ChildRun& run) {
  std::vector<std::string> args = run.args;
  args.insert(args.begin(), program.string());
  std::vector<std::string> environment = run.environment;
  std::vector<char*> argv = Pointers(args);
  std::vector<char*> envp = Pointers(environment);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, run.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, run.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = 0;
  const int error = posix_spawn(&child, program.c_str(), &files, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  return error == 0 ? child : 0;
}

}  // namespace

void RunChildren(const std::filesystem::path& program, std::span<const ChildRun> runs, unsigned parallel,
                 const std::function<void(std::size_t, int)>& done,
                 const std::function<bool()>& stopStarting) {
  std::map<pid_t, std::size_t> running;
  std::size_t next = 0;
  while (next < runs.size() || !running.empty()) {
    if (stopStarting && stopStarting()) next = runs.size();
    while (next < runs.size() && running.size() < std::max(parallel, 1u)) {
      const std::size_t index = next++;
      if (const pid_t child = Start(program, runs[index])) {
        running.emplace(child, index);
      } else {
        done(index, kChildDidNotExit);
      }
    }
    if (running.empty()) continue;
    int status = 0;
    const pid_t ended = waitpid(-1, &status, 0);
    if (ended < 0) {
      // No child left to wait for, which cannot be: count the rest as lost.
      for (const auto& [child, index] : running) done(index, kChildDidNotExit);
      running.clear();
      continue;
    }
    const auto found = running.find(ended);
    if (found == running.end()) continue;
    const std::size_t index = found->second;
    running.erase(found);
    done(index, WIFEXITED(status) ? WEXITSTATUS(status) : kChildDidNotExit);
  }
}

}  // namespace kavr::cli
