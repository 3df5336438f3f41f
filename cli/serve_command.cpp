// kavrctl serve: one JSON-RPC session over standard input and output. The
// library is opened once; each request names its controller. Requests are
// answered in order, and no request line, however wrong, ends the session.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/device_list.h"
#include "app/record_json.h"
#include "app/typed_numbers.h"
#include "app/version.h"
#include "app/write_check.h"
#include "commands.h"
#include "output.h"
#include "plan_run.h"
#include "plan_runner.h"
#include "reports/number_format.h"
#include "reports/reports.h"
#include "serve_protocol.h"
#include "serve_signals.h"

namespace kavr::cli {
namespace {

// How often a wait reads the states, as plans do.
constexpr std::chrono::milliseconds kWaitInterval{50};
constexpr double kLongestWaitSeconds = 1e9;
constexpr int kRpcInterrupted = kInterrupted;

// Ctrl+C, SIGTERM or SIGHUP while a request ran: the session ends.
struct Interrupted {};

std::string FloatText(float value) {
  if (!std::isfinite(value)) return Json(RenderNumber(value, "0", ".")).dump();
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// A value as FieldValueText wrote it, as JSON: a number or a flag, else
// the text ("NaN").
Json ValueJson(const std::string& text) {
  Json value = Json::parse(text, nullptr, false);
  return value.is_discarded() ? Json(text) : value;
}

[[noreturn]] void Refuse(std::string message, std::string_view field) {
  throw RpcError{kRpcRefused, std::move(message), Json{{"field", field}}};
}

// A refused settings object names its field first ("SyncOutPulse: ...",
// "\"Bogus\" is not a field").
[[noreturn]] void RefuseFields(const std::string& problem, const Json& fields) {
  for (const auto& [name, value] : fields.items()) {
    if (problem.starts_with(name + ":") || problem.starts_with(name + " ") || problem.starts_with('"' + name + '"'))
      Refuse(problem, name);
  }
  throw RpcError{kRpcRefused, problem};
}

template <typename Record>
struct RecordCalls {
  Entry getEntry;
  RecordCall<Record> get;
  Entry setEntry;
  RecordCall<Record> set;
};

const RecordCalls<KAVR_Mode> kModeCalls{Entry::GetMode, &ControllerLibrary::GetMode, Entry::SetMode,
                                        &ControllerLibrary::SetMode};
const RecordCalls<KAVR_Parameters> kParametersCalls{Entry::GetParameters, &ControllerLibrary::GetParameters,
                                                    Entry::SetParameters, &ControllerLibrary::SetParameters};

std::string_view TypeName(FieldKind kind) {
  switch (kind) {
    case FieldKind::kFlag: return "bool";
    case FieldKind::kInt32: return "int32";
    case FieldKind::kInt16: return "int16";
    case FieldKind::kUInt8: return "uint8";
    case FieldKind::kFloat: return "float";
    case FieldKind::kNotRead: break;
  }
  return "";
}

template <typename Integer>
void Range(Json& field) {
  field["min"] = std::numeric_limits<Integer>::min();
  field["max"] = std::numeric_limits<Integer>::max();
}

// The record's fields with their types and ranges, and whether the set
// methods take them.
Json Described(std::span<const RecordField> fields, std::span<const RecordField> writable) {
  Json described = Json::array();
  for (const RecordField& field : fields) {
    if (field.kind == FieldKind::kNotRead) continue;
    Json row{{"name", field.name}, {"type", TypeName(field.kind)}};
    row["writable"] = std::ranges::any_of(writable, [&](const RecordField& w) { return w.name == field.name; });
    switch (field.kind) {
      case FieldKind::kInt32: Range<std::int32_t>(row); break;
      case FieldKind::kInt16: Range<std::int16_t>(row); break;
      case FieldKind::kUInt8: Range<std::uint8_t>(row); break;
      case FieldKind::kFloat:
        row["min"] = -std::numeric_limits<float>::max();
        row["max"] = std::numeric_limits<float>::max();
        break;
      default: break;
    }
    described.push_back(std::move(row));
  }
  return described;
}

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
  std::string State(const Json& params) { return ReadMethod(params, Entry::GetState, &ControllerLibrary::GetState); }
  std::string Mode(const Json& params) { return ReadMethod(params, Entry::GetMode, &ControllerLibrary::GetMode); }
  std::string Parameters(const Json& params) {
    return ReadMethod(params, Entry::GetParameters, &ControllerLibrary::GetParameters);
  }
  std::string StartParameters(const Json& params) {
    return ReadMethod(params, Entry::GetStartParameters, &ControllerLibrary::GetStartParameters);
  }
  std::string SetMode(const Json& params) { return WriteMethod(params, kModeCalls); }
  std::string SetParameters(const Json& params) { return WriteMethod(params, kParametersCalls); }
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

const DeviceList& Server::Devices() {
  if (!list_) list_ = session_.Devices();
  return *list_;
}

std::int32_t Server::Choose(std::optional<std::int64_t> number, const std::optional<std::string>& serial) {
  const std::int32_t device = session_.Choose(Devices(), number, serial).DeviceIndex;
  serial_ = SerialOfDevice(device);
  return device;
}

std::int32_t Server::Choose(const Json& params) {
  const auto number = IntegerParam(params, "device");
  const auto serial = StringParam(params, "serial");
  if (number && serial) throw RpcError{kInvalidParams, "params: device excludes serial; give one"};
  return Choose(number, serial);
}

std::string Server::Version(const Json&) { return Json{{"kavrctl", kVersion}, {"protocol", 1}}.dump(); }

std::string Server::List(const Json&) {
  list_.reset();
  const DeviceList& list = Devices();
  Json controllers = Json::array();
  for (std::int32_t device = 0; device < std::min(list.count, kMaxListedDevices); ++device) {
    controllers.push_back({{"number", device + 1},
                           {"serial", ForScreen(SerialOf(list.serials, device))},
                           {"version", ForScreen(VersionOf(list.versions, device))}});
  }
  return controllers.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Server::Describe(const Json&) {
  return Json{{"state", Described(RecordFields<KAVR_State>(), {})},
              {"mode", Described(RecordFields<KAVR_Mode>(), RecordFields<KAVR_Mode>())},
              {"parameters", Described(RecordFields<KAVR_Parameters>(), RecordFields<KAVR_Parameters>())},
              {"start_parameters", Described(RecordFields<KAVR_StartParameters>(), StartFields())}}
      .dump();
}

template <typename Record>
std::string Server::WriteMethod(const Json& params, const RecordCalls<Record>& calls) {
  const Json* fields = ObjectParam(params, "fields");
  if (fields == nullptr) throw RpcError{kInvalidParams, "params.fields is missing"};
  const bool verify = BoolParam(params, "verify").value_or(false);
  std::string problem;
  const auto writes = FieldWritesFromJson<Record>(fields->dump(), problem);
  if (!writes) RefuseFields(problem, *fields);
  for (const std::string& note : writes->notes) PrintFailure(console_.err, note);
  const std::int32_t device = Choose(params);
  Record record = ReadRecord(session_, device, calls.getEntry, calls.get);
  ApplyFieldValues(WritableBytesOf(record), writes->values);
  session_.Check(calls.setEntry, (session_.Library().*calls.set)(device, record));
  if (verify) {
    const Record readBack = ReadRecord(session_, device, calls.getEntry, calls.get);
    const auto differences = FieldDifferences(BytesOf(readBack), writes->values);
    if (!differences.empty()) {
      RpcError error{kRpcVerifyFailed, "read back, the controller did not keep what was written:"};
      error.data = {{"differences", Json::array()}, {"serial", serial_}};
      for (const FieldDifference& difference : differences) {
        error.message += "\n" + std::string(difference.field->name) + ": sent " + difference.sent +
                         ", the controller keeps " + difference.kept;
        error.data["differences"].push_back({{"field", difference.field->name},
                                             {"sent", ValueJson(difference.sent)},
                                             {"read_back", ValueJson(difference.kept)}});
      }
      throw error;
    }
  }
  return RecordJson(record, -1);
}

std::string Server::Start(const Json& params) {
  std::string problem;
  const auto number = [&](const char* name) {
    const Json* value = params.contains(name) ? &params[name] : nullptr;
    if (value == nullptr || value->is_null()) throw RpcError{kInvalidParams, std::string("params.") + name + " is missing"};
    if (!value->is_number()) throw RpcError{kInvalidParams, std::string("params.") + name + ": " + value->dump() + " is not a number"};
    return value->dump();
  };
  const std::string destinationText = number("destination");
  const auto destination = ReadDestination(destinationText, ".", problem);
  if (!destination) Refuse("destination: " + destinationText + " " + problem, "destination");
  const std::string speedText = number("speed");
  const auto speed = ReadSpeed(speedText, ".", problem);
  if (!speed) Refuse("speed: " + speedText + " " + problem, "speed");
  if (!(*speed > 0.0f)) Refuse("speed: " + speedText + " is not above 0", "speed");
  const std::int64_t divisor = IntegerParam(params, "divisor").value_or(1);
  if (divisor != 1 && divisor != 2 && divisor != 4 && divisor != 8)
    Refuse("divisor: " + std::to_string(divisor) + " is not 1, 2, 4 or 8", "divisor");
  FieldWrites named;
  if (const Json* fields = ObjectParam(params, "fields")) {
    auto writes = FieldWritesFromJson(fields->dump(), StartFields(), RecordName<KAVR_StartParameters>(), problem);
    if (!writes) RefuseFields(problem, *fields);
    named = std::move(*writes);
  }
  const std::int32_t device = Choose(params);
  auto start = ReadRecord(session_, device, Entry::GetStartParameters, &ControllerLibrary::GetStartParameters);
  start.StepDivisor = static_cast<std::uint8_t>(divisor);
  ApplyFieldValues(WritableBytesOf(start), named.values);
  // Counted before the call: a start that reports a failure may still move.
  Started(device);
  float speedLeft = *speed;
  session_.Check(Entry::Start, session_.Library().Start(device, *destination, speedLeft, start));
  return "{\"destination\":" + std::to_string(*destination) + ",\"speed\":" + FloatText(speedLeft) +
         ",\"start_parameters\":" + RecordJson(start, -1) + "}";
}

std::string Server::Wait(const Json& params) {
  std::vector<std::int32_t> devices;
  if (params.contains("controllers")) {
    if (params.contains("device") || params.contains("serial"))
      throw RpcError{kInvalidParams, "params: controllers excludes device and serial"};
    const Json& listed = params["controllers"];
    if (!listed.is_array() || listed.empty())
      throw RpcError{kInvalidParams, "params.controllers: not a list of controller numbers and serials"};
    for (const Json& item : listed) {
      if (item.is_number_integer()) devices.push_back(Choose(item.get<std::int64_t>(), std::nullopt));
      else if (item.is_string()) devices.push_back(Choose(std::nullopt, item.get<std::string>()));
      else throw RpcError{kInvalidParams, "params.controllers: " + item.dump(-1, ' ', false, Json::error_handler_t::replace) + " is no controller number or serial"};
    }
  } else {
    devices.push_back(Choose(params));
  }
  std::optional<std::chrono::milliseconds> limit;
  if (const auto seconds = NumberParam(params, "timeout")) {
    if (!(*seconds >= 0.0 && *seconds <= kLongestWaitSeconds))
      Refuse("timeout: " + Json(*seconds).dump() + " is not a number of seconds from 0 up", "timeout");
    limit = std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(*seconds * 1000.0)));
  }
  std::vector<KAVR_State> states(devices.size());
  std::vector<bool> running(devices.size(), true);
  const auto begun = console_.pacing.now();
  for (bool lastRound = false;;) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
      if (!running[i]) continue;
      serial_ = SerialOfDevice(devices[i]);
      session_.Check(Entry::GetState, session_.Library().GetState(devices[i], states[i]));
      running[i] = IsSet(states[i].Running);
    }
    if (std::ranges::none_of(running, [](bool r) { return r; })) break;
    if (console_.interrupted()) throw Interrupted{};
    if (lastRound) {
      RpcError error{kRpcTimedOut, "still running after the timeout:"};
      error.data = Json{{"running", Json::array()}};
      for (std::size_t i = 0; i < devices.size(); ++i) {
        if (!running[i]) continue;
        const std::string serial = SerialOfDevice(devices[i]);
        error.message += " " + serial + " at " + std::to_string(states[i].CurrentPosition) + ";";
        error.data["running"].push_back({{"serial", serial}, {"position", states[i].CurrentPosition}});
      }
      error.message.pop_back();
      throw error;
    }
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(console_.pacing.now() - begun);
    if (limit && spent >= *limit) {
      lastRound = true;
      continue;
    }
    console_.pacing.sleep(limit ? std::clamp(*limit - spent, std::chrono::milliseconds{0}, kWaitInterval)
                                : kWaitInterval);
  }
  std::string result = "[";
  for (const KAVR_State& state : states) result += (result.size() > 1 ? "," : "") + RecordJson(state, -1);
  return result + "]";
}

std::string Server::Stop(const Json& params) {
  const std::int32_t device = Choose(params);
  session_.Check(Entry::Stop, session_.Library().Stop(device));
  std::erase(started_, device);
  return "true";
}

std::string Server::Save(const Json& params) {
  const std::int32_t device = Choose(params);
  session_.Check(Entry::SaveParametersToFlash, session_.Library().SaveParametersToFlash(device));
  return "true";
}

std::string Server::LastError(const Json&) {
  // As the command does: a library may give its last error only to a
  // caller that has called Init.
  if (!list_) {
    DeviceList list;
    session_.Library().Init(list.count, list.versions, list.serials);
  }
  const std::string text = LastErrorText(session_.Library());
  if (session_.LibraryUnavailable(0)) throw RpcError{kRpcLibraryNotLoaded, text};
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string Server::RunPlanMethod(const Json& params) {
  if (!params.contains("plan")) throw RpcError{kInvalidParams, "params.plan is missing"};
  const Json& planParam = params["plan"];
  Plan plan;
  std::string planFile = "plan";
  if (planParam.is_string()) {
    planFile = planParam.get<std::string>();
    plan = ReadPlanFile(planFile);
  } else if (planParam.is_object()) {
    plan = ReadPlanText(planParam.dump(), std::filesystem::current_path(), planFile);
  } else {
    throw RpcError{kInvalidParams, "params.plan: not a plan file's name nor a plan object"};
  }
  const auto report = StringParam(params, "report");
  const auto junit = StringParam(params, "junit");
  PlanRun run;
  run.planFile = planFile;
  run.plan = &plan;
  const DeviceList& list = Devices();
  std::vector<std::int32_t> devices;
  const Json controllers = params.value("controllers", Json());
  if (controllers == "all") {
    for (std::int32_t device = 0; device < std::min(list.count, kMaxListedDevices); ++device) devices.push_back(device);
  } else if (controllers.is_array()) {
    for (const Json& item : controllers) {
      std::int32_t device = 0;
      if (item.is_number_integer()) device = Choose(item.get<std::int64_t>(), std::nullopt);
      else if (item.is_string()) device = Choose(std::nullopt, item.get<std::string>());
      else throw RpcError{kInvalidParams, "params.controllers: " + item.dump(-1, ' ', false, Json::error_handler_t::replace) + " is no controller number or serial"};
      if (std::ranges::find(devices, device) == devices.end()) devices.push_back(device);
    }
  } else if (controllers.is_null()) {
    devices.push_back(Choose(std::nullopt, std::nullopt));
  } else {
    throw RpcError{kInvalidParams, "params.controllers: not \"all\" nor a list of controller numbers and serials"};
  }
  serial_.clear();
  for (const std::int32_t device : devices) {
    ControllerRun& controller = run.controllers.emplace_back();
    controller.device = device;
    controller.serial = SerialOfDevice(device);
  }
  // The runner's lines go nowhere: standard output carries responses only.
  std::ostringstream lines;
  Console quiet{.in = console_.in,
                .out = lines,
                .err = console_.err,
                .decimalSeparator = ".",
                .pacing = console_.pacing,
                .clockText = console_.clockText,
                .armInterrupt = [] {},
                .interrupted = console_.interrupted};
  RunPlan(run, session_, quiet);
  for (const ControllerRun& controller : run.controllers) {
    if (controller.started && !controller.failed) Started(controller.device);
  }
  if (run.interrupted) throw Interrupted{};
  const std::string reportJson = Json::parse(PlanReportJson(run)).dump(-1, ' ', false, Json::error_handler_t::replace);
  bool written = true;
  if (report) written = WriteOutputFile(*report, PlanReportJson(run), console_) && written;
  if (junit) written = WriteOutputFile(*junit, PlanJunitXml(run), console_) && written;
  if (!written) {
    throw RpcError{kRpcOutputFailed, "the plan ran, but a report file could not be written",
                   Json{{"report", Json::parse(reportJson)}}};
  }
  return reportJson;
}

std::string Server::Close(const Json&) {
  closed_ = true;
  return "true";
}

RpcError Server::FromFailure(const Failure& failure) const {
  // The failures' codes are the exit codes, which the error codes repeat.
  RpcError error{failure.code == kBadUsage ? kRpcRefused : failure.code, failure.message};
  if (const auto& call = session_.LastFailedCall()) {
    error.data = {{"entry", ShortEntryName(call->entry)}, {"result", call->result}, {"text", call->lastError}};
  }
  if (!serial_.empty()) {
    if (error.data.is_null()) error.data = Json::object();
    error.data["serial"] = serial_;
  }
  return error;
}

std::string Server::Dispatch(const RpcRequest& request) {
  for (const MethodRow& row : kMethods) {
    if (request.method != row.name) continue;
    CheckParamNames(request.params, row.params);
    return (this->*row.run)(request.params);
  }
  std::string names;
  for (const MethodRow& row : kMethods) names += (names.empty() ? "" : ", ") + std::string(row.name);
  throw RpcError{kMethodNotFound,
                 "no method " + Json(request.method).dump(-1, ' ', false, Json::error_handler_t::replace) +
                     "; the methods: " + names};
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
    PrintFailure(console_.err, std::string(why) + "; controller " + std::to_string(device + 1) +
                                   (result == 0 ? " stopped" : " could not be stopped: " +
                                                                   session_.FailureText(Entry::Stop, result)));
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
    StopStarted(interrupted ? "interrupted" : outputLost ? "standard output lost" : "input ended without close");
  }
  if (interrupted) return kInterrupted;
  return outputLost ? kOutputFailed : kSuccess;
}

}  // namespace

int ServeCommand(const Request& request, Session& session, Console& console) {
  return Server(request, session, console).Run();
}

}  // namespace kavr::cli
