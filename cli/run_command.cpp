// kavrctl run: a plan file checked whole, then run over the controllers
// chosen, with its verdict per controller as lines, JSON and JUnit XML.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/device_list.h"
#include "app/plan.h"
#include "app/plan_run.h"
#include "app/sha256.h"
#include "command_files.h"
#include "commands.h"
#include "device/dynamic_controller_library.h"
#include "output.h"
#include "power_cycle.h"
#include "process_environment.h"
#include "results/results_store.h"
#include "run_results.h"
#include "transcript/input_file.h"

namespace kavr::cli {
namespace {

std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::optional<std::string> FileText(const std::filesystem::path& file, std::string& problem) {
  return ReadInputFile(file, kLargestSettingsFile, problem);
}

}  // namespace

Plan ReadPlanText(const std::string& text, const std::filesystem::path& folder, const std::string& planName,
                  RunHeader& header) {
  header.planSha256 = Sha256Hex(text);
  const auto readSettings = [&](const std::string& file, std::string& settingsProblem) {
    const auto settings = FileText(folder / PathOf(file), settingsProblem);
    if (!settings) settingsProblem = file + ": " + settingsProblem;
    if (settings &&
        std::ranges::none_of(header.settingsFiles, [&](const FileDigest& d) { return d.file == file; })) {
      header.settingsFiles.push_back({file, Sha256Hex(*settings)});
    }
    return settings;
  };
  std::string problem;
  std::optional<Plan> plan = ReadPlan(text, readSettings, problem);
  if (!plan) throw Failure{kBadUsage, planName + ": " + problem};
  return std::move(*plan);
}

Plan ReadPlanText(const std::string& text, const std::filesystem::path& folder, const std::string& planName) {
  RunHeader unused;
  return ReadPlanText(text, folder, planName, unused);
}

Plan ReadPlanFile(const std::string& planFile, RunHeader& header) {
  const std::filesystem::path path = PathOf(planFile);
  std::string problem;
  const auto text = FileText(path, problem);
  if (!text) throw Failure{kBadUsage, planFile + ": " + problem};
  return ReadPlanText(*text, path.parent_path(), planFile, header);
}

Plan ReadPlanFile(const std::string& planFile) {
  RunHeader unused;
  return ReadPlanFile(planFile, unused);
}

namespace {

// Every controller named, in the order named and each once; all of them
// for --all; with none named, the only one attached.
std::vector<std::int32_t> ChosenDevices(const Request& request, Session& session, const DeviceList& list) {
  std::vector<std::int32_t> chosen;
  if (request.allDevices) {
    for (std::int32_t device = 0; device < std::min(list.count, kMaxListedDevices); ++device)
      chosen.push_back(device);
    return chosen;
  }
  const auto add = [&](std::int32_t device) {
    if (std::ranges::find(chosen, device) == chosen.end()) chosen.push_back(device);
  };
  for (const std::int64_t number : request.deviceNumbers)
    add(session.Choose(list, number, std::nullopt).DeviceIndex);
  for (const std::string& serial : request.serials)
    add(session.Choose(list, std::nullopt, serial).DeviceIndex);
  if (chosen.empty()) chosen.push_back(session.Choose(list, std::nullopt, std::nullopt).DeviceIndex);
  return chosen;
}

}  // namespace

bool WriteOutputFile(const std::string& file, const std::string& text, Console& console) {
  errno = 0;
  std::ofstream out(PathOf(file), std::ios::binary | std::ios::trunc);
  if (out) out << text;
  if (out) out.close();
  if (out) return true;
  PrintFailure(console.err, "cannot write " + file +
                                (errno != 0 ? ": " + std::string(std::strerror(errno)) : std::string()));
  return false;
}

namespace {

// The library file the run loads, and its digest when it can be read.
FileDigest LibraryDigest(const Request& request) {
  std::error_code error;
  std::filesystem::path file = request.libraryFile
                                   ? std::filesystem::absolute(PathOf(*request.libraryFile), error)
                                   : ExecutableFolder() / LibraryFileName();
  const std::u8string text = file.u8string();
  return {std::string(text.begin(), text.end()), FileSha256Hex(file).value_or("")};
}

std::string Summary(const PlanRun& run) {
  std::size_t passed = 0;
  std::string failed;
  for (const ControllerRun& controller : run.controllers) {
    if (controller.failed) {
      failed += (failed.empty() ? "" : ", ") + controller.serial;
    } else if (!run.interrupted) {
      ++passed;
    }
  }
  std::string text = "plan \"" + run.plan->name +
                     "\": " + (run.interrupted ? "interrupted (" + run.interruption + "); " : "") +
                     std::to_string(passed) + " of " + std::to_string(run.controllers.size()) +
                     " controllers passed";
  if (!failed.empty()) text += "; failed: " + failed;
  for (const ControllerRun& controller : run.controllers) {
    std::string marginal;
    for (const std::string& value : MarginalValues(controller))
      marginal += (marginal.empty() ? "" : ", ") + value;
    if (!marginal.empty()) text += "\n" + controller.serial + " marginal: " + marginal;
  }
  return text;
}

}  // namespace

int RunCommand(const Request& request, Session& session, Console& console) {
  PlanRun run;
  const Plan plan = ReadPlanFile(request.planFile, run.header);
  run.planFile = request.planFile;
  run.plan = &plan;
  run.header.library = LibraryDigest(request);
  run.header.station = request.station.value_or(HostName());
  run.header.operatorName = request.operatorName.value_or("");
  const DeviceList list = session.Devices();
  run.standIn = IsStandIn(list);
  const bool canAsk = !request.noPrompt && StandardInputIsTerminal();
  if (const auto refusal = PowerCycleRefusal(plan, run.standIn, canAsk)) throw Failure{kBadUsage, *refusal};
  for (const std::int32_t device : ChosenDevices(request, session, list)) {
    ControllerRun& controller = run.controllers.emplace_back();
    controller.device = device;
    controller.serial = ForScreen(SerialOf(list.serials, device));
    controller.version = ForScreen(VersionOf(list.versions, device));
  }
  run.header.started = UtcIsoTime(std::chrono::system_clock::now());
  RunResults results(request, run, console);
  try {
    RunPlanInSession(run, session, console);
  } catch (const Failure&) {
    // The library went away: the run is closed as failed before the failure is reported.
    for (ControllerRun& controller : run.controllers) controller.failed = true;
    run.header.ended = UtcIsoTime(std::chrono::system_clock::now());
    results.Close(run, "failed", PlanReportJson(run));
    throw;
  }
  run.header.ended = UtcIsoTime(std::chrono::system_clock::now());
  const std::string report = PlanReportJson(run);
  results.Close(run, run.Passed() ? "passed" : run.interrupted ? "interrupted" : "failed", report);
  // The files first: standard output may be what ended the run.
  bool written = true;
  if (request.reportFile) written = WriteOutputFile(*request.reportFile, report, console) && written;
  if (request.junitFile) written = WriteOutputFile(*request.junitFile, PlanJunitXml(run), console) && written;
  if (!run.outputLost) {
    try {
      PrintText(console.out, Summary(run));
    } catch (const Failure& failure) {
      PrintFailure(console.err, failure.message);
      run.outputLost = true;
    }
  }
  if (run.outputLost) PrintFailure(console.err, Summary(run));
  if (run.interrupted) return InterruptedExitCode(console, run.outputLost);
  if (!written || run.outputLost) return kOutputFailed;
  if (!run.Passed()) return kPlanFailed;
  return results.Lost() ? kOutputFailed : kSuccess;
}

}  // namespace kavr::cli
