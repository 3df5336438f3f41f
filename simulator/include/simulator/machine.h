// What the stand-in asks of the operating system beyond the standard
// library: one file for POSIX systems, one for Windows.
#pragma once

#include <cstdint>

namespace kavr::sim {

std::int64_t CurrentProcessId();
// True only when no process of that id runs any more, so that what it left
// behind may go. A process of another user still counts as running.
bool ProcessIsGone(std::int64_t id);

#if !defined(_WIN32)
// The numeric user id, for a per-user folder inside a shared one.
std::int64_t CurrentUserId();
#endif

}  // namespace kavr::sim
