#include "command_line.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>

#include "app/field_assignments.h"
#include "app/version.h"
#include "commands.h"
#include "contract/limits.h"
#include "output.h"
#include "transcript/record_fields.h"

namespace kavr::cli {
namespace {

constexpr const char* kDescription =
    "kavrctl drives stepper-motor controllers through their controller library, as the kavrtest window "
    "does: the same calls, the same records, the same reports.";

constexpr const char* kFooter =
    "Choose the controller with -d N (its number in `kavrctl list`) or -s SERIAL, before or after the "
    "command; with neither, the only one attached is used.\n"
    "Numbers on the command line are in C notation (a dot); reports use your locale's decimal separator.\n"
    "Exit codes: 0 success; 1 bad usage or a value refused (nothing sent); 2 a library call failed; "
    "3 controller not found; 4 several controllers and none chosen; 5 the library file cannot be loaded; "
    "6 --wait timed out; 7 run: a controller failed the plan, prove: a fault was missed; 8 output lost "
    "(standard output, the --trace "
    "file or a report file could not be written); 130 interrupted by Ctrl+C, 128 + the signal for SIGHUP, "
    "SIGTERM, SIGQUIT (run and start --wait stop the controllers they started first).";

// Far beyond any move, and small enough to count in milliseconds.
constexpr double kLongestWaitSeconds = 1e9;

// Option values that `request` keeps in another form.
struct OptionTexts {
  std::string libraryFile, traceFile, settingsFile, wait, reportFile, junitFile, outputFile, band = "10%";
  std::string dbFile, station, operatorName, csvFile, planName, since;
  std::int64_t runId = 0;
  std::vector<std::string> devices;  // read here, so that an overflow is named as typed
  std::vector<std::string> serials;
  std::int64_t intervalMs = 500;
  std::int64_t count = 0;
};

using AddOptions = void (*)(CLI::App&, Request&, OptionTexts&);

void JsonOption(CLI::App& command, Request& request, OptionTexts&) {
  command.add_flag("--json", request.json, "every field as JSON instead (settings files are this form)");
}

void AddAssignments(CLI::App& command, Request& request, std::string_view record,
                    std::span<const RecordField> fields) {
  command
      .add_option("FIELD=VALUE", request.assignments,
                  "fields of " + std::string(record) + " to change (" + WritableFieldNames(fields) +
                      "): flags 0/1/true/false/on/off, numbers in C notation")
      ->type_name("");
}

template <typename Record>
void WriteOptions(CLI::App& command, Request& request, OptionTexts& texts) {
  AddAssignments(command, request, RecordName<Record>(), RecordFields<Record>());
  command
      .add_option("--file", texts.settingsFile,
                  "a settings file as --json prints it (- for standard input); every field it names is "
                  "written, then any FIELD=VALUE")
      ->type_name("FILE");
  command.add_flag("--verify", request.verify,
                   "read the record back and name every field the controller did not keep (exit 2)");
}

void DbOption(CLI::App& command, Request&, OptionTexts& texts) {
  command
      .add_option("--db", texts.dbFile,
                  "the results database (default: kavr-results.sqlite in the user's data folder)")
      ->type_name("FILE");
}

void RunOptions(CLI::App& run, Request& request, OptionTexts& texts) {
  run.add_option("PLAN", request.planFile, "the plan, a JSON file")->required()->type_name("PLAN.json");
  run.add_flag("--all", request.allDevices, "every controller attached (else those named by -d and -s)");
  run.add_option("--report", texts.reportFile, "write the whole run as JSON to FILE")->type_name("FILE");
  run.add_option("--junit", texts.junitFile, "write JUnit XML to FILE, a test case per controller and step")
      ->type_name("FILE");
  run.add_option("--station", texts.station,
                 "the station named in the report and the database (default: the host name)")
      ->type_name("NAME");
  run.add_option("--operator", texts.operatorName, "the operator named in the report and the database")
      ->type_name("NAME");
  DbOption(run, request, texts);
  run.add_flag("--no-db", request.noDb, "record the run in no results database");
  run.add_flag("--no-prompt", request.noPrompt,
               "never ask the operator: a plan with a power-cycle step is refused unless on the stand-in");
}

void ResultsOptions(CLI::App& results, Request& request, OptionTexts& texts) {
  DbOption(results, request, texts);
  results.add_option("--run", texts.runId, "one run, with every measurement")->type_name("ID");
  results.add_flag("--json", request.json, "with --run: the run's report as it was written");
  results.add_option("--csv", texts.csvFile, "write the measurements flat to FILE, for a spreadsheet")
      ->type_name("FILE");
  results.add_option("--plan", texts.planName, "only runs of this plan (its name)")->type_name("NAME");
  results.add_option("--since", texts.since, "only runs started from this UTC date or time on (2026-12-01)")
      ->type_name("DATE");
  results.add_flag("--yield", request.yield,
                   "first-pass yield per plan and day: units whose first run passed");
  results.add_option("--last", request.lastRuns, "how many runs to list, the latest")
      ->check(CLI::Range(1, 1000000))
      ->default_val(20)
      ->type_name("N");
}

void ProveOptions(CLI::App& prove, Request& request, OptionTexts& texts) {
  prove.add_option("PLAN", request.planFile, "the plan, a JSON file")->required()->type_name("PLAN.json");
  prove.add_option("--controllers", request.controllers, "how many stand-in controllers the plan runs on")
      ->check(CLI::Range(1, 58))
      ->default_val(2)
      ->type_name("N");
  prove.add_option("--faults", request.faultNames, "only these faults (names as --list-faults gives them)")
      ->delimiter(',')
      ->type_name("FAULT,...");
  prove.add_flag("--list-faults", request.listFaults,
                 "name the plan's faults, one line each, and run nothing");
  prove.add_option("--report", texts.reportFile, "write every fault's outcome as JSON to FILE")
      ->type_name("FILE");
}

void PlanFromOptions(CLI::App& planFrom, Request& request, OptionTexts& texts) {
  planFrom
      .add_option("TRANSCRIPT", request.transcriptFile,
                  "a transcript, as --trace or the recorder writes it (- for standard input)")
      ->required()
      ->type_name("FILE");
  planFrom.add_option("-o,--output", texts.outputFile, "write the plan to FILE (default: standard output)")
      ->type_name("PLAN.json");
  planFrom
      .add_option("--band", texts.band,
                  "voltage and temperature expected within this much of what was recorded, in percent")
      ->default_val("10%")
      ->type_name("PERCENT");
}

void StartOptions(CLI::App& start, Request& request, OptionTexts& texts) {
  start.add_option("DEST", request.destination, "destination in microsteps; a fraction is rounded")
      ->required()
      ->type_name("NUMBER");
  start.add_option("SPEED", request.speed, "speed in (micro)steps per second, above 0")
      ->required()
      ->type_name("NUMBER");
  AddAssignments(start, request, RecordName<KAVR_StartParameters>(), StartFields());
  start.add_option("--divisor", request.stepDivisor, "step divisor")
      ->check(CLI::IsMember(std::vector<int>(std::begin(kStepDivisors), std::end(kStepDivisors))))
      ->default_val(1);
  start
      .add_option("--wait", texts.wait,
                  "then wait until the motor stops: at most SECONDS (exit 6 if it has not), or without "
                  "SECONDS without limit")
      ->expected(0, 1)
      ->type_name("[SECONDS]");
  start.add_flag("--shadow", request.shadow,
                 "with --wait: hold the move against its prediction (within 2% of the move plus 10 steps); "
                 "exit 2 with what departed from it");
}

void WatchOptions(CLI::App& watch, Request& request, OptionTexts& texts) {
  watch.add_flag("--shadow", request.shadow,
                 "print a line when a move stops at a switch, the emergency button or a rotary error");
  watch.add_option("--interval", texts.intervalMs, "milliseconds between reads")
      ->check(CLI::Range(1, 86400000))
      ->default_val(500)
      ->type_name("MS");
  watch.add_option("--count", texts.count, "stop after N reads (exit 2 if any failed)")
      ->check(CLI::Range(std::int64_t{1}, std::numeric_limits<std::int64_t>::max()))
      ->type_name("N");
}

void ReplayOptions(CLI::App& replay, Request& request, OptionTexts&) {
  replay
      .add_option("FILE", request.transcriptFile,
                  "a transcript, as --trace or the recorder writes it (- for standard input)")
      ->required()
      ->type_name("FILE");
  replay
      .add_option(
          "--ignore", request.ignoredFields,
          "fields not compared, e.g. Temperature,InputVoltage (record fields, rc, speed, count, versions, "
          "text)")
      ->delimiter(',')
      ->type_name("FIELD,...");
  replay.add_flag("--first", request.firstDifferenceOnly, "stop at the first call that differs");
  replay.add_flag("--allow-motion", request.allowMotion, "send the recorded starts too: they move the motor");
}

void ServeOptions(CLI::App& serve, Request& request, OptionTexts&) {
  serve.description(serve.get_description() + " (methods: " + ServeMethodNames() + ")");
  serve.add_flag("--leave-running", request.leaveRunning,
                 "when the input ends without close, or on Ctrl+C, leave the controllers the session started "
                 "moving (else they are sent Stop)");
}

struct CommandLine {
  const char* name;
  const char* description;
  CommandFunction run;
  AddOptions options;
};

constexpr CommandLine kCommands[] = {
    {"list", "list the attached controllers, one line each", ListCommand, nullptr},
    {"state", "print the state report", StateCommand, JsonOption},
    {"mode", "print the mode report", ModeCommand, JsonOption},
    {"parameters", "print the parameters report", ParametersCommand, JsonOption},
    {"start-parameters", "print the start parameters, one FIELD=VALUE a line", StartParametersCommand,
     JsonOption},
    {"set-mode", "read the mode, change the fields named, write it and print the mode report", SetModeCommand,
     WriteOptions<KAVR_Mode>},
    {"set-parameters",
     "read the parameters, change the fields named, write them and print the parameters report",
     SetParametersCommand, WriteOptions<KAVR_Parameters>},
    {"start",
     "read the start parameters, set the step divisor and any FIELD=VALUE, start a move to DEST at SPEED and "
     "print the start report with the speed the library left",
     StartCommand, StartOptions},
    {"run",
     "run a test plan on every controller chosen (--all, or -d N and -s SERIAL, each as often as needed); "
     "one line per controller and step",
     RunCommand, RunOptions},
    {"results",
     "list the last runs in the results database; --serial S: a unit's runs and measurements; --run ID: one "
     "run",
     ResultsCommand, ResultsOptions},
    {"prove",
     "run a plan on stand-in controllers of its own (never the library configured), once as it is and once "
     "per "
     "fault of its catalog, and say which faults it catches; exit 7 when some are missed",
     ProveCommand, ProveOptions},
    {"plan-from",
     "write a plan that does what a recorded session did: its writes, moves, saves and state reads",
     PlanFromCommand, PlanFromOptions},
    {"stop", "stop the motor", StopCommand, nullptr},
    {"save", "save the parameters to the controller's flash", SaveCommand, nullptr},
    {"last-error", "print the library's last error text", LastErrorCommand, nullptr},
    {"watch",
     "read the state again and again, one line per read (time, position, motion, full speed, power, voltage, "
     "temperature), until Ctrl+C or --count reads; a failed read is reported on standard error and the "
     "watch goes on",
     WatchCommand, WatchOptions},
    {"serve",
     "answer JSON-RPC 2.0 requests, one JSON object per line on standard input, with one response per line "
     "on standard output, until close or the end of the input",
     ServeCommand, ServeOptions},
    {"replay",
     "send a transcript's calls again, in order, and report each answer that differs from the recorded one, "
     "field by field (exit 2 if any does); controllers follow their serial numbers",
     ReplayCommand, ReplayOptions},
};

void AddCommandLine(CLI::App& app, Request& request, OptionTexts& texts) {
  app.add_option("--library", texts.libraryFile,
                 "the controller library file (default: the one beside kavrctl)")
      ->type_name("PATH");
  app.add_option("--trace", texts.traceFile, "write every library call to FILE (- for standard error)")
      ->type_name("FILE");
  // Repeated only for run; each takes exactly one value.
  app.add_option("-d,--device", texts.devices, "the controller numbered N by list")
      ->type_name("N")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  app.add_option("-s,--serial", texts.serials, "the controller with this serial number")
      ->type_name("SERIAL")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  for (const CommandLine& command : kCommands) {
    CLI::App* subcommand = app.add_subcommand(command.name, command.description);
    if (command.options != nullptr) command.options(*subcommand, request, texts);
  }
}

// How often the option was given; 0 also when the command has no such option.
std::size_t Given(const CLI::App& command, const std::string& name) {
  const CLI::Option* option = command.get_option_no_throw(name);
  return option == nullptr ? 0 : option->count();
}

// Seconds from 0 up, as milliseconds, rounded up.
std::optional<std::chrono::milliseconds> WaitLimit(const std::string& text) {
  double seconds = -1.0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, seconds);
  if (error != std::errc() || stop != end || !(seconds >= 0.0 && seconds <= kLongestWaitSeconds)) {
    return std::nullopt;
  }
  return std::chrono::milliseconds(static_cast<std::int64_t>(std::ceil(seconds * 1000.0)));
}

// The request's remaining members from what the parser found; nothing when
// the request is complete, else why it is refused.
std::optional<std::string> Complete(const CLI::App& app, const CLI::App& command, const OptionTexts& texts,
                                    Request& request) {
  request.command = command.get_name();
  for (const CommandLine& line : kCommands) {
    if (request.command == line.name) request.run = line.run;
  }
  if (Given(app, "--library") > 0) request.libraryFile = texts.libraryFile;
  if (Given(app, "--trace") > 0) request.traceFile = texts.traceFile;
  for (const std::string& text : texts.devices) {
    std::int64_t number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error != std::errc() || stop != end || text.empty()) {
      return "--device: \"" + text + "\" is not a controller number (1, 2, ... as list numbers them)";
    }
    request.deviceNumbers.push_back(number);
  }
  request.serials = texts.serials;
  if (request.command != "run") {
    if (!texts.devices.empty() && !texts.serials.empty()) {
      return "--device excludes --serial\nRun kavrctl --help, or kavrctl COMMAND --help.";
    }
    if (texts.devices.size() + texts.serials.size() > 1) {
      return "choose one controller: --device or --serial once (only run takes several)";
    }
    if (!request.deviceNumbers.empty()) request.deviceNumber = request.deviceNumbers.front();
    if (!texts.serials.empty()) request.serial = texts.serials.front();
  } else if (request.allDevices && (!texts.devices.empty() || !texts.serials.empty())) {
    return "run: --all chooses every controller; leave out --device and --serial";
  }
  if (Given(command, "--report") > 0) request.reportFile = texts.reportFile;
  if (Given(command, "--output") > 0) request.outputFile = texts.outputFile;
  if (command.get_option_no_throw("--band") != nullptr) {
    std::string band = texts.band;
    if (band.ends_with('%')) band.pop_back();
    double percent = -1.0;
    const auto [end, error] = std::from_chars(band.data(), band.data() + band.size(), percent);
    if (error != std::errc() || end != band.data() + band.size() || !(percent >= 0.0 && percent <= 100.0)) {
      return "--band: \"" + texts.band + "\" is not a percentage from 0 to 100";
    }
    request.band = percent / 100.0;
  }
  if (Given(command, "--junit") > 0) request.junitFile = texts.junitFile;
  if (Given(command, "--station") > 0) request.station = texts.station;
  if (Given(command, "--operator") > 0) request.operatorName = texts.operatorName;
  if (Given(command, "--db") > 0) request.dbFile = texts.dbFile;
  if (request.dbFile && request.noDb) return "--db and --no-db exclude each other";
  if (Given(command, "--run") > 0) request.runId = texts.runId;
  if (Given(command, "--csv") > 0) request.csvFile = texts.csvFile;
  if (Given(command, "--plan") > 0) request.planName = texts.planName;
  if (Given(command, "--since") > 0) {
    request.since = texts.since;
    const bool dated = texts.since.size() >= 10 && texts.since[4] == '-' && texts.since[7] == '-';
    if (!dated) return "--since: \"" + texts.since + "\" is not a date as 2026-12-01 (UTC)";
  }
  if (command.get_option_no_throw("--file") != nullptr) {
    if (Given(command, "--file") > 0) request.settingsFile = texts.settingsFile;
    if (!request.settingsFile && request.assignments.empty()) {
      return request.command + ": name at least one FIELD=VALUE or a --file";
    }
  }
  if (Given(command, "--wait") > 0) {
    request.wait = true;
    if (!texts.wait.empty() && !(request.waitLimit = WaitLimit(texts.wait))) {
      return "--wait: \"" + texts.wait +
             "\" is not a number of seconds from 0 up (write --wait=SECONDS when FIELD=VALUE follows)";
    }
  }
  if (request.shadow && !request.wait && request.command == "start") {
    return "--shadow: holds a move against its prediction while waiting; give --wait too";
  }
  request.interval = std::chrono::milliseconds(texts.intervalMs);
  if (Given(command, "--count") > 0) request.count = texts.count;
  return std::nullopt;
}

}  // namespace

std::optional<int> ParseCommandLine(const std::vector<std::string>& args, Request& request,
                                    Console& console) {
  CLI::App app{kDescription, "kavrctl"};
  app.footer(kFooter);
  app.set_version_flag("--version", std::string("kavrctl ") + kVersion);
  app.require_subcommand(1);
  // The controller and library options may follow the command too.
  app.fallthrough();
  OptionTexts texts;
  AddCommandLine(app, request, texts);
  try {
    // The parser takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error, console.out, console.err);
    PrintFailure(console.err, std::string(error.what()) + "\nRun kavrctl --help, or kavrctl COMMAND --help.");
    return kBadUsage;
  }
  if (const auto problem = Complete(app, *app.get_subcommands().front(), texts, request)) {
    PrintFailure(console.err, *problem);
    return kBadUsage;
  }
  return std::nullopt;
}

}  // namespace kavr::cli
