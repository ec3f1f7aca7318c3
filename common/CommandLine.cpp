#include "CommandLine.h"

namespace velmor {

std::wstring ArgumentsOf(std::wstring_view commandLine) {
  std::size_t pos = 0;
  // The program name ends at the closing quote when it is quoted, else at the first space or tab.
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    pos = close == std::wstring_view::npos ? commandLine.size() : close + 1;
  } else {
    pos = commandLine.find_first_of(L" \t");
    if (pos == std::wstring_view::npos) pos = commandLine.size();
  }
  while (pos < commandLine.size() && (commandLine[pos] == L' ' || commandLine[pos] == L'\t')) ++pos;
  return std::wstring(commandLine.substr(pos));
}

}  // namespace velmor
