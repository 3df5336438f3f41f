// A command line as kavrctl understood it.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kavr::cli {

class Session;
struct Console;
struct Request;

using CommandFunction = int (*)(const Request&, Session&, Console&);

struct Request {
  std::string command;
  CommandFunction run = nullptr;

  std::optional<std::string> libraryFile;  // UTF-8, as given
  std::optional<std::string> traceFile;
  std::optional<std::int64_t> deviceNumber;  // 1-based
  std::optional<std::string> serial;
  // run: every controller named (-d and -s may be repeated), or all.
  std::vector<std::int64_t> deviceNumbers;
  std::vector<std::string> serials;
  bool allDevices = false;

  bool json = false;

  // set-mode, set-parameters, start: FIELD=VALUE texts and a settings file.
  std::vector<std::string> assignments;
  std::optional<std::string> settingsFile;  // "-": standard input
  bool verify = false;                      // read back after writing

  // start
  std::string destination;
  std::string speed;
  int stepDivisor = 1;
  bool wait = false;
  bool shadow = false;  // start --wait, watch: hold moves against their prediction
  std::optional<std::chrono::milliseconds> waitLimit;  // none: no limit

  // run
  std::string planFile;
  std::optional<std::string> reportFile;
  std::optional<std::string> junitFile;
  std::optional<std::string> station;  // default: the host name
  std::optional<std::string> operatorName;
  // run and results: the results database (default: the user's), or none
  std::optional<std::string> dbFile;
  bool noDb = false;

  // results: which runs (the unit is `serial`), and in what form
  std::optional<std::int64_t> runId;
  std::optional<std::string> planName;
  std::optional<std::string> since;
  std::optional<std::string> csvFile;
  bool yield = false;
  int lastRuns = 20;
  bool noPrompt = false;  // never ask the operator: a plan that would is refused

  // prove: the plan above, on this many stand-in controllers
  std::int64_t controllers = 2;
  std::vector<std::string> faultNames;  // none: the whole catalog
  bool listFaults = false;

  // plan-from: the transcript below; the plan to this file (none: standard output)
  std::optional<std::string> outputFile;
  double band = 0.1;  // readings expected within this fraction of what was recorded

  // serve: controllers started are left moving when the input ends
  bool leaveRunning = false;

  // watch
  std::chrono::milliseconds interval{500};
  std::optional<std::int64_t> count;

  // replay
  std::string transcriptFile;  // UTF-8; "-": standard input
  std::vector<std::string> ignoredFields;
  bool firstDifferenceOnly = false;
  bool allowMotion = false;
};

}  // namespace kavr::cli
