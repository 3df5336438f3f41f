#include "app/record_json.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "reports/number_format.h"

namespace kavr {
namespace {

using Json = nlohmann::ordered_json;

// A settings file is one flat object; this much nesting is room for any
// mistaken value while keeping the text of a refused value short to make.
constexpr std::size_t kDeepestNesting = 32;
// How much of a refused value its problem quotes.
constexpr std::size_t kLongestShownValue = 60;

// Why a text is refused, thrown from inside the parser to end it at once.
struct Refusal {
  std::string problem;
};

// Watches the parse: refuses a name given twice in one object and nesting
// beyond kDeepestNesting, and remembers the last name read, which names the
// field when a number turns out too large for the parser.
class ParseWatch {
 public:
  bool operator()(int, Json::parse_event_t event, Json& parsed) {
    using Event = Json::parse_event_t;
    switch (event) {
      case Event::object_start:
      case Event::array_start:
        if (open_.size() >= kDeepestNesting)
          throw Refusal{"nested deeper than " + std::to_string(kDeepestNesting) + " levels"};
        open_.emplace_back();
        break;
      case Event::object_end:
      case Event::array_end:
        if (!open_.empty()) open_.pop_back();
        break;
      case Event::key:
        lastName_ = parsed.get<std::string>();
        if (!open_.empty() && !open_.back().insert(lastName_).second)
          throw Refusal{lastName_ + " is named twice; name each field once"};
        break;
      case Event::value:
        break;
    }
    return true;
  }

  const std::string& LastName() const { return lastName_; }

 private:
  std::vector<std::set<std::string>> open_;  // the names of each open object
  std::string lastName_;
};

// A value as a problem quotes it, cut short when long.
std::string Shown(const Json& json) {
  std::string shown = json.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (shown.size() > kLongestShownValue) shown = shown.substr(0, kLongestShownValue) + "...";
  return shown;
}

// The parser refuses a number beyond a double ("number overflow parsing
// '1e999'"); refused here as the same number on the command line is, for
// the field it was given to.
std::string OverflowProblem(const std::string& what, const std::string& name,
                            std::span<const RecordField> fields, std::string_view recordName) {
  const std::size_t open = what.find('\'');
  const std::size_t close = what.rfind('\'');
  std::string number =
      open != std::string::npos && close > open ? what.substr(open + 1, close - open - 1) : "a number";
  if (number.size() > kLongestShownValue) number = number.substr(0, kLongestShownValue) + "...";
  std::string problem;
  const RecordField* field = WritableField(fields, recordName, name, problem);
  if (name.empty() || field == nullptr) return name.empty() ? number + " is too large" : problem;
  const bool negative = number.starts_with('-');
  if (field->kind == FieldKind::kFloat) {
    FloatFieldValue(*field, negative ? -HUGE_VAL : HUGE_VAL, number, problem);
  } else if (field->kind == FieldKind::kFlag) {
    problem = std::string(field->name) + ": " + number + " is not a flag (true, false, 0 or 1)";
  } else {
    IntegerFieldValue(
        *field,
        negative ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max(),
        number, problem);
  }
  return problem;
}

// A float as the double whose shortest text is the float's shortest text,
// so that "0.1" is written rather than 0.10000000149011612; reading that
// text back and narrowing it gives the float again.
Json FloatJson(float value) {
  if (!std::isfinite(value)) return RenderNumber(value, "0", ".");
  char text[32];
  const char* end = std::to_chars(text, text + sizeof text, value).ptr;
  double widened = 0.0;
  std::from_chars(text, end, widened);
  return widened;
}

Json FieldJson(RecordBytes record, const RecordField& field) {
  switch (field.kind) {
    case FieldKind::kFlag:
      return IsSet(static_cast<Flag>(ReadInteger(record, field)));
    case FieldKind::kFloat:
      return FloatJson(ReadFloat(record, field));
    case FieldKind::kInt32:
    case FieldKind::kInt16:
    case FieldKind::kUInt8:
      return ReadInteger(record, field);
    case FieldKind::kNotRead:
      break;
  }
  return nullptr;
}

// The non-finite floats by the names FloatJson writes them under.
std::optional<float> NonFiniteNamed(const std::string& name) {
  for (const float value : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity()}) {
    if (RenderNumber(value, "0", ".") == name) return value;
  }
  return std::nullopt;
}

std::optional<FieldValue> ValueFromJson(const RecordField& field, const Json& json, std::string& problem) {
  const std::string shown = Shown(json);
  if (field.kind == FieldKind::kFlag && json.is_boolean())
    return FieldValue{&field, json.get<bool>() ? 1 : 0, 0.0f};
  if (field.kind == FieldKind::kFloat) {
    if (json.is_number()) return FloatFieldValue(field, json.get<double>(), shown, problem);
    if (json.is_string()) {
      if (const auto value = NonFiniteNamed(json.get<std::string>())) return FieldValue{&field, 0, *value};
    }
    problem = std::string(field.name) + ": " + shown + " is not a number";
    return std::nullopt;
  }
  if (json.is_number_unsigned()) {
    // Anything beyond the signed 64-bit range is beyond every field's range.
    const auto value = json.get<std::uint64_t>();
    return IntegerFieldValue(
        field,
        static_cast<std::int64_t>(std::min<std::uint64_t>(value, std::numeric_limits<std::int64_t>::max())),
        shown, problem);
  }
  if (json.is_number_integer()) return IntegerFieldValue(field, json.get<std::int64_t>(), shown, problem);
  problem =
      std::string(field.name) + ": " + shown +
      (field.kind == FieldKind::kFlag ? " is not a flag (true, false, 0 or 1)" : " is not a whole number");
  return std::nullopt;
}

}  // namespace

std::string RecordJson(RecordBytes record, std::span<const RecordField> fields) {
  Json object = Json::object();
  for (const RecordField& field : fields) {
    if (field.kind != FieldKind::kNotRead) object[std::string(field.name)] = FieldJson(record, field);
  }
  return object.dump(2);
}

FieldWrites FieldWritesFromJson(std::string_view text, std::span<const RecordField> fields,
                                std::string_view recordName) {
  Json json;
  ParseWatch watch;
  try {
    json = Json::parse(text, std::ref(watch));
  } catch (const Refusal& refusal) {
    return RefusedWrites(refusal.problem);
  } catch (const Json::out_of_range& error) {
    return RefusedWrites(OverflowProblem(error.what(), watch.LastName(), fields, recordName));
  } catch (const Json::exception& error) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    const std::string what = error.what();
    const std::size_t bracket = what.find(']');
    return RefusedWrites("not JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2)));
  }
  if (!json.is_object()) return RefusedWrites("not a JSON object of " + std::string(recordName) + " fields");
  FieldWrites parsed;
  for (const auto& [name, value] : json.items()) {
    std::string problem;
    const RecordField* field = WritableField(fields, recordName, name, problem);
    if (field == nullptr) return RefusedWrites(problem);
    const auto checked = ValueFromJson(*field, value, problem);
    if (!checked) return RefusedWrites(problem);
    parsed.values.push_back(*checked);
    if (field->kind == FieldKind::kFloat && value.is_number()) {
      if (auto note = FloatSentNote(field->name, Shown(value), checked->real))
        parsed.notes.push_back(std::move(*note));
    }
  }
  return parsed;
}

}  // namespace kavr
