// kavrctl run: a plan file checked whole, then run over the controllers
// chosen, with its verdict per controller as lines, JSON and JUnit XML.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/device_list.h"
#include "app/input_file.h"
#include "app/plan.h"
#include "commands.h"
#include "output.h"
#include "plan_run.h"
#include "plan_runner.h"

namespace kavr::cli {
namespace {

std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::optional<std::string> FileText(const std::filesystem::path& file, std::string& problem) {
  return ReadInputFile(file, kLargestSettingsFile, problem);
}

// The plan, checked whole; settings files named by load steps are taken
// from the plan's own folder.
Plan ReadPlanFile(const std::string& planFile) {
  const std::filesystem::path path = PathOf(planFile);
  std::string problem;
  const auto text = FileText(path, problem);
  if (!text) throw Failure{kBadUsage, planFile + ": " + problem};
  const auto readSettings = [&](const std::string& file, std::string& settingsProblem) {
    const auto settings = FileText(path.parent_path() / PathOf(file), settingsProblem);
    if (!settings) settingsProblem = file + ": " + settingsProblem;
    return settings;
  };
  std::optional<Plan> plan = ReadPlan(*text, readSettings, problem);
  if (!plan) throw Failure{kBadUsage, planFile + ": " + problem};
  return std::move(*plan);
}

// Every controller named, in the order named and each once; all of them
// for --all; with none named, the only one attached.
std::vector<std::int32_t> ChosenDevices(const Request& request, Session& session, const DeviceList& list) {
  std::vector<std::int32_t> chosen;
  if (request.allDevices) {
    for (std::int32_t device = 0; device < std::min(list.count, kMaxListedDevices); ++device) chosen.push_back(device);
    return chosen;
  }
  const auto add = [&](std::int32_t device) {
    if (std::ranges::find(chosen, device) == chosen.end()) chosen.push_back(device);
  };
  for (const std::int64_t number : request.deviceNumbers) add(session.Choose(list, number, std::nullopt).DeviceIndex);
  for (const std::string& serial : request.serials) add(session.Choose(list, std::nullopt, serial).DeviceIndex);
  if (chosen.empty()) chosen.push_back(session.Choose(list, std::nullopt, std::nullopt).DeviceIndex);
  return chosen;
}

// False, with a message, when the file cannot be written whole.
bool WriteOutputFile(const std::string& file, const std::string& text, Console& console) {
  errno = 0;
  std::ofstream out(PathOf(file), std::ios::binary | std::ios::trunc);
  if (out) out << text;
  if (out) out.close();
  if (out) return true;
  PrintFailure(console.err,
               "cannot write " + file + (errno != 0 ? ": " + std::string(std::strerror(errno)) : std::string()));
  return false;
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
  std::string text = "plan \"" + run.plan->name + "\": " + (run.interrupted ? "interrupted (" + run.interruption + "); " : "") +
                     std::to_string(passed) + " of " + std::to_string(run.controllers.size()) + " controllers passed";
  if (!failed.empty()) text += "; failed: " + failed;
  return text;
}

}  // namespace

int RunCommand(const Request& request, Session& session, Console& console) {
  const Plan plan = ReadPlanFile(request.planFile);
  PlanRun run;
  run.planFile = request.planFile;
  run.plan = &plan;
  const DeviceList list = session.Devices();
  for (const std::int32_t device : ChosenDevices(request, session, list)) {
    ControllerRun& controller = run.controllers.emplace_back();
    controller.device = device;
    controller.serial = ForScreen(SerialOf(list.serials, device));
  }
  RunPlan(run, session, console);
  // The files first: standard output may be what ended the run.
  bool written = true;
  if (request.reportFile) written = WriteOutputFile(*request.reportFile, PlanReportJson(run), console) && written;
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
  return run.Passed() ? kSuccess : kPlanFailed;
}

}  // namespace kavr::cli
