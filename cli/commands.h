// kavrctl's commands. Each checks everything typed before it touches the
// library, so that a refused value sends nothing; a failure ends the run
// by throwing a Failure.
#pragma once

#include <cstdint>
#include <span>

#include "app/record_fields.h"
#include "kavr/controller_library.h"
#include "kavr/entry_names.h"
#include "kavrctl.h"
#include "request.h"
#include "session.h"

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
