// kavrctl serve's session: the methods a request may call, over one
// library opened once, and what the session started. The loop that reads
// requests and writes responses is in serve_command.cpp, the methods in
// serve_methods.cpp.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/device_list.h"
#include "app/record_json.h"
#include "commands.h"
#include "serve_protocol.h"

namespace kavr::cli {

// Ctrl+C, SIGTERM or SIGHUP while a request ran: the session ends.
struct Interrupted {};

template <typename Record>
struct RecordCalls {
  Entry getEntry;
  RecordCall<Record> get;
  Entry setEntry;
  RecordCall<Record> set;
};

class Server;
using Method = std::string (Server::*)(const Json& params);

struct MethodRow {
  const char* name;
  Method run;
  const char* params;  // the names it takes, space-separated
};

class Server {
 public:
  Server(const Request& request, Session& session, Console& console)
      : request_(request), session_(session), console_(console) {}

  int Run();

  std::string Version(const Json&);
  std::string List(const Json&);
  std::string Describe(const Json&);
  std::string State(const Json& params) {
    return ReadMethod(params, Entry::GetState, &ControllerLibrary::GetState);
  }
  std::string Mode(const Json& params) {
    return ReadMethod(params, Entry::GetMode, &ControllerLibrary::GetMode);
  }
  std::string Parameters(const Json& params) {
    return ReadMethod(params, Entry::GetParameters, &ControllerLibrary::GetParameters);
  }
  std::string StartParameters(const Json& params) {
    return ReadMethod(params, Entry::GetStartParameters, &ControllerLibrary::GetStartParameters);
  }
  std::string SetMode(const Json& params);
  std::string SetParameters(const Json& params);
  std::string Start(const Json&);
  std::string Wait(const Json&);
  std::string Stop(const Json&);
  std::string Save(const Json&);
  std::string LastError(const Json&);
  std::string RunPlanMethod(const Json&);
  std::string Close(const Json&);

 private:
  std::string Handle(const std::string& line);
  std::string Dispatch(const RpcRequest& request);
  RpcError FromFailure(const Failure& failure) const;
  bool Send(const std::string& line);
  void StopStarted(const char* why);

  const DeviceList& Devices();
  std::int32_t Choose(const Json& params);
  std::int32_t Choose(std::optional<std::int64_t> number, const std::optional<std::string>& serial);
  std::string SerialOfDevice(std::int32_t device) { return ForScreen(SerialOf(Devices().serials, device)); }
  void Started(std::int32_t device) {
    if (std::ranges::find(started_, device) == started_.end()) started_.push_back(device);
  }

  template <typename Record>
  std::string ReadMethod(const Json& params, Entry entry, RecordCall<Record> call) {
    return RecordJson(ReadRecord(session_, Choose(params), entry, call), -1);
  }
  template <typename Record>
  std::string WriteMethod(const Json& params, const RecordCalls<Record>& calls);

  const Request& request_;
  Session& session_;
  Console& console_;
  std::optional<DeviceList> list_;
  std::vector<std::int32_t> started_;  // sent a start this session, not since stopped
  std::string serial_;                 // of the controller the current request chose
  bool closed_ = false;
  bool interrupted_ = false;
};

}  // namespace kavr::cli
