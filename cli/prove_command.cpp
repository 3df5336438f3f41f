// kavrctl prove: a plan run on the stand-in, once as it is and once per
// fault of its catalog, each fault in a `kavrctl run` of its own.
//
// Each run is a child process running this program's own `run` on the
// stand-in in the folder beside it: the stand-in takes its faults from the
// environment at Init and keeps its controllers in folders named there, so a
// process of its own is what gives each fault a fresh stand-in, its own
// settings and nothing shared, and lets the faults run side by side; and the
// plan runs exactly as it runs on the line. The configured library is never
// opened.
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "app/terminal_text.h"
#include "child_processes.h"
#include "command_files.h"
#include "commands.h"
#include "device/dynamic_controller_library.h"
#include "fault_catalog.h"
#include "output.h"

namespace kavr::cli {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kStandInFolder = "stand-in";
#ifdef _WIN32
constexpr const char* kProgramFile = "kavrctl.exe";
#else
constexpr const char* kProgramFile = "kavrctl";
#endif

std::filesystem::path PathOf(const std::string& utf8) { return std::u8string(utf8.begin(), utf8.end()); }

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A fresh folder for the runs' state, flash, rigs and outputs, removed with
// everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code error;
    path_ =
        std::filesystem::temp_directory_path(error) /
        ("kavrctl-prove-" + std::to_string(std::random_device()()) + std::to_string(std::random_device()()));
    if (error || !std::filesystem::create_directories(path_, error)) {
      throw Failure{kBadUsage, "cannot make a temporary folder for the stand-in: " + error.message()};
    }
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::string FileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string LastLine(const std::string& text) {
  std::string last;
  std::size_t from = 0;
  while (from < text.size()) {
    const std::size_t end = std::min(text.find('\n', from), text.size());
    if (end > from) last = text.substr(from, end - from);
    from = end + 1;
  }
  if (last.starts_with("kavrctl: ")) last.erase(0, 9);
  return last;
}

void MakeFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error)
    throw Failure{kBadUsage, "cannot make the temporary folder " + Utf8(folder) + ": " + error.message()};
}

// One `kavrctl run` on a fresh stand-in, in its own folder.
struct PlanChild {
  std::filesystem::path folder;
  ChildRun run;
};

PlanChild MakeChild(const std::filesystem::path& folder, const std::filesystem::path& standIn,
                    const std::string& plan, std::int64_t controllers, const Fault* fault) {
  MakeFolder(folder);
  EnvironmentVariables variables = {{"KAVR_SIM_STATE_DIR", Utf8(folder / "state")},
                                    {"KAVR_SIM_FLASH_DIR", Utf8(folder / "flash")},
                                    {"KAVR_SIM_DEVICES", std::to_string(controllers)}};
  if (fault != nullptr) {
    variables.insert(variables.end(), fault->environment.begin(), fault->environment.end());
    if (!fault->rig.empty()) {
      std::ofstream(folder / "rig.json", std::ios::binary) << fault->rig;
      variables.emplace_back("KAVR_SIM_RIG", Utf8(folder / "rig.json"));
    }
  }
  PlanChild child{folder, {}};
  child.run.args = {"--library", Utf8(standIn), "run",      plan,
                    "--all",     "--no-prompt", "--report", Utf8(folder / "report.json")};
  // Nothing of the stand-in's settings of this process reaches it.
  child.run.environment = ChildEnvironment("KAVR_SIM_", variables);
  child.run.out = folder / "out";
  child.run.err = folder / "err";
  return child;
}

// How a run ended.
struct Verdict {
  enum End { kPassed, kFailed, kBroken } end = kBroken;
  std::string words;  // the step and what failed it, or why the run broke
};

Verdict VerdictOf(const PlanChild& child, int code) {
  if (code == kSuccess) return {Verdict::kPassed, ""};
  if (code == kPlanFailed) {
    try {
      const Json report = Json::parse(FileText(child.folder / "report.json"));
      for (const Json& controller : report.at("controllers")) {
        for (const Json& step : controller.at("steps")) {
          if (step.at("result") != "failed") continue;
          return {Verdict::kFailed, controller.at("serial").get<std::string>() + " step " +
                                        std::to_string(step.at("step").get<int>()) + " (" +
                                        step.at("name").get<std::string>() + "): expected " +
                                        step.at("expected").get<std::string>() + "; got " +
                                        step.at("got").get<std::string>()};
        }
      }
    } catch (const Json::exception&) {
    }
  }
  const std::string last = LastLine(FileText(child.run.err));
  // A library call that failed outside the plan's steps (Init) or found no controller.
  if (code == kPlanFailed || code == kCallFailed || code == kNoController) {
    return {Verdict::kFailed, last.empty() ? "exit code " + std::to_string(code) : last};
  }
  return {Verdict::kBroken,
          "the run ended with " +
              (code == kChildDidNotExit ? std::string("no exit code") : "exit code " + std::to_string(code)) +
              (last.empty() ? "" : ": " + last)};
}

// Whether the stand-in takes a rig: it names a rig file it refuses.
bool StandInHasRig(const std::filesystem::path& program, const std::filesystem::path& standIn,
                   const std::filesystem::path& folder) {
  MakeFolder(folder);
  const std::filesystem::path rig = folder / "probe-rig.json";
  std::ofstream(rig, std::ios::binary) << R"({"*": {"kavrctl prove: no such key": true}})";
  ChildRun probe;
  probe.args = {"--library", Utf8(standIn), "list"};
  probe.environment = ChildEnvironment("KAVR_SIM_", {{"KAVR_SIM_STATE_DIR", Utf8(folder / "state")},
                                                     {"KAVR_SIM_FLASH_DIR", Utf8(folder / "flash")},
                                                     {"KAVR_SIM_RIG", Utf8(rig)}});
  probe.out = folder / "out";
  probe.err = folder / "err";
  RunChildren(program, std::span(&probe, 1), 1, [](std::size_t, int) {});
  const std::string err = FileText(probe.err);
  return err.find("KAVR_SIM_RIG") != std::string::npos || err.find(Utf8(rig)) != std::string::npos;
}

std::vector<Fault> Chosen(std::vector<Fault> catalog, const std::vector<std::string>& names) {
  if (names.empty()) return catalog;
  std::vector<Fault> chosen;
  for (const std::string& name : names) {
    const auto found = std::ranges::find_if(catalog, [&](const Fault& fault) { return fault.name == name; });
    if (found == catalog.end()) {
      std::string known;
      for (const Fault& fault : catalog) known += (known.empty() ? "" : ", ") + fault.name;
      throw Failure{kBadUsage, "--faults: \"" + TerminalSafe(name) +
                                   "\" is not a fault of this plan; its faults are: " + known};
    }
    if (std::ranges::none_of(chosen, [&](const Fault& fault) { return fault.name == name; }))
      chosen.push_back(*found);
  }
  return chosen;
}

enum class FaultEnd { kCaught, kMissed, kNotAvailable, kBroken };

struct FaultOutcome {
  FaultEnd end = FaultEnd::kBroken;
  std::string words;
};

constexpr std::string_view kEndNames[] = {"caught", "MISSED", "n/a", "ERROR"};
constexpr std::string_view kEndResults[] = {"caught", "missed", "not available", "error"};

std::string FaultLine(const Fault& fault, const FaultOutcome& outcome) {
  std::string line(kEndNames[static_cast<int>(outcome.end)]);
  line.resize(8, ' ');
  return line + fault.name + ": " + outcome.words;
}

std::string ReportJson(const Request& request, const Plan& plan, std::chrono::milliseconds cleanTime,
                       const std::vector<Fault>& faults, const std::vector<FaultOutcome>& outcomes,
                       std::size_t caught, std::size_t counted) {
  Json list = Json::array();
  for (std::size_t index = 0; index < faults.size(); ++index) {
    Json item = {{"fault", faults[index].name},
                 {"description", faults[index].description},
                 {"result", kEndResults[static_cast<int>(outcomes[index].end)]}};
    item[outcomes[index].end == FaultEnd::kMissed ? "hint" : "words"] = outcomes[index].words;
    list.push_back(std::move(item));
  }
  const Json report = {{"plan", plan.name},
                       {"file", request.planFile},
                       {"controllers", request.controllers},
                       {"clean_run_ms", cleanTime.count()},
                       {"caught", caught},
                       {"of", counted},
                       {"faults", std::move(list)}};
  return report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace

int ProveCommand(const Request& request, Session&, Console& console) {
  const Plan plan = ReadPlanFile(request.planFile);
  const std::vector<Fault> faults = Chosen(FaultCatalog(plan), request.faultNames);
  if (request.listFaults) {
    for (const Fault& fault : faults) PrintText(console.out, fault.name + ": " + fault.description);
    return kSuccess;
  }
  const std::filesystem::path folder = ExecutableFolder();
  const std::filesystem::path standIn = folder / kStandInFolder / LibraryFileName();
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_regular_file(standIn, error)) {
    throw Failure{kLibraryNotLoaded,
                  "the stand-in library " + Utf8(standIn) +
                      " is missing: prove runs plans on it, never on the library beside kavrctl"};
  }
  const std::filesystem::path program = folder / kProgramFile;
  const std::string planFile = Utf8(std::filesystem::absolute(PathOf(request.planFile), error));
  const ScratchFolder scratch;
  // Ctrl+C reaches the runs too, which stop their controllers; this one
  // then removes the folders and says so.
  console.armInterrupt();
  const auto checkInterrupted = [&] {
    if (console.interrupted()) throw Failure{kInterrupted, "interrupted: the runs under way were stopped"};
  };

  // Without a fault first: a plan that fails a good controller proves nothing.
  PlanChild clean = MakeChild(scratch.Path() / "clean", standIn, planFile, request.controllers, nullptr);
  const auto began = std::chrono::steady_clock::now();
  int cleanCode = kChildDidNotExit;
  RunChildren(program, std::span(&clean.run, 1), 1, [&](std::size_t, int code) { cleanCode = code; });
  const auto cleanTime =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
  checkInterrupted();
  const Verdict cleanVerdict = VerdictOf(clean, cleanCode);
  if (cleanVerdict.end != Verdict::kPassed) {
    throw Failure{kBadUsage,
                  "the plan fails on the stand-in without any fault: " + TerminalSafe(cleanVerdict.words)};
  }
  PrintText(console.out, "passed without faults on " + std::to_string(request.controllers) +
                             " controllers in " + std::to_string(cleanTime.count()) + " ms");

  const bool rigFaults = std::ranges::any_of(faults, [](const Fault& fault) { return !fault.rig.empty(); });
  const bool hasRig = rigFaults && StandInHasRig(program, standIn, scratch.Path() / "probe");
  std::vector<FaultOutcome> outcomes(faults.size());
  std::vector<PlanChild> children;
  std::vector<std::size_t> faultOf;
  for (std::size_t index = 0; index < faults.size(); ++index) {
    if (!faults[index].rig.empty() && !hasRig) {
      outcomes[index] = {FaultEnd::kNotAvailable, "this stand-in has no rig (KAVR_SIM_RIG)"};
      continue;
    }
    children.push_back(MakeChild(scratch.Path() / std::to_string(index), standIn, planFile,
                                 request.controllers, &faults[index]));
    faultOf.push_back(index);
  }
  std::vector<ChildRun> runs;
  for (const PlanChild& child : children) runs.push_back(child.run);
  std::vector<bool> done(faults.size(), false);
  for (std::size_t index = 0; index < faults.size(); ++index)
    done[index] = outcomes[index].end == FaultEnd::kNotAvailable;
  std::size_t printed = 0;
  const auto printReady = [&] {
    for (; printed < faults.size() && done[printed]; ++printed) {
      PrintText(console.out, TerminalSafe(FaultLine(faults[printed], outcomes[printed])));
    }
  };
  printReady();
  RunChildren(
      program, runs, std::max(1u, std::thread::hardware_concurrency()),
      [&](std::size_t run, int code) {
        const std::size_t index = faultOf[run];
        const Verdict verdict = VerdictOf(children[run], code);
        outcomes[index] = verdict.end == Verdict::kFailed ? FaultOutcome{FaultEnd::kCaught, verdict.words}
                          : verdict.end == Verdict::kPassed
                              ? FaultOutcome{FaultEnd::kMissed, faults[index].hint}
                              : FaultOutcome{FaultEnd::kBroken, verdict.words};
        done[index] = true;
        if (!console.interrupted()) printReady();
      },
      console.interrupted);
  checkInterrupted();

  std::size_t caught = 0, counted = 0;
  for (const FaultOutcome& outcome : outcomes) {
    if (outcome.end == FaultEnd::kNotAvailable) continue;
    ++counted;
    if (outcome.end == FaultEnd::kCaught) ++caught;
  }
  PrintText(console.out, "caught " + std::to_string(caught) + " of " + std::to_string(counted));
  if (request.reportFile &&
      !WriteOutputFile(*request.reportFile,
                       ReportJson(request, plan, cleanTime, faults, outcomes, caught, counted), console)) {
    return kOutputFailed;
  }
  return caught == counted ? kSuccess : kPlanFailed;
}

}  // namespace kavr::cli
