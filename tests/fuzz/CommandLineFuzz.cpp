// libFuzzer target over the setup program's command line: the split into program name and
// arguments, the reading of the add-in argument, and the message that reports a bad one; and over
// the long-path functions, with the same rest taken for a path.
//
// Input: the first byte picks how the command line is made of the rest, read as UTF-16 code units
// (little-endian pairs of bytes):
//   0: the rest is the whole command line; the program's path is fixed
//   1: the program's path, unquoted and with its letters' case from the byte, then the rest
//   2: the program's path in quotes, then the rest
//   3: the rest up to the first unit 0 is the program's path, and the command line is that path,
//      unquoted, followed by what comes after the 0
// Properties: the arguments never start inside the program's path when the line begins with it;
// the argument either chooses row 1 to 5 or is reported, and the report fits on the screen. The
// rest is also a path, as it is or behind a drive's or a server's root (the first byte's next
// bits): its extended-length form is made once and undone exactly, its folder is what comes before
// its last backslash, and the report of a folder too long names that folder and fits on the screen.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CommandLine.h"
#include "LongPath.h"
#include "MessageText.h"
#include "setup/AddinArgument.h"

namespace {

constexpr std::wstring_view kProgramPath = L"C:\\dist\\Velmor CD\\Velmor_Setup.exe";

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
  }
}

std::wstring Units(const std::uint8_t* data, std::size_t size) {
  std::wstring units;
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  }
  return units;
}

std::wstring WithCase(std::wstring_view path, std::uint8_t bits) {
  std::wstring out(path);
  for (std::size_t i = 0; i < out.size(); ++i) {
    const bool upper = ((bits >> (i % 8)) & 1) != 0;
    if (upper && out[i] >= L'a' && out[i] <= L'z') out[i] = static_cast<wchar_t>(out[i] - 32);
    if (!upper && out[i] >= L'A' && out[i] <= L'Z') out[i] = static_cast<wchar_t>(out[i] + 32);
  }
  return out;
}

// Every line of a message, as the message box shows it, fits on the screen.
void RequireFits(const std::wstring& message) {
  const std::wstring shown = velmor::FitMessageText(message);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = shown.find(L'\n', start);
    const std::wstring_view line = std::wstring_view(shown).substr(
        start, end == std::wstring::npos ? std::wstring::npos : end - start);
    Require(velmor::DisplayColumns(line) <= velmor::kMessageLineColumns, "every line fits");
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
}

void CheckArgument(const std::wstring& arguments) {
  const setup::AddinArgument choice = setup::ReadAddinArgument(arguments);
  if (choice.index) {
    Require(*choice.index >= 1 && *choice.index <= 5, "the chosen row is 1 to 5");
    return;
  }
  Require(!choice.text.empty(), "a rejected argument is not empty");
  const std::wstring message = setup::BadArgumentMessage(choice.text);
  Require(message.find(choice.text) != std::wstring::npos, "the report names the argument");
  RequireFits(message);
}

void CheckPath(const std::wstring& path) {
  Require(velmor::IsLongPath(path) == (path.size() >= velmor::kMaxPath),
          "a long path is one that reaches the limit with its terminating null");
  const std::wstring extended = velmor::ExtendedLengthPath(path);
  Require(velmor::ExtendedLengthPath(extended) == extended,
          "the extended-length form is made once");
  if (!path.starts_with(L"\\\\?\\")) {
    Require(velmor::WithoutExtendedPrefix(extended) == path,
            "the extended-length form is undone exactly");
  }
  const std::wstring folder = velmor::FolderOf(path);
  const std::size_t slash = path.rfind(L'\\');
  Require(folder == (slash == std::wstring::npos ? L"" : path.substr(0, slash)),
          "the folder is what comes before the last backslash");
  const velmor::RuntimeError tooLong = velmor::PathTooLongError(path);
  Require(tooLong.Object() == folder, "the report of a folder too long names it");
  RequireFits(velmor::FormatReport(tooLong));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[0] % 4;
  const std::uint8_t caseBits = data[0];
  const std::wstring rest = Units(data + 1, size - 1);

  std::wstring programPath(kProgramPath);
  std::wstring commandLine;
  std::size_t pathEnd = 0;  // where the program's path ends on the line, when it begins the line
  switch (mode) {
    case 0:
      commandLine = rest;
      if (velmor::BeginsWithUnquotedPath(commandLine, programPath)) pathEnd = programPath.size();
      break;
    case 1:
      commandLine = WithCase(programPath, caseBits) + rest;
      if (velmor::BeginsWithUnquotedPath(commandLine, programPath)) pathEnd = programPath.size();
      break;
    case 2:
      commandLine = L"\"" + programPath + L"\"" + rest;
      pathEnd = programPath.size() + 2;
      break;
    default: {
      const std::size_t zero = rest.find(L'\0');
      programPath = rest.substr(0, zero);
      commandLine = programPath + (zero == std::wstring::npos ? L"" : rest.substr(zero + 1));
      if (!programPath.empty() && programPath[0] != L'"' &&
          velmor::BeginsWithUnquotedPath(commandLine, programPath)) {
        pathEnd = programPath.size();
      }
      break;
    }
  }

  const std::size_t start = velmor::ArgumentsStart(commandLine, programPath);
  Require(start <= commandLine.size(), "the arguments start within the line");
  Require(start >= pathEnd, "the arguments never start inside the program's path");
  const std::wstring arguments = velmor::ArgumentsOf(commandLine, programPath);
  Require(arguments == commandLine.substr(start), "ArgumentsOf is the line from ArgumentsStart");
  Require(arguments.empty() || (arguments[0] != L' ' && arguments[0] != L'\t'),
          "the arguments start after the blanks");
  CheckArgument(arguments);
  const wchar_t* const roots[] = {L"", L"C:\\", L"\\\\"};
  CheckPath(roots[data[0] / 4 % 3] + rest);
  return 0;
}
