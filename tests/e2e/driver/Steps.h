#pragma once

// The steps file and its words: reading the steps, splitting a step's arguments, the text helpers
// the steps share, and the failure that ends a run.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

struct Step {
  int line = 0;
  std::wstring verb;
  std::wstring rest;  // everything after the verb, trimmed
};

// A step that did not pass; its message goes to stderr.
struct Failure {
  std::wstring message;
};

[[noreturn]] void Fail(std::wstring message);

// Writes to stdout/stderr: wide text to a console, UTF-8 bytes to a pipe or file.
void Out(std::wstring_view text);
void Err(std::wstring_view text);

std::wstring Trim(std::wstring_view s);

// "\n" stands for a line break and "\\" for one backslash; any other backslash is literal, so
// Windows paths can be written as they are.
std::wstring Unescape(std::wstring_view s);

// Message box texts may use CR LF or LF; compare them with LF only.
std::wstring WithoutCR(std::wstring s);

// Shows control characters so that failure messages stay on one line.
std::wstring Quote(std::wstring_view s);

// Whether the driver has a step of that name (its table comes with the driver).
bool IsKnownVerb(std::wstring_view verb);

// The steps of a UTF-8 steps file; empty, with error set, when the file cannot be read or names
// a step the driver does not have.
std::optional<std::vector<Step>> ReadSteps(const std::wstring& path, std::wstring& error);

// The step as the steps file has it, for echoes and failures.
std::wstring StepText(const Step& step);

// Splits "a | b | c" at each '|', trimming the parts.
std::vector<std::wstring> SplitBars(std::wstring_view s);

// "<text> <number>": the number is the last word.
std::pair<std::wstring, unsigned long> SplitTrailingNumber(const std::wstring& rest);

unsigned long RequireNumber(const std::wstring& s, const wchar_t* what);

}  // namespace e2e
