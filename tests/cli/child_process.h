// A program run as a child of the test with its standard output on a pipe
// the test reads and may close, so that a signal or a reader that goes
// away reaches it as it would from a terminal or a pipeline. POSIX only.
#pragma once

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace cli_test {

class ChildProcess {
 public:
  // Standard error goes to `errFile`; standard input is empty.
  ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args,
               const std::filesystem::path& errFile) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return;
    std::vector<std::string> words{program.string()};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const std::string err = errFile.string();
    pid_ = fork();
    if (pid_ == 0) {
      dup2(pipeEnds[1], STDOUT_FILENO);
      const int errFd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(errFd, STDERR_FILENO);
      const int nothing = open("/dev/null", O_RDONLY);
      dup2(nothing, STDIN_FILENO);
      close(pipeEnds[0]);
      // As a shell starts it: the test's own dispositions are not inherited.
      signal(SIGPIPE, SIG_DFL);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(pipeEnds[1]);
    out_ = pipeEnds[0];
  }

  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  ~ChildProcess() {
    CloseOutput();
    if (pid_ > 0 && code_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  // The next line of its standard output without the line feed; empty at
  // its end or after `limit`.
  std::string ReadLine(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    std::string line;
    char c = 0;
    pollfd ready{.fd = out_, .events = POLLIN, .revents = 0};
    while (out_ >= 0 && poll(&ready, 1, static_cast<int>(limit.count())) == 1 && read(out_, &c, 1) == 1 &&
           c != '\n') {
      line += c;
    }
    return line;
  }

  // The reader goes away, as `head` does after its lines.
  void CloseOutput() {
    if (out_ >= 0) close(out_);
    out_ = -1;
  }

  void Signal(int signalNumber) const { kill(pid_, signalNumber); }

  // Its exit code, or 128 + the signal that ended it, as a shell reports
  // them; -1 when it had not ended after `limit` (it is then killed).
  int Wait(std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > until) return -1;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    code_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    return code_;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int code_ = -1;
};

}  // namespace cli_test
#endif
