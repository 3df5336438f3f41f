#include <windows.h>

#include <algorithm>

#include "child_processes.h"

namespace kavr::cli {
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// One argument as the C runtime's parser reads it back.
std::wstring Quoted(const std::wstring& arg) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  return quoted + L"\"";
}

HANDLE Inheritable(const std::wstring& file, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(file.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The child's process handle; null when it could not be started.
HANDLE Start(const std::filesystem::path& program, const ChildRun& run) {
  std::wstring commandLine = Quoted(program.wstring());
  for (const std::string& arg : run.args) commandLine += L" " + Quoted(Wide(arg));
  std::wstring environment;
  for (const std::string& variable : run.environment) environment += Wide(variable) + L'\0';
  environment += L'\0';
  const HANDLE in = Inheritable(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const HANDLE out = Inheritable(run.out.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  const HANDLE err = Inheritable(run.err.wstring(), GENERIC_WRITE, CREATE_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const bool started =
      in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
      CreateProcessW(program.wstring().c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                     CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr, &startup, &process);
  for (const HANDLE handle : {in, out, err}) {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  if (!started) return nullptr;
  CloseHandle(process.hThread);
  return process.hProcess;
}

}  // namespace

void RunChildren(const std::filesystem::path& program, std::span<const ChildRun> runs, unsigned parallel,
                 const std::function<void(std::size_t, int)>& done,
                 const std::function<bool()>& stopStarting) {
  // WaitForMultipleObjects watches at most this many.
  parallel = std::clamp(parallel, 1u, static_cast<unsigned>(MAXIMUM_WAIT_OBJECTS));
  std::vector<HANDLE> handles;
  std::vector<std::size_t> indexes;
  std::size_t next = 0;
  while (next < runs.size() || !handles.empty()) {
    if (stopStarting && stopStarting()) next = runs.size();
    while (next < runs.size() && handles.size() < parallel) {
      const std::size_t index = next++;
      if (const HANDLE child = Start(program, runs[index])) {
        handles.push_back(child);
        indexes.push_back(index);
      } else {
        done(index, kChildDidNotExit);
      }
    }
    if (handles.empty()) continue;
    const DWORD signalled =
        WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, INFINITE);
    std::size_t at = signalled - WAIT_OBJECT_0;
    if (at >= handles.size()) at = 0;  // a failed wait: take the first as lost
    DWORD code = 0;
    const bool exited = signalled - WAIT_OBJECT_0 < handles.size() && GetExitCodeProcess(handles[at], &code);
    CloseHandle(handles[at]);
    const std::size_t index = indexes[at];
    handles.erase(handles.begin() + static_cast<std::ptrdiff_t>(at));
    indexes.erase(indexes.begin() + static_cast<std::ptrdiff_t>(at));
    done(index, exited ? static_cast<int>(code) : kChildDidNotExit);
  }
}

}  // namespace kavr::cli
