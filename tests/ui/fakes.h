// Test doubles for the two seams of the user interface: a scripted controller
// library that records every call, and a display that records every box
// instead of showing it.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "kavr/controller_library.h"
#include "reports/show_report.h"

namespace kavr::testing {

class FakeControllerLibrary : public ControllerLibrary {
 public:
  // Init writes this count and copies these texts over the front of its buffers.
  std::int32_t initCount = 0;
  std::u32string initVersions, initSerials;
  std::string loadFailure;
  // The code each entry returns, by entry name ("Init", "GetState", ...); 0 when unset.
  std::map<std::string, ResultCode> results;
  // The entries called, in order.
  std::vector<std::string> calls;

  ResultCode Init(std::int32_t& count, LibraryText& versions, LibraryText& serials) override {
    count = initCount;
    CopyOver(versions, initVersions);
    CopyOver(serials, initSerials);
    return Record("Init");
  }
  ResultCode GetState(std::int32_t, KAVR_State&) override { return Record("GetState"); }
  ResultCode GetMode(std::int32_t, KAVR_Mode&) override { return Record("GetMode"); }
  ResultCode SetMode(std::int32_t, KAVR_Mode&) override { return Record("SetMode"); }
  ResultCode GetParameters(std::int32_t, KAVR_Parameters&) override { return Record("GetParameters"); }
  ResultCode SetParameters(std::int32_t, KAVR_Parameters&) override { return Record("SetParameters"); }
  ResultCode GetStartParameters(std::int32_t, KAVR_StartParameters&) override {
    return Record("GetStartParameters");
  }
  ResultCode Start(std::int32_t, std::int32_t, float&, KAVR_StartParameters&) override {
    return Record("Start");
  }
  ResultCode Stop(std::int32_t) override { return Record("Stop"); }
  ResultCode SaveParametersToFlash(std::int32_t) override { return Record("SaveParametersToFlash"); }
  void GetLastErr(LibraryText&) override { Record("GetLastErr"); }
  std::string LibraryLoadFailure() override { return loadFailure; }

 private:
  ResultCode Record(const std::string& entry) {
    calls.push_back(entry);
    auto found = results.find(entry);
    return found == results.end() ? 0 : found->second;
  }
  // Keeps the buffer's length, as the library must.
  static void CopyOver(LibraryText& buffer, const std::u32string& text) {
    buffer.replace(0, std::min(text.size(), buffer.size()), text, 0, buffer.size());
  }
};

class RecordingDisplay : public ReportDisplay {
 public:
  struct Shown {
    std::string prompt, title;
  };
  std::vector<Shown> shown;

  void ShowReport(const std::string& prompt, const std::string& title) override {
    shown.push_back({prompt, title});
  }
};

}  // namespace kavr::testing
