#pragma once

// What every family of steps shares: the program under test and its window, the waits that watch
// them, the step time limit and the test bed. Each family lists its steps in its own file:
// ProgramSteps.cpp (starting and finding, message boxes), InputSteps.cpp (acting as a user, the
// window's state), LayoutSteps.cpp, Accessibility.cpp (reader), TestBed.cpp (laying out the state),
// Checks.cpp (the outcome); Driver.cpp the common ones (case, sleep, timeout).

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Handles.h"
#include "Steps.h"
#include "TestBed.h"

namespace e2e {

inline constexpr unsigned long kDefaultTimeoutMs = 30000;

// ---- What the driver reads of other processes' windows (WindowQueries.cpp): texts, classes,
// owners, message boxes and check states, without ever waiting on a program that does not answer.

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
DWORD WindowProcessId(HWND hwnd);
std::vector<HWND> VisibleTopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);

// A button caption without its mnemonic markers ("終了(&X)" -> "終了(X)", "&&" -> "&").
std::wstring StripMnemonic(std::wstring_view s);

// A title pattern is exact, unless it ends with '*', which matches any rest.
bool TitleMatches(std::wstring_view pattern, std::wstring_view title);

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;
};

// A message box is a dialog (#32770) with the message text in its static control 0xFFFF.
std::optional<MessageBoxInfo> AsMessageBox(HWND hwnd);

std::wstring Describe(const MessageBoxInfo& box);

// The window of the thread of a window that has the keyboard focus, or null.
HWND FocusOf(HWND window);

// The check state of a check box or option button, read with a time limit so a blocked program
// cannot hang the driver; empty when the program does not answer.
std::optional<LRESULT> CheckState(HWND button);

// ---- The families of steps

// A family's steps and the kinds of words its shapes use.
struct Family {
  std::span<const Verb> verbs;
  std::span<const Kind> kinds = {};
};

Family CommonSteps();
Family ProgramSteps();
Family InputSteps();
Family LayoutSteps();
Family ReaderSteps();
Family StateSteps();
Family OutcomeSteps();

// The driver's output: each step as it starts and what it saw on stdout, failures on stderr;
// wide text to a console, UTF-8 bytes to a pipe or file.
void Out(std::wstring_view text);
void Err(std::wstring_view text);

class Driver;

// The stand-ins' journal's lines as they stand (Checks.cpp).
std::vector<std::wstring> JournalLines();

// Waits, within the step timeout, until the window's object no longer says that it is unavailable:
// the step the program was running has ended, and what is typed from now on is read
// (Accessibility.cpp).
void WaitUntilAvailable(Driver& d);

// What a waiting step watches besides its own condition.
struct Watch {
  bool messageBoxes = true;  // a message box of the process fails the step
  bool processEnd = true;    // the process ending fails the step
};

class Driver {
 public:
  Driver(TestBed& testBed, std::wstring artifactsFolder)
      : bed(testBed), artifacts(std::move(artifactsFolder)) {}

  TestBed& bed;
  const std::wstring artifacts;  // the scenario's artifacts folder, with a trailing backslash
  unsigned long timeoutMs = kDefaultTimeoutMs;
  std::vector<velmor::win32::UniqueHandle> launched;  // programs started beside it ("launch")
  std::set<std::wstring> seenTitles;                  // of the program's windows, since its start

  // The program under test, started by "start"; the window the last "window" step found.
  void Adopt(StartedProcess program);
  bool ProcessRunning() const;
  DWORD ExitCode() const;
  bool EndsWithin(unsigned long ms) const;
  DWORD RequireProcess() const;  // its id
  HWND RequireWindow() const;
  void SetWindow(HWND window) { window_ = window; }

  // Polls until done() holds (true) or ms have passed (false), failing at once on what the watch
  // names. (A program that crashes ends: the test prefix has Wine's crash dialog switched off.)
  bool Poll(unsigned long ms, const std::function<bool()>& done, Watch watch = {});
  // The same within the step time limit, failing at its end; what describes what was awaited.
  void WaitFor(const std::function<bool()>& done, const std::wstring& what, Watch watch = {});

  std::vector<MessageBoxInfo> MessageBoxesOfProcess() const;
  // A visible top-level window of the program with a title matching the pattern; not a message box.
  HWND FindTopWindow(const std::wstring& pattern) const;
  // A visible child control of the window, named by its caption (mnemonic markers ignored) or by
  // its class as "class:<name>", waited for; enabled too when asked.
  HWND WaitControl(const std::wstring& ref, bool enabled = false);

  // "case": the program of the case before must have ended; files it held are let go.
  void NewCase();
  // After a failed step: a picture of the whole screen and the journal for the report, and the
  // programs the scenario started ended.
  void AfterFailure(int caseNumber);
  void EndPrograms();

 private:
  void RecordTitles();

  velmor::win32::UniqueHandle process_;
  DWORD pid_ = 0;
  HWND window_ = nullptr;
};

}  // namespace e2e
