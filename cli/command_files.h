// The files more than one command reads or writes: plans, transcripts and
// the files a run leaves. Each throws a Failure (kBadUsage) naming the file
// and what is wrong with it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/plan.h"
#include "kavrctl.h"
#include "transcript/transcript_reader.h"

namespace kavr::cli {

// The plan, checked whole; settings files named by load steps are taken
// from the plan's own folder.
Plan ReadPlanFile(const std::string& planFile);
// A plan checked whole from its text; the settings files its load steps
// name are read from `folder`, and the plan is named `planName` in failures.
Plan ReadPlanText(const std::string& text, const std::filesystem::path& folder, const std::string& planName);

// Every call of a transcript ("-": standard input); refused when a line is
// not a call or there is none.
std::vector<RecordedCall> ReadCalls(const std::string& file, Console& console);

// False, with a message, when the file cannot be written whole.
bool WriteOutputFile(const std::string& file, const std::string& text, Console& console);

}  // namespace kavr::cli
