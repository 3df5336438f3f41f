// The methods of kavrctl serve: each takes a request's parameters and
// returns its result as JSON text, or throws the error to answer.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/device_list.h"
#include "app/plan_run.h"
#include "app/record_json.h"
#include "app/typed_numbers.h"
#include "app/version.h"
#include "app/write_check.h"
#include "command_files.h"
#include "output.h"
#include "reports/number_format.h"
#include "reports/reports.h"
#include "serve_server.h"

namespace kavr::cli {
namespace {

// How often a wait reads the states, as plans do.
constexpr std::chrono::milliseconds kWaitInterval{50};
constexpr double kLongestWaitSeconds = 1e9;

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
    if (problem.starts_with(name + ":") || problem.starts_with(name + " ") ||
        problem.starts_with('"' + name + '"'))
      Refuse(problem, name);
  }
  throw RpcError{kRpcRefused, problem};
}

const RecordCalls<KAVR_Mode> kModeCalls{Entry::GetMode, &ControllerLibrary::GetMode, Entry::SetMode,
                                        &ControllerLibrary::SetMode};
const RecordCalls<KAVR_Parameters> kParametersCalls{Entry::GetParameters, &ControllerLibrary::GetParameters,
                                                    Entry::SetParameters, &ControllerLibrary::SetParameters};

std::string_view TypeName(FieldKind kind) {
  switch (kind) {
    case FieldKind::kFlag:
      return "bool";
    case FieldKind::kInt32:
      return "int32";
    case FieldKind::kInt16:
      return "int16";
    case FieldKind::kUInt8:
      return "uint8";
    case FieldKind::kFloat:
      return "float";
    case FieldKind::kNotRead:
      break;
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
    row["writable"] =
        std::ranges::any_of(writable, [&](const RecordField& w) { return w.name == field.name; });
    switch (field.kind) {
      case FieldKind::kInt32:
        Range<std::int32_t>(row);
        break;
      case FieldKind::kInt16:
        Range<std::int16_t>(row);
        break;
      case FieldKind::kUInt8:
        Range<std::uint8_t>(row);
        break;
      case FieldKind::kFloat:
        row["min"] = -std::numeric_limits<float>::max();
        row["max"] = std::numeric_limits<float>::max();
        break;
      default:
        break;
    }
    described.push_back(std::move(row));
  }
  return described;
}

}  // namespace

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
        // Appended piece by piece: GCC 12 misjudges a prepended "\n" at -O3.
        error.message += '\n';
        error.message += difference.field->name;
        error.message += ": sent " + difference.sent + ", the controller keeps " + difference.kept;
        error.data["differences"].push_back({{"field", difference.field->name},
                                             {"sent", ValueJson(difference.sent)},
                                             {"read_back", ValueJson(difference.kept)}});
      }
      throw error;
    }
  }
  return RecordJson(record, -1);
}

std::string Server::SetMode(const Json& params) { return WriteMethod(params, kModeCalls); }

std::string Server::SetParameters(const Json& params) { return WriteMethod(params, kParametersCalls); }

std::string Server::Start(const Json& params) {
  std::string problem;
  const auto number = [&](const char* name) {
    const Json* value = params.contains(name) ? &params[name] : nullptr;
    if (value == nullptr || value->is_null())
      throw RpcError{kInvalidParams, std::string("params.") + name + " is missing"};
    if (!value->is_number())
      throw RpcError{kInvalidParams,
                     std::string("params.") + name + ": " + value->dump() + " is not a number"};
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
    auto writes =
        FieldWritesFromJson(fields->dump(), StartFields(), RecordName<KAVR_StartParameters>(), problem);
    if (!writes) RefuseFields(problem, *fields);
    named = std::move(*writes);
  }
  const std::int32_t device = Choose(params);
  auto start =
      ReadRecord(session_, device, Entry::GetStartParameters, &ControllerLibrary::GetStartParameters);
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
      if (item.is_number_integer())
        devices.push_back(Choose(item.get<std::int64_t>(), std::nullopt));
      else if (item.is_string())
        devices.push_back(Choose(std::nullopt, item.get<std::string>()));
      else
        throw RpcError{kInvalidParams,
                       "params.controllers: " + item.dump(-1, ' ', false, Json::error_handler_t::replace) +
                           " is no controller number or serial"};
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
  for (const KAVR_State& state : states) {
    // Appended piece by piece: GCC 12 misjudges a prepended separator at -O3.
    if (result.size() > 1) result += ',';
    result += RecordJson(state, -1);
  }
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
    for (std::int32_t device = 0; device < std::min(list.count, kMaxListedDevices); ++device)
      devices.push_back(device);
  } else if (controllers.is_array()) {
    for (const Json& item : controllers) {
      std::int32_t device = 0;
      if (item.is_number_integer())
        device = Choose(item.get<std::int64_t>(), std::nullopt);
      else if (item.is_string())
        device = Choose(std::nullopt, item.get<std::string>());
      else
        throw RpcError{kInvalidParams,
                       "params.controllers: " + item.dump(-1, ' ', false, Json::error_handler_t::replace) +
                           " is no controller number or serial"};
      if (std::ranges::find(devices, device) == devices.end()) devices.push_back(device);
    }
  } else if (controllers.is_null()) {
    devices.push_back(Choose(std::nullopt, std::nullopt));
  } else {
    throw RpcError{kInvalidParams,
                   "params.controllers: not \"all\" nor a list of controller numbers and serials"};
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
                .interrupted = console_.interrupted,
                .interruptSignal = console_.interruptSignal};
  RunPlanInSession(run, session_, quiet);
  for (const ControllerRun& controller : run.controllers) {
    if (controller.started && !controller.failed) Started(controller.device);
  }
  if (run.interrupted) throw Interrupted{};
  const std::string reportJson =
      Json::parse(PlanReportJson(run)).dump(-1, ' ', false, Json::error_handler_t::replace);
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

}  // namespace kavr::cli
