#include "output.h"

#include <ostream>

#include "app/terminal_text.h"

namespace kavr::cli {

void PrintText(std::ostream& out, std::string_view text) {
  for (const std::string& line : TerminalLines(text)) out << line << '\n' << std::flush;
}

void PrintFailure(std::ostream& err, std::string_view message) {
  PrintText(err, "kavrctl: " + std::string(message));
}

}  // namespace kavr::cli
