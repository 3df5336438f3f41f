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
#include "commands.h"
#include "output.h"
#include "reports/reports.h"

namespace kavr::cli {
namespace {

std::string ReadSettingsText(const std::string& file, std::istream& standardInput) {
  if (file == "-") return std::string(std::istreambuf_iterator<char>(standardInput), {});
  errno = 0;
  std::ifstream in(std::filesystem::path(std::u8string(file.begin(), file.end())), std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    throw Failure{kBadUsage,
                  "cannot read " + file + (errno != 0 ? ": " + std::string(std::strerror(errno)) : "")};
  }
  return text.str();
}

// The settings file's values, then those named on the command line.
template <typename Record>
FieldWrites RequestedValues(const Request& request, Console& console) {
  FieldWrites requested;
  if (request.settingsFile) {
    requested = FieldWritesFromJson<Record>(ReadSettingsText(*request.settingsFile, console.in));
    if (!requested.problem.empty())
      throw Failure{kBadUsage, *request.settingsFile + ": " + requested.problem};
  }
  const FieldWrites named = ParseAssignments<Record>(request.assignments);
  if (!named.problem.empty()) throw Failure{kBadUsage, named.problem};
  requested.values.insert(requested.values.end(), named.values.begin(), named.values.end());
  requested.notes.insert(requested.notes.end(), named.notes.begin(), named.notes.end());
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

// Read, change only the fields named, write back, report the record as
// written. A failed read writes nothing.
template <typename Record>
int WriteRecord(const Request& request, Session& session, Console& console,
                const RecordEntries<Record>& entries) {
  const FieldWrites requested = RequestedValues<Record>(request, console);
  const std::int32_t device = session.Device();
  Record record = ReadRecord(session, device, entries.readEntry, entries.read);
  ApplyFieldValues(WritableBytesOf(record), requested.values);
  session.Check(entries.writeEntry, (session.Library().*entries.write)(device, record));
  PrintText(console.out, entries.report(record, console.decimalSeparator));
  return kSuccess;
}

}  // namespace

int SetModeCommand(const Request& request, Session& session, Console& console) {
  return WriteRecord<KAVR_Mode>(request, session, console,
                                {Entry::GetMode, &ControllerLibrary::GetMode, Entry::SetMode,
                                 &ControllerLibrary::SetMode, ModeReportText});
}

int SetParametersCommand(const Request& request, Session& session, Console& console) {
  return WriteRecord<KAVR_Parameters>(
      request, session, console,
      {Entry::GetParameters, &ControllerLibrary::GetParameters, Entry::SetParameters,
       &ControllerLibrary::SetParameters, ParametersReportText});
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
