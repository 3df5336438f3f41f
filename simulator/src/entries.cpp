// The exported entries. Loading the library does no work; each
// _KAVRVB_Init reads the settings from the environment as it is then, and
// every call after it runs on the controllers' shared state, under that
// state's file lock: the one lock a call takes (see shared_state.h).
//
// Two things stay in the process. The settings of the latest Init, which a
// call on another thread may be using while a new Init replaces them: each
// set is built whole, never changed, and handed over through one atomic
// pointer. And the failures that never reached the controllers (no Init
// yet, a state folder that cannot be used), kept per thread as the system's
// own last-error value is; GetLastErr gives the calling thread's one while
// it is the latest, and the controllers' last error otherwise.

#include "contract/entries.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

#include "contract/entry_names.h"
#include "contract/own_result_codes.h"
#include "simulator/clock.h"
#include "simulator/shared_state.h"
#include "simulator/sim_config.h"
#include "simulator/simulator.h"
#include "transcript_answers.h"

namespace {

using kavr::sim::Entry;
using kavr::sim::Simulator;
using kavr::sim::SimulatorConfig;

// Every set of settings this process has used. One that is replaced may
// still serve a call on another thread, so all stay until the library is
// unloaded, when no call runs; a set equal to the latest is not added
// again, so there are as many as distinct settings, a handful.
class Settings {
 public:
  constexpr Settings() = default;
  Settings(const Settings&) = delete;
  Settings& operator=(const Settings&) = delete;
  ~Settings() {
    for (const Node* node = latest_.load(); node != nullptr;) delete std::exchange(node, node->previous);
  }

  const SimulatorConfig* Latest() const {
    const Node* node = latest_.load(std::memory_order_acquire);
    return node == nullptr ? nullptr : &node->config;
  }

  const SimulatorConfig& Use(SimulatorConfig config) {
    Node* seen = latest_.load(std::memory_order_acquire);
    if (seen != nullptr && seen->config == config) return seen->config;
    Node* fresh = new Node{std::move(config), seen};
    while (!latest_.compare_exchange_weak(fresh->previous, fresh, std::memory_order_acq_rel,
                                          std::memory_order_acquire)) {
    }
    return fresh->config;
  }

 private:
  struct Node {
    SimulatorConfig config;
    Node* previous;
  };
  std::atomic<Node*> latest_{nullptr};
};

constinit Settings settings;
const kavr::sim::MachineClock kMachineClock;

// Fixed-size, so that nothing is left for the thread's exit to destroy,
// and filled without allocating, so that recording a failure cannot fail.
struct OwnError {
  void Set(std::initializer_list<std::string_view> parts) noexcept {
    length = 0;
    for (const std::string_view part : parts) {
      if (part.empty()) continue;
      const std::size_t room = std::min(part.size(), sizeof textBytes - length);
      std::memcpy(textBytes + length, part.data(), room);
      length += room;
    }
  }
  std::string Text() const { return std::string(textBytes, length); }

  char textBytes[1024] = {};
  std::size_t length = 0;
};
thread_local OwnError ownError;

KAVR_ResultCode FailHere(Entry entry, KAVR_ResultCode code, std::string_view reason,
                         std::string_view detail = {}) noexcept {
  ownError.Set({kavr::sim::EntryName(entry), ": ", reason, detail});
  return code;
}

// No exception may cross into the caller, which is not C++.
template <typename Call>
KAVR_ResultCode Run(Entry entry, const SimulatorConfig& config, bool atInit, Call call) {
  try {
    KAVR_ResultCode code = kavr::sim::kSuccess;
    if (auto problem = kavr::sim::CallOnSharedState(config, kMachineClock, kavr::sim::WarnOnStandardError,
                                                    atInit, call, code)) {
      return FailHere(entry, kavr::sim::kStateUnavailable, *problem);
    }
    // The controllers' last error is now the newer failure.
    if (code != kavr::sim::kSuccess) ownError.length = 0;
    return code;
  } catch (const std::exception& error) {
    return FailHere(entry, kavr::sim::kInternalError, "internal error: ", error.what());
  } catch (...) {
    return FailHere(entry, kavr::sim::kInternalError, "internal error");
  }
}

template <typename Call>
KAVR_ResultCode Forward(Entry entry, Call call) {
  const SimulatorConfig* config = settings.Latest();
  if (config == nullptr) {
    return FailHere(entry, kavr::sim::kNotInitialised,
                    "no controllers are known yet; call _KAVRVB_Init first");
  }
  return Run(entry, *config, false, call);
}

// A call answered from a transcript being played back.
KAVR_ResultCode Answered(Entry entry, const kavr::sim::ReplayAnswer& answer) {
  if (!answer.failure.empty()) return FailHere(entry, answer.code, answer.failure);
  ownError.length = 0;
  return answer.code;
}

}  // namespace

extern "C" {

KAVR_ResultCode KAVR_CALL _KAVRVB_Init(int32_t* count, char* versions, int32_t versionsCapacity,
                                       char* serials, int32_t serialsCapacity) {
  try {
    if (auto answer = kavr::sim::ReplayedInit(count, versions, versionsCapacity, serials, serialsCapacity)) {
      return Answered(Entry::Init, *answer);
    }
  } catch (const std::exception& error) {
    return FailHere(Entry::Init, kavr::sim::kInternalError, "internal error: ", error.what());
  }
  const SimulatorConfig* config = nullptr;
  try {
    config =
        &settings.Use(kavr::sim::ReadConfig(kavr::sim::ProcessEnvironment(), kavr::sim::WarnOnStandardError));
  } catch (const std::exception& error) {
    return FailHere(Entry::Init, kavr::sim::kInternalError, "internal error: ", error.what());
  } catch (...) {
    return FailHere(Entry::Init, kavr::sim::kInternalError, "internal error");
  }
  ownError.length = 0;
  return Run(Entry::Init, *config, true, [&](Simulator& simulator) {
    return simulator.Init(count, versions, versionsCapacity, serials, serialsCapacity);
  });
}

// Every entry but Init and GetLastErr answers from the transcript being
// played back (KAVR_SIM_REPLAY) where there is one, and otherwise hands its
// arguments as they came to the Simulator method of the same name; the
// declarations in entries.h make a definition of another signature fail to
// compile.
#define KAVR_ARGUMENT_LIST(...) __VA_ARGS__
#define KAVR_STAND_IN(...) KAVR_ENTRY_BY_SHAPE(KAVR_STAND_IN, __VA_ARGS__)
#define KAVR_STAND_IN_ENTRY(name, record, result, parameters, arguments)                         \
  result KAVR_CALL _KAVRVB_##name parameters {                                                   \
    if (auto answer = kavr::sim::Replayed(Entry::name, KAVR_ARGUMENT_LIST arguments)) {          \
      return Answered(Entry::name, *answer);                                                     \
    }                                                                                            \
    return Forward(Entry::name, [&](Simulator& simulator) { return simulator.name arguments; }); \
  }
#define KAVR_STAND_IN_ControllerOnly KAVR_STAND_IN_ENTRY
#define KAVR_STAND_IN_RecordGet KAVR_STAND_IN_ENTRY
#define KAVR_STAND_IN_RecordSet KAVR_STAND_IN_ENTRY
#define KAVR_STAND_IN_Start KAVR_STAND_IN_ENTRY
#define KAVR_STAND_IN_Init(...)
#define KAVR_STAND_IN_GetLastErr(...)
KAVR_FOR_EACH_ENTRY(KAVR_STAND_IN)
#undef KAVR_STAND_IN

void KAVR_CALL _KAVRVB_GetLastErr(char* buffer, int32_t capacity) {
  try {
    if (ownError.length == 0 && kavr::sim::ReplayedLastError(buffer, capacity)) return;
  } catch (...) {
    // Answered as the simulation would.
  }
  const SimulatorConfig* config = settings.Latest();
  if (ownError.length == 0 && config != nullptr) {
    Run(Entry::GetLastErr, *config, false, [&](Simulator& simulator) {
      simulator.GetLastErr(buffer, capacity);
      return kavr::sim::kSuccess;
    });
    // Reaching the controllers failed: the reason is now this thread's.
    if (ownError.length == 0) return;
  }
  try {
    kavr::sim::CopyText(ownError.Text(), buffer, capacity);
  } catch (...) {
    // Nothing to report the failure to; the buffer keeps what it held.
  }
}

}  // extern "C"
