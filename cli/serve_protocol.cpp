#include "serve_protocol.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <limits>

namespace kavr::cli {
namespace {

// How much of a value an error message quotes.
constexpr std::size_t kLongestQuoted = 60;
// Far beyond any request's nesting; keeps a hostile line from recursing deep.
constexpr int kDeepestNesting = 64;

std::string Dumped(const Json& json) { return json.dump(-1, ' ', false, Json::error_handler_t::replace); }

std::string Quoted(const Json& json) {
  std::string text = Dumped(json);
  if (text.size() > kLongestQuoted) text = text.substr(0, kLongestQuoted) + "...";
  return text;
}

// Refuses nesting deeper than kDeepestNesting before the parser builds it.
bool NestedTooDeep(std::string_view line) {
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '{' || c == '[') {
      if (++depth > kDeepestNesting) return true;
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
  return false;
}

[[noreturn]] void WrongType(std::string_view name, const Json& value, std::string_view wanted) {
  throw RpcError{kInvalidParams,
                 "params." + std::string(name) + ": " + Quoted(value) + " is not " + std::string(wanted)};
}

const Json* Member(const Json& params, std::string_view name) {
  const auto found = params.find(std::string(name));
  return found == params.end() || found->is_null() ? nullptr : &*found;
}

}  // namespace

std::optional<RpcRequest> ReadRpcRequest(std::string_view line, RpcError& error, Json& id) {
  id = nullptr;
  const auto refuse = [&](int code, std::string message) {
    error = RpcError{code, std::move(message)};
    return std::nullopt;
  };
  if (NestedTooDeep(line))
    return refuse(kParseError, "not JSON: nested deeper than " + std::to_string(kDeepestNesting) + " levels");
  Json json = Json::parse(line, nullptr, false);
  if (json.is_discarded()) return refuse(kParseError, "not JSON");
  if (!json.is_object())
    return refuse(kInvalidRequest, "not a JSON object: a request is {\"jsonrpc\": \"2.0\", ...}");
  RpcRequest request;
  if (const auto found = json.find("id"); found != json.end()) {
    if (!(found->is_string() || found->is_number_integer() || found->is_null()))
      return refuse(kInvalidRequest, "id: " + Quoted(*found) + " is not a string, a whole number or null");
    request.id = id = *found;
  } else {
    request.notification = true;
  }
  const auto version = json.find("jsonrpc");
  if (version == json.end() || *version != "2.0") return refuse(kInvalidRequest, "jsonrpc: must be \"2.0\"");
  const auto method = json.find("method");
  if (method == json.end() || !method->is_string())
    return refuse(kInvalidRequest, "method: missing or not a string");
  request.method = method->get<std::string>();
  if (const auto params = json.find("params"); params != json.end() && !params->is_null()) {
    if (!params->is_object()) return refuse(kInvalidParams, "params: must be an object of named parameters");
    request.params = std::move(*params);
  }
  for (const auto& [name, value] : json.items()) {
    if (name != "jsonrpc" && name != "id" && name != "method" && name != "params")
      return refuse(kInvalidRequest, "\"" + Quoted(Json(name)) + "\" is no member of a request");
  }
  return request;
}

std::string ResultLine(const Json& id, std::string_view result) {
  std::string line = "{\"jsonrpc\":\"2.0\",\"id\":" + Dumped(id) + ",\"result\":";
  line += result;
  line += '}';
  return line;
}

std::string ErrorLine(const Json& id, const RpcError& error) {
  Json object = Json::object();
  object["code"] = error.code;
  object["message"] = error.message;
  if (!error.data.is_null()) object["data"] = error.data;
  return "{\"jsonrpc\":\"2.0\",\"id\":" + Dumped(id) + ",\"error\":" + Dumped(object) + "}";
}

LineRead ReadRequestLine(std::istream& in, std::string& line, std::size_t limit) {
  line.clear();
  std::streambuf* buffer = in.rdbuf();
  bool tooLong = false;
  bool any = false;
  for (;;) {
    const auto next = buffer->sbumpc();
    if (next == std::char_traits<char>::eof()) {
      in.setstate(std::ios::eofbit);
      if (!any) return LineRead::kEnd;
      break;
    }
    any = true;
    const char c = std::char_traits<char>::to_char_type(next);
    if (c == '\n') break;
    if (line.size() >= limit) {
      tooLong = true;
      line.clear();
      line.shrink_to_fit();
      limit = 0;
      continue;
    }
    if (!tooLong) line += c;
  }
  if (tooLong) return LineRead::kTooLong;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return LineRead::kLine;
}

std::optional<std::int64_t> IntegerParam(const Json& params, std::string_view name) {
  const Json* value = Member(params, name);
  if (value == nullptr) return std::nullopt;
  if (value->is_number_unsigned())
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(value->get<std::uint64_t>(), std::numeric_limits<std::int64_t>::max()));
  if (value->is_number_integer()) return value->get<std::int64_t>();
  if (value->is_number_float()) {
    const double number = value->get<double>();
    // 3.0 is a whole number too; the range is the caller's to check.
    if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 9.0e18)
      return static_cast<std::int64_t>(number);
  }
  WrongType(name, *value, "a whole number");
}

std::optional<double> NumberParam(const Json& params, std::string_view name) {
  const Json* value = Member(params, name);
  if (value == nullptr) return std::nullopt;
  if (!value->is_number()) WrongType(name, *value, "a number");
  return value->get<double>();
}

std::optional<std::string> StringParam(const Json& params, std::string_view name) {
  const Json* value = Member(params, name);
  if (value == nullptr) return std::nullopt;
  if (!value->is_string()) WrongType(name, *value, "a string");
  return value->get<std::string>();
}

std::optional<bool> BoolParam(const Json& params, std::string_view name) {
  const Json* value = Member(params, name);
  if (value == nullptr) return std::nullopt;
  if (!value->is_boolean()) WrongType(name, *value, "true or false");
  return value->get<bool>();
}

const Json* ObjectParam(const Json& params, std::string_view name) {
  const Json* value = Member(params, name);
  if (value != nullptr && !value->is_object()) WrongType(name, *value, "an object");
  return value;
}

}  // namespace kavr::cli
