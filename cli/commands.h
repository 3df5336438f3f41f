// kavrctl's commands. Each checks everything typed before it touches the
// library, so that a refused value sends nothing; a failure ends the run
// by throwing a Failure.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/plan.h"
#include "app/plan_runner.h"
#include "contract/entry_names.h"
#include "device/controller_library.h"
#include "kavrctl.h"
#include "request.h"
#include "session.h"
#include "transcript/record_fields.h"

namespace kavr::cli {

int ListCommand(const Request&, Session&, Console&);
int StateCommand(const Request&, Session&, Console&);
int ModeCommand(const Request&, Session&, Console&);
int ParametersCommand(const Request&, Session&, Console&);
int StartParametersCommand(const Request&, Session&, Console&);
int LastErrorCommand(const Request&, Session&, Console&);

int SetModeCommand(const Request&, Session&, Console&);
int SetParametersCommand(const Request&, Session&, Console&);
int StopCommand(const Request&, Session&, Console&);
int SaveCommand(const Request&, Session&, Console&);

int RunCommand(const Request&, Session&, Console&);
int ResultsCommand(const Request&, Session&, Console&);
// On the stand-in beside kavrctl only; the session's library is never opened.
int ProveCommand(const Request&, Session&, Console&);
// Reads a transcript and writes a plan; no library is opened.
int PlanFromCommand(const Request&, Session&, Console&);
// One JSON-RPC session over standard input and output.
int ServeCommand(const Request&, Session&, Console&);
// The methods serve answers, in its help line's order: "version, list, ...".
std::string ServeMethodNames();

// The plan run over the session's library, its lines on the console's
// standard output and ended by its signals (RunPlan). Throws the Failure of
// a library that went away during the run.
void RunPlanInSession(PlanRun& run, Session& session, Console& console);

// The record read back, one line per value that did not stick.
std::vector<std::string> WrittenFieldDifferences(Session& session, std::int32_t device, PlanRecord record,
                                                 std::span<const FieldValue> values);
// Throws a Failure (kCallFailed) naming each value that did not stick.
void VerifyFields(Session& session, std::int32_t device, PlanRecord record,
                  std::span<const FieldValue> values);

// Sets the step divisor and `startValues` in the start parameters read and
// starts the move. Returns the start report with the speed the library left
// (also in `speedLeft`, when given).
std::string StartMove(Session& session, std::int32_t device, std::int32_t destination, float speed,
                      std::uint8_t divisor, std::span<const FieldValue> startValues,
                      std::string_view decimalSeparator, float* speedLeft = nullptr,
                      KAVR_StartParameters* sent = nullptr);

int StartCommand(const Request&, Session&, Console&);
// The start parameters a FIELD=VALUE of start may name: all but the step
// divisor, which has its own option.
std::span<const RecordField> StartFields();
int WatchCommand(const Request&, Session&, Console&);
int ReplayCommand(const Request&, Session&, Console&);

// A get entry of the library, e.g. &ControllerLibrary::GetMode.
template <typename Record>
using RecordCall = ResultCode (ControllerLibrary::*)(std::int32_t, Record&);

// The record as `call` filled it, from zero. Throws when the call fails.
template <typename Record>
Record ReadRecord(Session& session, std::int32_t device, Entry entry, RecordCall<Record> call) {
  Record record{};
  session.Check(entry, (session.Library().*call)(device, record));
  return record;
}

}  // namespace kavr::cli
