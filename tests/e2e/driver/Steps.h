#pragma once

// The steps language, as the README's test bed section describes it: reading a steps file into
// steps, checking each against the driver's verbs, running its cases, and the text helpers the
// steps share. Portable (no Win32), so that its rules are unit-tested natively.

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

// One argument of a step as its verb's shape reads it: the text, and for a number or a word of a
// kind its value.
struct Arg {
  std::wstring text;
  long value = 0;
};
using Args = std::vector<Arg>;

class Driver;
struct Step;

// A step the driver knows: its name (one word, or two for a family: "reader child"), the shape of
// its arguments, what runs it, and whether indented lines follow it. The shape is checked as the
// file is read, and what it read is what the step runs with:
//   <name>        a text: in a part with other fields, the words they leave (at least one); alone,
//                 the whole part; as the last part, the rest of the line, bars included
//   <name:n>      a number; <name:kind> a word of a kind (alone in a part: the whole part)
//   yes/no        one of these words
//   [field]       may be left out (the fields after it too); alone in a part, may be empty
//   field...      may come again, as the last field of a part or as the last part
//   |             the parts of a line, as the step separates them with bars
struct Verb {
  std::wstring_view name;
  std::wstring_view shape;
  void (*run)(Driver& driver, const Step& step) = nullptr;
  bool items = false;
};

// A kind of word in shapes: its value, or Failure for a word that is not of the kind.
struct Kind {
  std::wstring_view name;
  long (*read)(const std::wstring& text);
};

struct Step {
  std::wstring where;               // "<file>:<line>", and the values it came through
  std::wstring verb;                // the verb's name as the table has it ("click", "reader child")
  std::wstring rest;                // everything after the verb, trimmed
  std::vector<std::wstring> items;  // the indented lines under the step, trimmed
  const Verb* known = nullptr;      // the driver's verb, found as the file was read
  Args args;                        // the arguments, as its shape read them
};

// A step that did not pass, or a steps file that cannot be read; the message goes to stderr. One
// that stops the run ends every case, not only its own.
struct Failure {
  std::wstring message;
  bool stopsRun = false;
};

[[noreturn]] void Fail(std::wstring message);
[[noreturn]] void StopRun(std::wstring message);

struct StepsSource {
  // The bytes of a file (UTF-8), or nothing when it cannot be read (error says why).
  std::function<std::optional<std::string>(const std::wstring& path, std::wstring& error)> read;
  std::vector<Verb> verbs;
  std::vector<Kind> kinds;
  // Values given by the driver, e.g. the screen's DPI.
  std::map<std::wstring, std::wstring> builtins;
};

// The steps of a steps file (a full Windows path), includes and values resolved, each step's
// verb found and its arguments read. An included file gives its values and the steps before its
// first case: its cases are its own. Throws Failure, naming the file and line, for a file that
// cannot be read, an include loop or a malformed line, and, all at once, for every step that is
// unknown or whose arguments do not fit its shape.
std::vector<Step> ReadSteps(const std::wstring& path, const StepsSource& source);

// The arguments of a step of that verb and shape; Failure "expected <verb> <shape>" when they do
// not fit, or the kind's own when a word is not of its kind.
Args ReadArgs(std::wstring_view verb, std::wstring_view shape, const std::wstring& rest,
              std::span<const Kind> kinds);

// How a run went: the cases it ran, a line for each that failed (the steps before the first case
// count as case 0), and whether a failure ended the run.
struct RunReport {
  int cases = 0;
  std::vector<std::wstring> failures;
  bool stopped = false;
};

// Runs the steps before the first case, then every case, or only the one named by its number or
// by a part of its title that no other title holds. A failure ends its case: afterFailure is told
// the case's number and the next case begins. A failure before the first case, or one that stops
// the run, ends the run. Throws Failure, before anything runs, when no case or several are named.
RunReport RunCases(
    const std::vector<Step>& steps, const std::wstring& only,
    const std::function<void(const Step&)>& execute,
    const std::function<void(int number, const std::wstring& failure)>& afterFailure);

// The texts of the arguments from first on, without the empty ones.
std::vector<std::wstring> Texts(const Args& args, size_t first = 0);

// Fails with "<what>: expected [a | b], found [c]" unless both hold the same texts, in any order.
void ExpectSameTexts(const std::wstring& what, std::vector<std::wstring> want,
                     std::vector<std::wstring> have);

std::wstring Trim(std::wstring_view s);

// "\n" stands for a line break and "\\" for one backslash; any other backslash is literal, so
// Windows paths can be written as they are.
std::wstring Unescape(std::wstring_view s);

// The lines of a UTF-8 text (a byte order mark dropped), without their ends.
std::vector<std::wstring> TextLines(std::string_view utf8);

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

// A program and its arguments as a step gives them: a program path in double quotes may hold
// spaces.
std::pair<std::wstring, std::wstring> SplitCommand(const std::wstring& command);

// The folder part of a Windows path, with its trailing backslash ("" for a bare name).
std::wstring FolderOf(const std::wstring& path);

// A path relative to a folder, or the path itself when it is absolute ("C:\...", "\\server\...").
std::wstring JoinPath(const std::wstring& folder, const std::wstring& path);

}  // namespace e2e
