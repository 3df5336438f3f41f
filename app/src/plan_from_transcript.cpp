#include "app/plan_from_transcript.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>

#include "app/problem.h"
#include "app/record_json.h"
#include "transcript/record_fields.h"

namespace kavr {
namespace {

using Json = nlohmann::ordered_json;
using std::chrono::duration;

// The switch inputs of the state a plan expects as they were recorded.
constexpr std::string_view kSwitchInputs[] = {"EmergencyPushed", "Trailer1Pushed", "Trailer2Pushed",
                                              "SyncInState", "RotaryError"};
// A wait allows the move's recorded time this much longer, and this many
// seconds more for the polls' own pace.
constexpr double kWaitMargin = 1.2;
constexpr double kWaitSlack = 0.5;

bool Writes(Entry entry) {
  return entry == Entry::SetMode || entry == Entry::SetParameters || entry == Entry::Start ||
         entry == Entry::Stop || entry == Entry::SaveParametersToFlash;
}

template <typename Record>
std::optional<Record> RecordOf(const std::vector<std::uint8_t>& bytes) {
  if (bytes.size() != sizeof(Record)) return std::nullopt;
  Record record;
  std::memcpy(static_cast<void*>(&record), bytes.data(), sizeof record);
  return record;
}

// Rounded outward to a tenth, so that the band holds what it says.
Json Band(double value, double band) {
  const double spread = std::fabs(value) * band;
  return Json{{"min", std::floor((value - spread) * 10.0) / 10.0},
              {"max", std::ceil((value + spread) * 10.0) / 10.0}};
}

double Seconds(const LibraryCall& from, const LibraryCall& to) {
  return std::max(0.0, duration<double>(to.started - from.started).count());
}

class PlanBuilder {
 public:
  PlanBuilder(double band) : band_(band) {}

  void Add(const LibraryCall& call) {
    switch (call.entry) {
      case Entry::GetMode:
        mode_ = call.returned;
        break;
      case Entry::GetParameters:
        parameters_ = call.returned;
        break;
      case Entry::SetMode:
        Write<KAVR_Mode>(call, "set-mode", mode_);
        break;
      case Entry::SetParameters:
        Write<KAVR_Parameters>(call, "set-parameters", parameters_);
        break;
      case Entry::Start:
        Start(call);
        break;
      case Entry::Stop:
        Push({{"step", "stop"}});
        if (move_) {
          move_->stopped = true;
          move_->since = call;
        }
        break;
      case Entry::SaveParametersToFlash:
        Push({{"step", "save"}});
        break;
      case Entry::GetState:
        State(call);
        break;
      default:
        break;  // Init, GetStartParameters, GetLastErr: reads
    }
  }

  Json Finish(const LibraryCall* last) {
    if (move_ && last != nullptr) {
      // The session never saw the move end: the wait allows twice what it did see.
      Push({{"step", "wait"}, {"seconds", WaitSeconds(2.0 * Seconds(move_->since, *last))}});
      move_.reset();
    }
    Flush();
    Push({{"step", "verify"}});
    return steps_;
  }

 private:
  struct Move {
    LibraryCall since;  // the start, or the stop sent during it
    bool stopped = false;
  };

  static double WaitSeconds(double took) {
    return std::ceil((took * kWaitMargin + kWaitSlack) * 10.0) / 10.0;
  }

  void Flush() {
    if (pending_) steps_.push_back(std::move(*pending_));
    pending_.reset();
  }

  void Push(Json step) {
    Flush();
    steps_.push_back(std::move(step));
    lastRead_.reset();
  }

  // The fields `call` sent that differ from the record as last known; all
  // of them when it was never read.
  template <typename Record>
  void Write(const LibraryCall& call, const char* step, std::optional<std::vector<std::uint8_t>>& known) {
    const auto sent = RecordOf<Record>(call.sent);
    if (!sent) return;
    const auto before = known ? RecordOf<Record>(*known) : std::nullopt;
    const Json all = Json::parse(RecordJson(*sent));
    const Json previous = before ? Json::parse(RecordJson(*before)) : Json::object();
    Json fields = Json::object();
    for (const auto& [name, value] : all.items()) {
      const auto was = previous.find(name);
      if (was == previous.end() || *was != value) fields[name] = value;
    }
    known = call.sent;
    if (!fields.empty()) Push({{"step", step}, {"fields", std::move(fields)}, {"verify", true}});
  }

  void Start(const LibraryCall& call) {
    const auto start = RecordOf<KAVR_StartParameters>(call.sent);
    const CallScalar* destination = ScalarNamed(call, "destination");
    const CallScalar* speed = ScalarNamed(call, "speed");
    if (!start || destination == nullptr || speed == nullptr) return;
    Json step = {{"step", "start"}};
    try {
      step["destination"] = Json::parse(destination->sent);
      step["speed"] = Json::parse(speed->sent);
    } catch (const Json::exception&) {
      return;
    }
    if (start->StepDivisor != 1) step["divisor"] = start->StepDivisor;
    Push(std::move(step));
    move_ = Move{call, false};
  }

  void State(const LibraryCall& call) {
    const auto state = RecordOf<KAVR_State>(call.returned);
    if (!state) return;
    if (IsSet(state->Running)) return;  // a poll during a move, or one the session did not start
    if (move_) {
      Push({{"step", "wait"}, {"seconds", WaitSeconds(Seconds(move_->since, call))}});
      if (!move_->stopped) pending_ = Json{{"step", "expect"}, {"position", state->CurrentPosition}};
      move_.reset();
    }
    Json inputs = Json::object();
    for (const std::string_view name : kSwitchInputs) {
      const RecordField* field = FindField(RecordFields<KAVR_State>(), name);
      inputs[std::string(name)] = ReadInteger(BytesOf(*state), *field) != 0;
    }
    Json read = {{"running", false}, {"inputs", std::move(inputs)}};
    read["voltage"] = Band(state->InputVoltage, band_);
    read["temperature"] = Band(state->Temperature, band_);
    if (!pending_ && lastRead_ && ((*lastRead_)["inputs"] == read["inputs"])) return;  // nothing new
    lastRead_ = read;
    Json expect = pending_ ? std::move(*pending_) : Json{{"step", "expect"}};
    pending_.reset();
    for (auto& [key, value] : read.items()) expect[key] = value;
    steps_.push_back(std::move(expect));
  }

  double band_;
  Json steps_ = Json::array();
  std::optional<std::vector<std::uint8_t>> mode_, parameters_;
  std::optional<Move> move_;
  std::optional<Json> pending_;   // the expect after a move, waiting for a state read
  std::optional<Json> lastRead_;  // the latest state read made an expect, with no step since
};

std::string PlanText(const std::string& name, const Json& steps) {
  std::string text = "{\n  \"name\": " + Json(name).dump(-1, ' ', false, Json::error_handler_t::replace) +
                     ",\n  \"steps\": [\n";
  for (std::size_t index = 0; index < steps.size(); ++index) {
    text += "    " + steps[index].dump() + (index + 1 < steps.size() ? ",\n" : "\n");
  }
  return text + "  ]\n}\n";
}

}  // namespace

std::optional<std::string> PlanFromTranscript(std::span<const RecordedCall> calls, const std::string& name,
                                              double band, std::string& problem) {
  const RecordedCall* first = nullptr;
  for (const RecordedCall& recorded : calls) {
    if (!recorded.call.device || recorded.call.entry == Entry::GetLastErr) continue;
    if (first == nullptr) first = &recorded;
    if (*recorded.call.device != *first->call.device && Writes(recorded.call.entry) &&
        !recorded.call.Failed()) {
      return Fail(problem, "line " + std::to_string(recorded.line) + ": " +
                               std::string(ShortEntryName(recorded.call.entry)) + " drives controller " +
                               std::to_string(*recorded.call.device + 1) + ", and line " +
                               std::to_string(first->line) + " controller " +
                               std::to_string(*first->call.device + 1) +
                               "; a plan does the same to every controller: record one at a time");
    }
  }
  if (first == nullptr) return Fail(problem, "the transcript holds no call to a controller");
  PlanBuilder builder(band);
  const LibraryCall* last = nullptr;
  for (const RecordedCall& recorded : calls) {
    if (recorded.call.device != first->call.device || recorded.call.Failed()) continue;
    builder.Add(recorded.call);
    last = &recorded.call;
  }
  return PlanText(name, builder.Finish(last));
}

}  // namespace kavr
