#include "serve_signals.h"

#include <csignal>
#include <initializer_list>

namespace kavr::cli {

#ifdef _WIN32
// A console's Ctrl+C and its closing reach the handler armed; a pipe closed
// by the client ends the read as its end.
void LetSignalsEndReads() {}
#else
void LetSignalsEndReads() {
  std::signal(SIGPIPE, SIG_IGN);
  struct sigaction armed {};
  if (sigaction(SIGINT, nullptr, &armed) != 0 || armed.sa_handler == SIG_DFL || armed.sa_handler == SIG_IGN)
    return;
  armed.sa_flags &= ~SA_RESTART;
  for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) sigaction(signalNumber, &armed, nullptr);
}
#endif

}  // namespace kavr::cli
