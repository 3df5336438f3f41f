// The commands that only read: the list, the records and the last error.
#include "app/device_list.h"
#include "app/field_assignments.h"
#include "app/record_json.h"
#include "app/terminal_text.h"
#include "commands.h"
#include "output.h"
#include "reports/reports.h"

namespace kavr::cli {
namespace {

template <typename Record>
using ReportBuilder = std::string (*)(const Record&, std::string_view);

// The record's report as the window shows it, or with --json all its fields.
template <typename Record>
int PrintRecord(const Request& request, Session& session, Console& console, Entry entry,
                RecordCall<Record> call, ReportBuilder<Record> report) {
  const std::int32_t device = session.Device();
  const Record record = ReadRecord(session, device, entry, call);
  PrintText(console.out, request.json ? RecordJson(record) : report(record, console.decimalSeparator));
  return kSuccess;
}

}  // namespace

int ListCommand(const Request&, Session& session, Console& console) {
  const DeviceList list = session.Devices();
  for (const std::string& line : DeviceLines(list.count, list.serials, list.versions)) {
    PrintText(console.out, TerminalSafe(line));
  }
  return kSuccess;
}

int StateCommand(const Request& request, Session& session, Console& console) {
  return PrintRecord<KAVR_State>(request, session, console, Entry::GetState, &ControllerLibrary::GetState,
                                 StateReportText);
}

int ModeCommand(const Request& request, Session& session, Console& console) {
  return PrintRecord<KAVR_Mode>(request, session, console, Entry::GetMode, &ControllerLibrary::GetMode,
                                ModeReportText);
}

int ParametersCommand(const Request& request, Session& session, Console& console) {
  return PrintRecord<KAVR_Parameters>(request, session, console, Entry::GetParameters,
                                      &ControllerLibrary::GetParameters, ParametersReportText);
}

int StartParametersCommand(const Request& request, Session& session, Console& console) {
  const std::int32_t device = session.Device();
  const auto start =
      ReadRecord(session, device, Entry::GetStartParameters, &ControllerLibrary::GetStartParameters);
  if (request.json) {
    PrintText(console.out, RecordJson(start));
    return kSuccess;
  }
  for (const RecordField& field : RecordFields<KAVR_StartParameters>()) {
    if (field.kind == FieldKind::kNotRead) continue;
    PrintText(console.out, std::string(field.name) + "=" + FieldValueText(BytesOf(start), field));
  }
  return kSuccess;
}

int LastErrorCommand(const Request&, Session& session, Console& console) {
  // Every run opens the library with Init, as the window does at start-up;
  // a library may keep its last error for the whole machine and give it
  // only to a caller that has done so. Init's own failure, if any, is then
  // the last error to show.
  DeviceList list;
  session.Library().Init(list.count, list.versions, list.serials);
  const std::string text = LastErrorText(session.Library());
  if (session.LibraryUnavailable(0)) throw Failure{kLibraryNotLoaded, TerminalSafe(text)};
  // The text's own line breaks stay, as in the window's error report.
  PrintText(console.out, text);
  return kSuccess;
}

}  // namespace kavr::cli
