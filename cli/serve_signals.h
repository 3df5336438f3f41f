// What kavrctl serve needs of signals beyond Ctrl+C being caught: a signal
// must end a read of standard input that waits for the next request, and a
// client that went away must not end the server before it has stopped the
// controllers it started.
#pragma once

namespace kavr::cli {

// After the interrupt is armed: SIGHUP is caught as SIGINT is, none of them
// restarts a read, and a write to a closed pipe fails instead of ending the
// program. Where no handler is armed (a test), only the last holds.
void LetSignalsEndReads();

}  // namespace kavr::cli
