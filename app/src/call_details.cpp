#include "app/call_details.h"

#include <algorithm>
#include <charconv>

#include "transcript/record_fields.h"

namespace kavr {
namespace {

std::string FloatText(float value) {
  char text[32];
  return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

// Empty when the bytes do not reach the field (a short record is shown as
// far as it goes, never read past).
std::string ValueText(const std::vector<std::uint8_t>& bytes, const RecordField& field) {
  if (field.offset + field.size > bytes.size()) return {};
  const RecordBytes record(bytes);
  switch (field.kind) {
    case FieldKind::kFloat:
      return FloatText(ReadFloat(record, field));
    case FieldKind::kNotRead:
      return HexBytes({bytes.begin() + static_cast<std::ptrdiff_t>(field.offset),
                       bytes.begin() + static_cast<std::ptrdiff_t>(field.offset + field.size)});
    default:
      return std::to_string(ReadInteger(record, field));
  }
}

std::string Padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::vector<FieldValues> RecordFieldValues(const LibraryCall& call) {
  std::vector<FieldValues> values;
  const RecordKind* kind = RecordKindNamed(call.recordType);
  if (kind == nullptr) return values;
  for (const RecordField& field : kind->fields) {
    FieldValues value{std::string(field.name), ValueText(call.sent, field), ValueText(call.returned, field)};
    value.changed = value.sent != value.returned;
    values.push_back(std::move(value));
  }
  return values;
}

std::string CallDetailsText(const CallLogRow& row) {
  const LibraryCall& call = row.call;
  std::string text = RowText(row) + '\n';
  if (row.count > 1) text += "The latest of these polls:\n";

  std::vector<FieldValues> lines;
  for (const CallScalar& scalar : call.scalars) {
    lines.push_back({scalar.name, scalar.sent, scalar.returned,
                     !scalar.sent.empty() && !scalar.returned.empty() && scalar.sent != scalar.returned});
  }
  const std::vector<FieldValues> fields = RecordFieldValues(call);
  lines.insert(lines.end(), fields.begin(), fields.end());
  if (!lines.empty()) {
    std::size_t nameWidth = 5, sentWidth = 4;
    for (const FieldValues& line : lines) {
      nameWidth = std::max(nameWidth, line.name.size());
      sentWidth = std::max(sentWidth, line.sent.size());
    }
    if (!call.recordType.empty()) text += call.recordType + ", as sent and as returned:\n";
    text += "  " + Padded("Field", nameWidth) + "  " + Padded("Sent", sentWidth) + "  Returned\n";
    for (const FieldValues& line : lines) {
      std::string row = (line.changed ? "* " : "  ") + Padded(line.name, nameWidth) + "  " +
                        Padded(line.sent, sentWidth) + "  " + line.returned;
      text += row.erase(row.find_last_not_of(' ') + 1) + '\n';
    }
    text += "(* changed by the call)\n";
  }
  for (const CallText& returned : call.texts) {
    // Without the code-0 characters that pad the buffer to its length.
    const std::size_t end = returned.text.find_last_not_of('\0');
    const std::size_t length = end == std::string::npos ? 0 : end + 1;
    text += returned.name + ": " + QuotedText(std::string_view(returned.text).substr(0, length)) + '\n';
  }
  return text;
}

}  // namespace kavr
