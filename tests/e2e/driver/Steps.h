#pragma once

// The steps language: reading a steps file into steps, and the text helpers the steps share.
// Portable (no Win32), so that its rules are unit-tested natively.
//
//   # a comment                     whole lines only; blank lines are skipped
//   include testbed.steps           the steps of another file, relative to this one
//   let NAME = text                 a named value; $NAME in later lines stands for the text
//   let NAME(A, B) = ... $A ... $B  a value with parameters: $NAME(x, y)
//   let NAME =                      a value of several lines: the indented lines below it
//       line
//   verb rest                       a step
//       item                        an indented line under a step is one item of its list
//
// A line that is only $NAME stands for all of that value's lines (steps, or items under a step).
// Values are expanded as the file is read, with the definitions made so far; "$$" is one "$",
// and a "$" not followed by a capital letter is taken as it is.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

struct Step {
  std::wstring where;  // "<file>:<line>", and the values it came through
  std::wstring verb;
  std::wstring rest;                // everything after the verb, trimmed
  std::vector<std::wstring> items;  // the indented lines under the step, trimmed
};

// A step that did not pass, or a steps file that cannot be read; the message goes to stderr.
struct Failure {
  std::wstring message;
};

[[noreturn]] void Fail(std::wstring message);

struct StepsSource {
  // The bytes of a file (UTF-8), or nothing when it cannot be read (error says why).
  std::function<std::optional<std::string>(const std::wstring& path, std::wstring& error)> read;
  // Whether the driver has a step of that name.
  std::function<bool(std::wstring_view verb)> isVerb;
  // Values given by the driver, e.g. the screen's DPI.
  std::map<std::wstring, std::wstring> builtins;
};

// The steps of a steps file (a full Windows path), includes and values resolved. Throws Failure,
// naming the file and line, for a file that cannot be read, an unknown step or value, an include
// loop or a malformed line.
std::vector<Step> ReadSteps(const std::wstring& path, const StepsSource& source);

std::wstring Trim(std::wstring_view s);

// "\n" stands for a line break and "\\" for one backslash; any other backslash is literal, so
// Windows paths can be written as they are.
std::wstring Unescape(std::wstring_view s);

// Message box texts may use CR LF or LF; compare them with LF only.
std::wstring WithoutCR(std::wstring s);

// Shows control characters so that failure messages stay on one line.
std::wstring Quote(std::wstring_view s);

// The step as the steps file has it, for echoes and failures.
std::wstring StepText(const Step& step);

// Splits "a | b | c" at each '|', trimming the parts.
std::vector<std::wstring> SplitBars(std::wstring_view s);

// The words of a text, split at spaces and tabs; a word in double quotes may hold spaces (the
// quotes are dropped).
std::vector<std::wstring> Words(std::wstring_view s);

// "<text> <number>": the number is the last word.
std::pair<std::wstring, unsigned long> SplitTrailingNumber(const std::wstring& rest);

unsigned long RequireNumber(const std::wstring& s, const wchar_t* what);

// The folder part of a Windows path, with its trailing backslash ("" for a bare name).
std::wstring FolderOf(const std::wstring& path);

// A path relative to a folder, or the path itself when it is absolute ("C:\...", "\\server\...").
std::wstring JoinPath(const std::wstring& folder, const std::wstring& path);

}  // namespace e2e
