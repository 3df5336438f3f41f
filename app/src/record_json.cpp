#include "app/record_json.h"

#include <charconv>
#include <cmath>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "app/problem.h"
#include "reports/number_format.h"

namespace kavr {
namespace {

using Json = nlohmann::ordered_json;

// A settings file is one flat object; this much nesting is room for any
// mistaken value while keeping the text of a refused value short to make.
constexpr std::size_t kDeepestNesting = 32;
// More than any record has fields: an object wider than this is refused as
// it is read, which keeps the reading linear.
constexpr std::size_t kMostMembers = 256;
// How much of a refused value its problem quotes.
constexpr std::size_t kLongestShownValue = 60;

// A first reading of the text, before any value is kept: it stops at the
// first name given twice in one object, nesting beyond kDeepestNesting, a
// number too large for a double or too small to be told from 0, or text
// that is not JSON, and says why. The last name read names the field.
class TextCheck : public nlohmann::json_sax<Json> {
 public:
  // What to say of a number beyond a double (tooLarge) or below one,
  // given to the name read last.
  using NumberProblem =
      std::function<std::string(const std::string& number, bool tooLarge, const std::string& name)>;
  // False, with the problem, for a name the top object may not hold: the
  // reading stops at the first, however many follow.
  using NameCheck = std::function<bool(const std::string& name, std::string& problem)>;

  TextCheck(NumberProblem numberProblem, NameCheck topName)
      : numberProblem_(std::move(numberProblem)), topName_(std::move(topName)) {}

  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t value, const string_t& text) override {
    // A nonzero digit before any exponent, read as 0: gone below a double.
    const bool underflow = value == 0.0 && text.find_first_of("123456789") < text.find_first_of("eE");
    return !underflow || Refuse(numberProblem_(text, false, lastName_));
  }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return Open(); }
  bool end_object() override { return Close(); }
  bool start_array(std::size_t) override { return Open(); }
  bool end_array() override { return Close(); }
  bool key(string_t& name) override {
    lastName_ = name;
    std::string problem;
    if (open_.size() == 1 && !topName_(name, problem)) return Refuse(problem);
    if (open_.back().size() >= kMostMembers)
      return Refuse("an object of more than " + std::to_string(kMostMembers) + " members");
    return open_.back().insert(name).second || Refuse(name + " is named twice; name each field once");
  }
  bool parse_error(std::size_t, const std::string& token, const nlohmann::detail::exception& error) override {
    // The parser's out_of_range 406: "number overflow parsing '1e999'".
    if (error.id == 406) return Refuse(numberProblem_(token, true, lastName_));
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..."
    const std::string what = error.what();
    const std::size_t bracket = what.find(']');
    return Refuse("not JSON: " + (bracket == std::string::npos ? what : what.substr(bracket + 2)));
  }

  const std::string& Problem() const { return problem_; }

 private:
  bool Open() {
    if (open_.size() >= kDeepestNesting)
      return Refuse("nested deeper than " + std::to_string(kDeepestNesting) + " levels");
    open_.emplace_back();
    return true;
  }
  bool Close() {
    open_.pop_back();
    return true;
  }
  bool Refuse(std::string problem) {
    problem_ = std::move(problem);
    return false;
  }

  NumberProblem numberProblem_;
  NameCheck topName_;
  std::vector<std::set<std::string>> open_;  // the names of each open object or array
  std::string lastName_;
  std::string problem_;
};

// A value as a problem quotes it, cut short when long.
std::string Shown(const Json& json) {
  std::string shown = json.dump(-1, ' ', false, Json::error_handler_t::replace);
  if (shown.size() > kLongestShownValue) shown = shown.substr(0, kLongestShownValue) + "...";
  return shown;
}

// A number the parser cannot hold (beyond a double, or nonzero but below
// one), refused as the same number on the command line is, for the field
// it was given to.
std::string NumberProblem(std::string number, bool tooLarge, const std::string& name,
                          std::span<const RecordField> fields, std::string_view recordName) {
  if (number.size() > kLongestShownValue) number = number.substr(0, kLongestShownValue) + "...";
  std::string problem;
  const RecordField* field = WritableField(fields, recordName, name, problem);
  if (name.empty() || field == nullptr)
    return name.empty() ? number + (tooLarge ? " is too large" : " is too small") : problem;
  const bool negative = number.starts_with('-');
  if (field->kind == FieldKind::kFlag) {
    problem = std::string(field->name) + ": " + number + " is not a flag (true, false, 0 or 1)";
  } else if (!tooLarge) {
    FloatFieldValue(*field, std::numeric_limits<double>::denorm_min(), number, problem);
    if (field->kind != FieldKind::kFloat)
      problem = std::string(field->name) + ": " + number + " is not a whole number";
  } else if (field->kind == FieldKind::kFloat) {
    FloatFieldValue(*field, negative ? -HUGE_VAL : HUGE_VAL, number, problem);
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

std::string RecordJson(RecordBytes record, std::span<const RecordField> fields, int indent) {
  Json object = Json::object();
  for (const RecordField& field : fields) {
    if (field.kind != FieldKind::kNotRead) object[std::string(field.name)] = FieldJson(record, field);
  }
  return object.dump(indent);
}

std::optional<FieldWrites> FieldWritesFromJson(std::string_view text, std::span<const RecordField> fields,
                                               std::string_view recordName, std::string& problem) {
  TextCheck check(
      [&](const std::string& number, bool tooLarge, const std::string& name) {
        return NumberProblem(number, tooLarge, name, fields, recordName);
      },
      [&](const std::string& name, std::string& nameProblem) {
        return WritableField(fields, recordName, name, nameProblem) != nullptr;
      });
  // The parser takes a NUL for the end of the text and ignores what follows.
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    return Fail(problem,
                "not JSON: a NUL byte at byte " + std::to_string(nul + 1) + "; nothing may follow the value");
  }
  Json json;
  try {
    if (!Json::sax_parse(text, &check)) return Fail(problem, check.Problem());
    json = Json::parse(text);
  } catch (const Json::exception& error) {
    // Whatever the check let through and the parser did not take.
    return Fail(problem, std::string("not JSON: ") + error.what());
  }
  if (!json.is_object()) return Fail(problem, "not a JSON object of " + std::string(recordName) + " fields");
  FieldWrites parsed;
  for (const auto& [name, value] : json.items()) {
    const RecordField* field = WritableField(fields, recordName, name, problem);
    if (field == nullptr) return std::nullopt;
    const auto checked = ValueFromJson(*field, value, problem);
    if (!checked) return std::nullopt;
    parsed.values.push_back(*checked);
    if (field->kind == FieldKind::kFloat && value.is_number()) {
      if (auto note = FloatSentNote(field->name, Shown(value), checked->real))
        parsed.notes.push_back(std::move(*note));
    }
  }
  return parsed;
}

}  // namespace kavr
