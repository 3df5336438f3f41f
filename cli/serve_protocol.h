// kavrctl serve's wire: JSON-RPC 2.0, one JSON object per line each way.
// A request line read into its method and parameters, or refused with the
// error to answer; the response lines written. Nothing here calls the
// library, so that any line can be thrown at the reader alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace kavr::cli {

using Json = nlohmann::ordered_json;

// The longest request line taken; a longer one is discarded unread and
// answered.
inline constexpr std::size_t kLongestRequestLine = std::size_t{1} << 20;

// Error codes: the protocol's own, then one per kind of failure, the
// numbers kavrctl exits with for the same failure.
enum RpcErrorCode : int {
  kParseError = -32700,
  kInvalidRequest = -32600,
  kMethodNotFound = -32601,
  kInvalidParams = -32602,
  kRpcRefused = 1,  // a value refused; nothing was sent
  kRpcCallFailed = 2,
  kRpcNoController = 3,
  kRpcNotChosen = 4,
  kRpcLibraryNotLoaded = 5,
  kRpcTimedOut = 6,
  kRpcOutputFailed = 8,
  kRpcVerifyFailed = 9,
};

// An error response: thrown by a method, written as the error object.
struct RpcError {
  int code = kInvalidRequest;
  std::string message;
  Json data = nullptr;  // null: no data member
};

struct RpcRequest {
  Json id = nullptr;
  bool notification = false;  // no id: no response
  std::string method;
  Json params = Json::object();
};

// The request on `line`, or the error to answer it with; `id` is whatever
// of the id could be read (null when none).
std::optional<RpcRequest> ReadRpcRequest(std::string_view line, RpcError& error, Json& id);

// One response line, without its line end. `result` is JSON text.
std::string ResultLine(const Json& id, std::string_view result);
std::string ErrorLine(const Json& id, const RpcError& error);

enum class LineRead { kLine, kTooLong, kEnd };

// The next line of `in` without its line end (a CR before the LF is
// dropped too). A line longer than `limit` is skipped to its end and only
// reported. The last line counts even without a line end.
LineRead ReadRequestLine(std::istream& in, std::string& line, std::size_t limit = kLongestRequestLine);

// The parameter `name` of the request, checked for its type; absent or null
// gives nothing. Wrongly typed: throws kInvalidParams naming it.
std::optional<std::int64_t> IntegerParam(const Json& params, std::string_view name);
std::optional<double> NumberParam(const Json& params, std::string_view name);
std::optional<std::string> StringParam(const Json& params, std::string_view name);
std::optional<bool> BoolParam(const Json& params, std::string_view name);
const Json* ObjectParam(const Json& params, std::string_view name);
// As above, and throws kInvalidParams when it is absent.
template <typename T>
T Required(const std::optional<T>& value, std::string_view name) {
  if (!value) throw RpcError{kInvalidParams, "params." + std::string(name) + " is missing"};
  return *value;
}

}  // namespace kavr::cli
