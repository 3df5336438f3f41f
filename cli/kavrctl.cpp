#include "kavrctl.h"

#include "command_line.h"
#include "output.h"
#include "session.h"

namespace kavr::cli {

int RunKavrctl(const std::vector<std::string>& args, const LibraryFactory& openLibrary, Console& console) {
  Request request;
  if (const auto ended = ParseCommandLine(args, request, console)) return *ended;
  Session session(request, openLibrary);
  try {
    return request.run(request, session, console);
  } catch (const Failure& failure) {
    PrintFailure(console.err, failure.message);
    return failure.code;
  }
}

}  // namespace kavr::cli
