// kavrctl serve: one JSON-RPC session over standard input and output. The
// library is opened once; each request names its controller. Requests are
// answered in order, and no request line, however wrong, ends the session.
#include <sstream>

#include "output.h"
#include "serve_protocol.h"
#include "serve_server.h"
#include "serve_signals.h"

namespace kavr::cli {
namespace {

constexpr int kRpcInterrupted = kInterrupted;

constexpr MethodRow kMethods[] = {
    {"version", &Server::Version, ""},
    {"list", &Server::List, ""},
    {"describe", &Server::Describe, ""},
    {"state", &Server::State, "device serial"},
    {"mode", &Server::Mode, "device serial"},
    {"parameters", &Server::Parameters, "device serial"},
    {"start_parameters", &Server::StartParameters, "device serial"},
    {"set_mode", &Server::SetMode, "device serial fields verify"},
    {"set_parameters", &Server::SetParameters, "device serial fields verify"},
    {"start", &Server::Start, "device serial destination speed divisor fields"},
    {"wait", &Server::Wait, "device serial controllers timeout"},
    {"stop", &Server::Stop, "device serial"},
    {"save", &Server::Save, "device serial"},
    {"last_error", &Server::LastError, ""},
    {"run", &Server::RunPlanMethod, "plan controllers report junit"},
    {"close", &Server::Close, ""},
};

// Refuses a parameter the method does not take: a misspelt name must not
// be quietly left out.
void CheckParamNames(const Json& params, std::string_view taken) {
  for (const auto& [name, value] : params.items()) {
    std::istringstream names{std::string(taken)};
    std::string known;
    bool found = false;
    while (names >> known) found = found || known == name;
    if (!found) {
      throw RpcError{kInvalidParams, "params." + name + " is not taken" +
                                         (taken.empty() ? std::string(" (no parameters)")
                                                        : " (only " + std::string(taken) + ")")};
    }
  }
}

}  // namespace

RpcError Server::FromFailure(const Failure& failure) const {
  // The failures' codes are the exit codes, which the error codes repeat.
  RpcError error{failure.code == kBadUsage ? kRpcRefused : failure.code, failure.message};
  if (const auto& call = session_.LastFailedCall()) {
    error.data = {
        {"entry", ShortEntryName(call->entry)}, {"result", call->result}, {"text", call->lastError}};
  }
  if (!serial_.empty()) {
    if (error.data.is_null()) error.data = Json::object();
    error.data["serial"] = serial_;
  }
  return error;
}

std::string ServeMethodNames() {
  std::string names;
  for (const MethodRow& row : kMethods) names += (names.empty() ? "" : ", ") + std::string(row.name);
  return names;
}

std::string Server::Dispatch(const RpcRequest& request) {
  for (const MethodRow& row : kMethods) {
    if (request.method != row.name) continue;
    CheckParamNames(request.params, row.params);
    return (this->*row.run)(request.params);
  }
  throw RpcError{kMethodNotFound,
                 "no method " + Json(request.method).dump(-1, ' ', false, Json::error_handler_t::replace) +
                     "; the methods: " + ServeMethodNames()};
}

std::string Server::Handle(const std::string& line) {
  RpcError error;
  Json id;
  const std::optional<RpcRequest> request = ReadRpcRequest(line, error, id);
  if (!request) return ErrorLine(id, error);
  session_.ForgetFailedCall();
  serial_.clear();
  std::string result;
  bool failed = true;
  try {
    result = Dispatch(*request);
    session_.CheckTranscript();
    failed = false;
  } catch (const RpcError& thrown) {
    error = thrown;
  } catch (const Failure& failure) {
    error = FromFailure(failure);
  } catch (const Interrupted&) {
    interrupted_ = true;
    error = RpcError{kRpcInterrupted, "interrupted"};
  } catch (const std::exception& unexpected) {
    error = RpcError{-32603, std::string("internal error: ") + unexpected.what()};
  }
  if (request->notification) return {};
  return failed ? ErrorLine(request->id, error) : ResultLine(request->id, result);
}

bool Server::Send(const std::string& line) {
  console_.out << line << '\n';
  console_.out.flush();
  return static_cast<bool>(console_.out);
}

void Server::StopStarted(const char* why) {
  for (const std::int32_t device : started_) {
    const ResultCode result = session_.Library().Stop(device);
    PrintFailure(console_.err,
                 std::string(why) + "; controller " + std::to_string(device + 1) +
                     (result == 0 ? " stopped"
                                  : " could not be stopped: " + session_.FailureText(Entry::Stop, result)));
  }
  started_.clear();
}

int Server::Run() {
  console_.armInterrupt();
  LetSignalsEndReads();
  std::string line;
  bool outputLost = false;
  while (!closed_ && !interrupted_ && !console_.interrupted()) {
    const LineRead read = ReadRequestLine(console_.in, line);
    if (read == LineRead::kEnd || console_.interrupted()) break;
    const std::string response =
        read == LineRead::kTooLong
            ? ErrorLine(nullptr, RpcError{kInvalidRequest, "a line longer than 1 MiB was discarded"})
            : Handle(line);
    if (!response.empty() && !Send(response)) {
      outputLost = true;
      break;
    }
  }
  const bool interrupted = interrupted_ || console_.interrupted();
  if (!closed_ && !request_.leaveRunning) {
    StopStarted(interrupted  ? "interrupted"
                : outputLost ? "standard output lost"
                             : "input ended without close");
  }
  if (interrupted) return kInterrupted;
  return outputLost ? kOutputFailed : kSuccess;
}

int ServeCommand(const Request& request, Session& session, Console& console) {
  return Server(request, session, console).Run();
}

}  // namespace kavr::cli
