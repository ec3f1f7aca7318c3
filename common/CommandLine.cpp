#include "CommandLine.h"

namespace velmor {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

wchar_t FoldAscii(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c; }

}  // namespace

bool BeginsWithUnquotedPath(std::wstring_view commandLine, std::wstring_view programPath) {
  if (programPath.empty() || commandLine.size() < programPath.size()) return false;
  for (std::size_t i = 0; i < programPath.size(); ++i) {
    if (FoldAscii(commandLine[i]) != FoldAscii(programPath[i])) return false;
  }
  return commandLine.size() == programPath.size() || IsBlank(commandLine[programPath.size()]);
}

std::size_t ArgumentsStart(std::wstring_view commandLine, std::wstring_view programPath) {
  std::size_t pos = 0;
  // The program name ends at the closing quote when it is quoted, after the program's own path when
  // that is written out unquoted, else at the first space or tab.
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    pos = close == std::wstring_view::npos ? commandLine.size() : close + 1;
  } else if (BeginsWithUnquotedPath(commandLine, programPath)) {
    pos = programPath.size();
  } else {
    pos = commandLine.find_first_of(L" \t");
    if (pos == std::wstring_view::npos) pos = commandLine.size();
  }
  while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
  return pos;
}

std::wstring ArgumentsOf(std::wstring_view commandLine, std::wstring_view programPath) {
  return std::wstring(commandLine.substr(ArgumentsStart(commandLine, programPath)));
}

}  // namespace velmor
