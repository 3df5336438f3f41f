// The files a plan's run leaves for scripts and dashboards.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

#include "app/plan_run.h"
#include "app/version.h"

namespace kavr {
namespace {

using Json = nlohmann::ordered_json;

constexpr StepVerdict kVerdicts[] = {StepVerdict::kPassed, StepVerdict::kFailed, StepVerdict::kSkipped,
                                     StepVerdict::kNotRun};
constexpr std::string_view kVerdictNames[] = {"passed", "failed", "skipped", "interrupted"};
static_assert(std::size(kVerdicts) == std::size(kVerdictNames));

std::string Seconds(std::chrono::milliseconds duration) {
  char text[32];
  const double seconds = static_cast<double>(duration.count()) / 1000.0;
  return std::string(text, std::to_chars(text, text + sizeof text, seconds, std::chars_format::fixed, 3).ptr);
}

// The code point of the UTF-8 sequence at `text[at]` and its length, or
// nothing for a byte that does not begin a well-formed one.
std::optional<std::pair<char32_t, std::size_t>> CodePoint(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return std::pair<char32_t, std::size_t>{lead, 1};
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || lead > 0xF4 || at + length > text.size()) return std::nullopt;
  char32_t code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return std::nullopt;
    code = (code << 6) | (byte(at + i) & 0x3F);
  }
  constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kShortest[length] || code > 0x10FFFF) return std::nullopt;
  return std::pair{code, length};
}

// What XML 1.0 lets a document hold (tab and line feed are escaped apart).
bool XmlCharacter(char32_t code) {
  return (code >= 0x20 && code != 0x7F && code < 0xD800) || (code >= 0xE000 && code <= 0xFFFD) ||
         code >= 0x10000;
}

// Text for an XML attribute or element: the five specials escaped, and
// what XML 1.0 cannot carry (control characters, U+FFFE, U+FFFF, bytes
// that are not UTF-8) replaced by U+FFFD.
std::string Xml(std::string_view text) {
  std::string escaped;
  for (std::size_t at = 0; at < text.size();) {
    const auto code = CodePoint(text, at);
    const std::size_t length = code ? code->second : 1;
    switch (code ? code->first : 0xFFFE) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&apos;";
        break;
      case '\n':
        escaped += "&#10;";
        break;
      case '\t':
        escaped += "&#9;";
        break;
      default:
        if (XmlCharacter(code ? code->first : 0xFFFE)) {
          escaped += text.substr(at, length);
        } else {
          escaped += "\xEF\xBF\xBD";  // U+FFFD
        }
    }
    at += length;
  }
  return escaped;
}

std::string StepName(const PlanRun& run, std::size_t index) {
  // Two digits at least, so that dashboards sort the steps in order. (Built
  // by appending: GCC 12 misjudges a prepend at -O3 for 32-bit Windows.)
  char number[24];
  std::snprintf(number, sizeof number, "%02zu ", index + 1);
  std::string name = number;
  name += PlanStepName(run.plan->steps[index].kind);
  return name;
}

std::size_t Counted(const ControllerRun& controller, StepVerdict verdict) {
  return static_cast<std::size_t>(std::ranges::count_if(
      controller.steps, [&](const StepOutcome& step) { return step.verdict == verdict; }));
}

std::chrono::milliseconds TotalTime(const ControllerRun& controller) {
  std::chrono::milliseconds total{0};
  for (const StepOutcome& step : controller.steps) total += step.duration;
  return total;
}

// A value as the record keeps it: its shortest form, 11.1 rather than 11.100000381.
Json NumberJson(double value) { return Json::parse(MeasurementNumber(value)); }

Json LimitsJson(const MeasurementLimits& limits) {
  Json json = Json::object();
  const std::pair<const char*, const std::optional<double>*> members[] = {{"min", &limits.min},
                                                                          {"max", &limits.max},
                                                                          {"expected", &limits.expected},
                                                                          {"tolerance", &limits.tolerance},
                                                                          {"marginal", &limits.marginal}};
  for (const auto& [name, value] : members) {
    if (*value) json[name] = NumberJson(**value);
  }
  return json;
}

Json MeasurementJson(const Measurement& measurement) {
  Json json = {{"name", measurement.name}, {"value", NumberJson(measurement.value)}};
  if (!measurement.unit.empty()) json["unit"] = measurement.unit;
  if (measurement.sent) json["sent"] = NumberJson(*measurement.sent);
  if (measurement.limits.Any()) json["limits"] = LimitsJson(measurement.limits);
  if (measurement.outcome) json["outcome"] = OutcomeName(*measurement.outcome);
  return json;
}

std::string PropertiesXml(const StepOutcome& outcome) {
  if (outcome.measurements.empty()) return {};
  std::string xml = "      <properties>\n";
  for (const Measurement& m : outcome.measurements) {
    xml += "        <property name=\"" + Xml(m.name) + "\" value=\"" + Xml(MeasurementWords(m)) + "\"/>\n";
  }
  return xml + "      </properties>\n";
}

Json HeaderFiles(const RunHeader& header) {
  Json files = Json::array();
  for (const FileDigest& file : header.settingsFiles)
    files.push_back({{"file", file.file}, {"sha256", file.sha256}});
  return files;
}

}  // namespace

std::vector<std::string> MarginalValues(const ControllerRun& controller) {
  std::vector<std::string> values;
  for (const StepOutcome& step : controller.steps) {
    for (const Measurement& measured : step.measurements) {
      if (measured.outcome == MeasurementOutcome::kMarginal) values.push_back(MarginalText(measured));
    }
  }
  return values;
}

std::string_view VerdictName(StepVerdict verdict) {
  return kVerdictNames[std::ranges::find(kVerdicts, verdict) - std::begin(kVerdicts)];
}

bool PlanRun::Passed() const {
  return !interrupted && std::ranges::none_of(controllers, [](const ControllerRun& c) { return c.failed; });
}

std::string PlanReportJson(const PlanRun& run) {
  Json controllers = Json::array();
  for (const ControllerRun& controller : run.controllers) {
    Json steps = Json::array();
    for (std::size_t index = 0; index < controller.steps.size(); ++index) {
      const StepOutcome& outcome = controller.steps[index];
      Json step = {{"step", index + 1},
                   {"name", PlanStepName(run.plan->steps[index].kind)},
                   {"result", VerdictName(outcome.verdict)},
                   {"duration_ms", outcome.duration.count()}};
      if (outcome.verdict == StepVerdict::kFailed) {
        step["expected"] = outcome.expected;
        step["got"] = outcome.got;
      }
      if (!outcome.measurements.empty()) {
        Json measurements = Json::array();
        for (const Measurement& measured : outcome.measurements)
          measurements.push_back(MeasurementJson(measured));
        step["measurements"] = std::move(measurements);
      }
      if (!outcome.trace.empty()) {
        Json trace = Json::array();
        for (const TracePoint& point : outcome.trace) trace.push_back({point.ms, point.position});
        step["trace"] = std::move(trace);
      }
      if (!outcome.prediction.empty()) {
        Json points = Json::array();
        for (const ShadowPoint& point : outcome.prediction) {
          points.push_back({{"ms", std::lround(point.seconds * 1000.0)},
                            {"reported", point.reported},
                            {"predicted", point.predicted}});
        }
        step["prediction"] = {{"tolerance", outcome.tolerance}, {"points", std::move(points)}};
      }
      steps.push_back(std::move(step));
    }
    controllers.push_back({{"serial", controller.serial},
                           {"version", controller.version},
                           {"device", controller.device + 1},
                           {"result", controller.failed ? "failed"
                                      : run.interrupted ? "interrupted"
                                                        : "passed"},
                           {"marginal", MarginalValues(controller)},
                           {"steps", std::move(steps)}});
  }
  const RunHeader& header = run.header;
  Json report = {{"plan", run.plan->name},
                 {"file", run.planFile},
                 {"plan_sha256", header.planSha256},
                 {"settings_files", HeaderFiles(header)},
                 {"version", kVersion},
                 {"library", {{"path", header.library.file}, {"sha256", header.library.sha256}}},
                 {"station", header.station},
                 {"operator", header.operatorName},
                 {"started", header.started},
                 {"ended", header.ended},
                 {"result", run.Passed()      ? "passed"
                            : run.interrupted ? "interrupted"
                                              : "failed"},
                 {"duration_ms", run.duration.count()},
                 {"controllers", std::move(controllers)}};
  if (run.interrupted) report["interrupted_by"] = run.interruption;
  // Text from a library may hold any byte; replace what is not UTF-8.
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string PlanJunitXml(const PlanRun& run) {
  std::size_t tests = 0, failures = 0, errors = 0, skipped = 0;
  std::string suites;
  for (const ControllerRun& controller : run.controllers) {
    const std::size_t failed = Counted(controller, StepVerdict::kFailed);
    const std::size_t left = Counted(controller, StepVerdict::kSkipped);
    const std::size_t cut = Counted(controller, StepVerdict::kNotRun);
    tests += controller.steps.size();
    failures += failed;
    errors += cut;
    skipped += left;
    suites += "  <testsuite name=\"" + Xml(controller.serial) + "\" tests=\"" +
              std::to_string(controller.steps.size()) + "\" failures=\"" + std::to_string(failed) +
              "\" errors=\"" + std::to_string(cut) + "\" skipped=\"" + std::to_string(left) + "\" time=\"" +
              Seconds(TotalTime(controller)) + "\">\n";
    for (std::size_t index = 0; index < controller.steps.size(); ++index) {
      const StepOutcome& outcome = controller.steps[index];
      suites += "    <testcase classname=\"" + Xml(run.plan->name + "." + controller.serial) + "\" name=\"" +
                Xml(StepName(run, index)) + "\" time=\"" + Seconds(outcome.duration) + "\"";
      const std::string properties = PropertiesXml(outcome);
      if (outcome.verdict != StepVerdict::kPassed || !properties.empty()) suites += ">\n" + properties;
      switch (outcome.verdict) {
        case StepVerdict::kPassed:
          suites += properties.empty() ? "/>\n" : "    </testcase>\n";
          break;
        case StepVerdict::kFailed:
          suites += "      <failure message=\"" +
                    Xml("expected " + outcome.expected + "; got " + outcome.got) +
                    "\">expected: " + Xml(outcome.expected) + "&#10;got: " + Xml(outcome.got) +
                    "</failure>\n    </testcase>\n";
          break;
        case StepVerdict::kSkipped:
          suites += "      <skipped message=\"an earlier step failed\"/>\n    </testcase>\n";
          break;
        case StepVerdict::kNotRun:
          suites += "      <error type=\"interrupted\" message=\"" +
                    Xml("the run was interrupted: " + run.interruption) + "\"/>\n    </testcase>\n";
          break;
      }
    }
    suites += "  </testsuite>\n";
  }
  if (run.interrupted) {
    // The run itself as an error too: a run cut short after its last step
    // passed is not a pass.
    ++tests;
    ++errors;
    suites += "  <testsuite name=\"run\" tests=\"1\" failures=\"0\" errors=\"1\" skipped=\"0\" time=\"" +
              Seconds(run.duration) + "\">\n    <testcase classname=\"" + Xml(run.plan->name + ".run") +
              "\" name=\"interrupted\" time=\"" + Seconds(run.duration) +
              "\">\n      <error type=\"interrupted\" message=\"" +
              Xml("interrupted (" + run.interruption + "); every controller it started was sent Stop") +
              "\"/>\n    </testcase>\n  </testsuite>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"" + Xml(run.plan->name) +
         "\" tests=\"" + std::to_string(tests) + "\" failures=\"" + std::to_string(failures) +
         "\" errors=\"" + std::to_string(errors) + "\" skipped=\"" + std::to_string(skipped) + "\" time=\"" +
         Seconds(run.duration) + "\">\n" + suites + "</testsuites>\n";
}

}  // namespace kavr
