// The commands that write: the mode and the parameters (read, changed,
// written back), stop and save.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "app/actions.h"
#include "app/field_assignments.h"
#include "app/record_json.h"
#include "app/write_check.h"
#include "commands.h"
#include "output.h"
#include "reports/reports.h"
#include "transcript/input_file.h"

namespace kavr::cli {
namespace {

std::string ReadSettingsText(const std::string& file, std::istream& standardInput) {
  std::string problem;
  const std::optional<std::string> text =
      file == "-" ? ReadInputStream(standardInput, kLargestSettingsFile, problem)
                  : ReadInputFile(std::filesystem::path(std::u8string(file.begin(), file.end())),
                                  kLargestSettingsFile, problem);
  if (!text) throw Failure{kBadUsage, (file == "-" ? "standard input" : file) + ": " + problem};
  return *text;
}

// The settings file's values, then those named on the command line.
template <typename Record>
FieldWrites RequestedValues(const Request& request, Console& console) {
  FieldWrites requested;
  std::string problem;
  if (request.settingsFile) {
    auto fromFile = FieldWritesFromJson<Record>(ReadSettingsText(*request.settingsFile, console.in), problem);
    if (!fromFile) throw Failure{kBadUsage, *request.settingsFile + ": " + problem};
    requested = std::move(*fromFile);
  }
  const std::optional<FieldWrites> named = ParseAssignments<Record>(request.assignments, problem);
  if (!named) throw Failure{kBadUsage, problem};
  // Typed values are checked against the library's limits before anything is sent.
  for (const FieldValue& value : named->values) {
    if (auto limited = LimitProblem(value)) throw Failure{kBadUsage, *limited};
  }
  requested.values.insert(requested.values.end(), named->values.begin(), named->values.end());
  requested.notes.insert(requested.notes.end(), named->notes.begin(), named->notes.end());
  for (const std::string& note : requested.notes)
    PrintText(console.err, "kavrctl: " + note, "standard error");
  return requested;
}

template <typename Record>
struct RecordEntries {
  Entry readEntry;
  RecordCall<Record> read;
  Entry writeEntry;
  RecordCall<Record> write;
  std::string (*report)(const Record&, std::string_view);
};

const RecordEntries<KAVR_Mode> kModeEntries{Entry::GetMode, &ControllerLibrary::GetMode, Entry::SetMode,
                                            &ControllerLibrary::SetMode, ModeReportText};
const RecordEntries<KAVR_Parameters> kParametersEntries{
    Entry::GetParameters, &ControllerLibrary::GetParameters, Entry::SetParameters,
    &ControllerLibrary::SetParameters, ParametersReportText};

// Read, change only the fields named, write back; the report of the record
// as written. A failed read writes nothing.
template <typename Record>
std::string WriteRecord(Session& session, std::int32_t device, const RecordEntries<Record>& entries,
                        std::span<const FieldValue> values, std::string_view decimalSeparator) {
  Record record = ReadRecord(session, device, entries.readEntry, entries.read);
  if (auto limited = ChangedValueLimitProblem(BytesOf(record), values)) {
    throw Failure{kBadUsage, *limited + "; nothing was written"};
  }
  ApplyFieldValues(WritableBytesOf(record), values);
  session.Check(entries.writeEntry, (session.Library().*entries.write)(device, record));
  return entries.report(record, decimalSeparator);
}

template <typename Record>
std::vector<std::string> ReadBackDifferences(Session& session, std::int32_t device,
                                             const RecordEntries<Record>& entries,
                                             std::span<const FieldValue> values) {
  const Record readBack = ReadRecord(session, device, entries.readEntry, entries.read);
  return WriteDifferences(BytesOf(readBack), values);
}

template <typename Record>
int WriteCommand(const Request& request, Session& session, Console& console,
                 const RecordEntries<Record>& entries, PlanRecord record) {
  const FieldWrites requested = RequestedValues<Record>(request, console);
  const std::int32_t device = session.Device();
  PrintText(console.out, WriteRecord(session, device, entries, requested.values, console.decimalSeparator));
  if (request.verify) VerifyFields(session, device, record, requested.values);
  return kSuccess;
}

}  // namespace

std::vector<std::string> WrittenFieldDifferences(Session& session, std::int32_t device, PlanRecord record,
                                                 std::span<const FieldValue> values) {
  return record == PlanRecord::kMode ? ReadBackDifferences(session, device, kModeEntries, values)
                                     : ReadBackDifferences(session, device, kParametersEntries, values);
}

void VerifyFields(Session& session, std::int32_t device, PlanRecord record,
                  std::span<const FieldValue> values) {
  const std::vector<std::string> differences = WrittenFieldDifferences(session, device, record, values);
  if (differences.empty()) return;
  std::string message = "read back, the controller did not keep what was written:";
  for (const std::string& line : differences) message += "\n" + line;
  throw Failure{kCallFailed, message};
}

int SetModeCommand(const Request& request, Session& session, Console& console) {
  return WriteCommand(request, session, console, kModeEntries, PlanRecord::kMode);
}

int SetParametersCommand(const Request& request, Session& session, Console& console) {
  return WriteCommand(request, session, console, kParametersEntries, PlanRecord::kParameters);
}

int StopCommand(const Request&, Session& session, Console& console) {
  const std::int32_t device = session.Device();
  session.Check(Entry::Stop, session.Library().Stop(device));
  PrintText(console.out, kStopPrompt);
  return kSuccess;
}

int SaveCommand(const Request&, Session& session, Console& console) {
  const std::int32_t device = session.Device();
  session.Check(Entry::SaveParametersToFlash, session.Library().SaveParametersToFlash(device));
  PrintText(console.out, kSavePrompt);
  return kSuccess;
}

}  // namespace kavr::cli
