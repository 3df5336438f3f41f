// The stand-in's state and flash in a fresh folder of the benchmark's own,
// so that a benchmark never meets the controllers of another program.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace kavr::bench {

// Creates "<temp>/<name>-<random>" and points the stand-in there; returns it.
inline std::filesystem::path UseScratchStandIn(const std::string& name) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / (name + "-" + std::to_string(std::random_device()()));
  std::filesystem::create_directories(folder);
  setenv("KAVR_SIM_STATE_DIR", (folder / "state").c_str(), 1);
  setenv("KAVR_SIM_FLASH_DIR", (folder / "flash").c_str(), 1);
  return folder;
}

}  // namespace kavr::bench
