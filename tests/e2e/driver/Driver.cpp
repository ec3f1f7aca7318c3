// e2e_driver: runs a scenario, a steps file, against the programs of the build: lays out the
// state, drives the windows as a person would and checks the outcome.
//
//   e2e_driver.exe <steps file (UTF-8)>
//
// The programs are found in the build folder, the nearest folder above the driver that holds
// CMakeCache.txt; screenshots go to its artifacts\<scenario> folder. Relative paths in the steps
// start from the steps file's folder.
//
// Exit code 0 when every step passed; 1 at the first step that failed or timed out (the reason,
// the journal and a picture of the screen, artifacts\<scenario>\failure.png, are left behind);
// 2 for a usage or steps-file error. Each step is echoed as it starts.

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Accessibility.h"
#include "Checks.h"
#include "Console.h"
#include "DescribeError.h"
#include "Handles.h"
#include "LayoutSteps.h"
#include "Pixels.h"
#include "RuntimeError.h"
#include "Steps.h"
#include "TestBed.h"
#include "Utf8.h"
#include "Win32Support.h"
#include "WindowQueries.h"

namespace e2e {
namespace {

using velmor::win32::UniqueHandle;

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kPollInterval = 40ms;
constexpr unsigned long kDefaultTimeoutMs = 30000;
constexpr unsigned long kRunTimeoutMs = 60000;

// The short (8.3) form of an existing path; empty when the system cannot give one.
std::wstring ShortPathName(const std::wstring& path) {
  const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (needed == 0) return {};
  std::wstring shortForm(needed, L'\0');
  const DWORD length = GetShortPathNameW(path.c_str(), shortForm.data(), needed);
  if (length == 0 || length >= needed) return {};
  shortForm.resize(length);
  return shortForm;
}

// Makes a folder the current folder for its lifetime; the one before comes back at its end.
class CurrentFolderFor {
 public:
  explicit CurrentFolderFor(const std::wstring& folder) {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed > 0) {
      previous_.resize(needed);
      const DWORD length = GetCurrentDirectoryW(needed, previous_.data());
      previous_.resize(length < needed ? length : 0);
    }
    if (!SetCurrentDirectoryW(folder.c_str())) {
      Fail(L"cannot enter the folder " + Quote(folder) + L": " +
           velmor::win32::DescribeError(GetLastError()));
    }
  }
  ~CurrentFolderFor() {
    if (!previous_.empty()) SetCurrentDirectoryW(previous_.c_str());
  }
  CurrentFolderFor(const CurrentFolderFor&) = delete;
  CurrentFolderFor& operator=(const CurrentFolderFor&) = delete;

 private:
  std::wstring previous_;
};

// What a waiting step watches besides its own condition.
struct Watch {
  bool messageBoxes = true;  // a message box of the process fails the step
  bool processEnd = true;    // the process ending fails the step
};

class Driver {
 public:
  Driver(TestBed& bed, std::wstring artifacts) : bed_(bed), artifacts_(std::move(artifacts)) {}

  void Execute(const Step& step) {
    const Verb* verb = FindVerb(step.verb);
    if (verb == nullptr) Fail(L"unknown step " + Quote(step.verb));
    if (!verb->takesItems && !step.items.empty()) Fail(L"this step takes no indented lines");
    verb->run(*this, step);
  }

  // Every step the driver knows: its name in a steps file and what it does with the rest of the
  // line and the indented lines under it.
  struct Verb {
    std::wstring_view name;
    void (*run)(Driver& d, const Step& step);
    bool takesItems = false;
  };
  static const Verb* FindVerb(std::wstring_view name);

  // After a failed step: a picture of the whole screen and the journal for the report, and the
  // programs the scenario started are ended.
  void AfterFailure() {
    const std::wstring picture = artifacts_ + L"failure.png";
    try {
      SaveScreenPicture(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                        picture);
      Err(L"e2e_driver: the screen is saved as " + picture + L"\n");
    } catch (const Failure& failure) {
      Err(L"e2e_driver: " + failure.message + L"\n");
    }
    const std::vector<std::wstring> journal = JournalLines();
    if (!journal.empty()) {
      Err(L"e2e_driver: the journal (" + std::wstring(kJournalPath) + L"):\n");
      for (const std::wstring& line : journal) Err(L"    " + line + L"\n");
    }
    if (ProcessRunning()) TerminateProcess(process_.get(), 1);
    for (const UniqueHandle& process : launched_) TerminateProcess(process.get(), 1);
  }

 private:
  // ---- cases

  // "case <title>": a new part of the scenario. The program of the one before must have ended;
  // files it held are let go, the time limit is the default again.
  void Case() {
    if (ProcessRunning()) Fail(L"the program of the case before still runs (end it with exited)");
    process_.reset();
    pid_ = 0;
    window_ = nullptr;
    seenTitles_.clear();
    timeoutMs_ = kDefaultTimeoutMs;
    bed_.ReleaseHeld();
  }

  // ---- process

  bool ProcessRunning() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
  }

  DWORD ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(process_.get(), &code);
    return code;
  }

  void RequireProcess() const {
    if (!process_) Fail(L"no program was started");
  }

  void Start(const std::wstring& rest) {
    auto [program, args] = SplitCommand(rest);
    if (program.empty()) Fail(L"expected a program path");

    const std::wstring full = FullPathName(bed_.Program(program));
    if (full.empty()) Fail(L"bad program path " + Quote(program));
    // A path beyond MAX_PATH is given in its short form, as a launcher that cannot pass long
    // paths would.
    std::wstring launch = full;
    if (full.size() >= MAX_PATH) {
      const std::wstring shortForm = ShortPathName(full);
      if (!shortForm.empty() && shortForm.size() < MAX_PATH) launch = shortForm;
    }
    // The program starts in its own folder, as it does when opened from Explorer.
    const size_t slash = launch.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? L"" : launch.substr(0, slash + 1);
    std::wstring commandLine = L"\"" + launch + L"\"";
    if (!args.empty()) commandLine += L" " + args;

    // Wine 8's CreateProcessW copies the long form of the program's path into a buffer of MAX_PATH
    // characters and, when that form does not fit, goes on with the buffer unwritten: the program
    // it looks for is then whatever its stack held before, so a start by a short path worked or
    // failed with "file not found" depending on how this driver was compiled. Such a program is
    // named relative to its folder, made this driver's current folder for the call: that name's
    // long form fits, and Windows resolves it the same way.
    std::wstring application = launch;
    std::optional<CurrentFolderFor> inFolder;
    if (launch != full && !folder.empty()) {
      inFolder.emplace(folder);
      application = launch.substr(slash + 1);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &si, &pi)) {
      Fail(L"cannot start " + Quote(launch) + L": " + velmor::win32::DescribeError(GetLastError()));
    }
    inFolder.reset();
    UniqueHandle thread(pi.hThread);
    process_ = UniqueHandle(pi.hProcess);
    pid_ = pi.dwProcessId;
    window_ = nullptr;
    seenTitles_.clear();
    Out(L"    pid " + std::to_wstring(pid_) + L"\n");
  }

  // ---- waiting

  std::vector<MessageBoxInfo> MessageBoxesOfProcess() const {
    std::vector<MessageBoxInfo> boxes;
    if (!pid_) return boxes;
    for (HWND hwnd : VisibleTopLevelWindows()) {
      if (WindowProcessId(hwnd) != pid_ || hwnd == window_) continue;
      if (auto box = AsMessageBox(hwnd)) boxes.push_back(std::move(*box));
    }
    return boxes;
  }

  // The program's first message box, waited for; what describes it in a failure.
  MessageBoxInfo WaitMessageBox(const std::wstring& what) {
    MessageBoxInfo box;
    WaitFor(
        [&] {
          const auto boxes = MessageBoxesOfProcess();
          if (boxes.empty()) return false;
          box = boxes.front();
          return true;
        },
        what, {false, true});
    return box;
  }

  // Wine shows its crash dialog from winedbg.exe, a process of its own.
  void CheckCrashDialog() {
    for (HWND hwnd : VisibleTopLevelWindows()) {
      const DWORD pid = WindowProcessId(hwnd);
      if (pid == pid_ || pid == GetCurrentProcessId()) continue;
      auto known = winedbg_.find(pid);
      if (known == winedbg_.end()) {
        known = winedbg_.emplace(pid, _wcsicmp(ProcessImageName(pid).c_str(), L"winedbg.exe") == 0)
                    .first;
      }
      if (known->second) {
        Fail(L"a program crashed: Wine's crash dialog is showing (" + Quote(WindowText(hwnd)) +
             L")");
      }
    }
  }

  void RecordTitles() {
    if (!pid_) return;
    for (HWND hwnd : VisibleTopLevelWindows()) {
      if (WindowProcessId(hwnd) == pid_) seenTitles_.insert(WindowText(hwnd));
    }
  }

  // Polls until done() holds (true) or ms have passed (false), failing at once on what the watch
  // names.
  bool Poll(unsigned long ms, const std::function<bool()>& done, Watch watch) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (true) {
      RecordTitles();
      if (done && done()) return true;
      CheckCrashDialog();
      if (watch.messageBoxes) {
        const auto boxes = MessageBoxesOfProcess();
        if (!boxes.empty()) Fail(L"unexpected message box: " + Describe(boxes.front()));
      }
      if (watch.processEnd && process_ && !ProcessRunning()) {
        Fail(L"the program ended unexpectedly (exit code " + velmor::FormatErrorNumber(ExitCode()) +
             L")");
      }
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(kPollInterval);
    }
  }

  void WaitFor(const std::function<bool()>& done, const std::wstring& what, Watch watch = {}) {
    if (!Poll(timeoutMs_, done, watch)) {
      Fail(L"timed out after " + std::to_wstring(timeoutMs_ / 1000) + L" s waiting for " + what);
    }
  }

  HWND FindTopWindow(const std::wstring& pattern) const {
    for (HWND hwnd : VisibleTopLevelWindows()) {
      if (WindowProcessId(hwnd) != pid_) continue;
      if (TitleMatches(pattern, WindowText(hwnd)) && !AsMessageBox(hwnd)) return hwnd;
    }
    return nullptr;
  }

  HWND RequireWindow() const {
    if (!window_) Fail(L"no window was found yet (use a window step first)");
    if (!IsWindow(window_)) Fail(L"the window no longer exists");
    return window_;
  }

  // ---- steps

  void WaitWindow(const std::wstring& title) {
    RequireProcess();
    HWND found = nullptr;
    WaitFor([&] { return (found = FindTopWindow(title)) != nullptr; },
            L"a window titled " + Quote(title));
    window_ = found;
  }

  void ClientSize(const std::wstring& rest) {
    const size_t space = rest.find_first_of(L" \t");
    if (space == std::wstring::npos) Fail(L"expected <width> <height>");
    const unsigned long wantWidth = RequireNumber(rest.substr(0, space), L"<width>");
    const unsigned long wantHeight = RequireNumber(Trim(rest.substr(space)), L"<height>");
    RECT r{};
    if (!GetClientRect(RequireWindow(), &r)) Fail(L"cannot read the client area");
    const long w = r.right - r.left;
    const long h = r.bottom - r.top;
    if (w != static_cast<long>(wantWidth) || h != static_cast<long>(wantHeight)) {
      Fail(L"client area is " + std::to_wstring(w) + L" x " + std::to_wstring(h) + L", expected " +
           std::to_wstring(wantWidth) + L" x " + std::to_wstring(wantHeight));
    }
  }

  // The first child control of the window for which match holds, waited for; what describes it
  // in a failure.
  HWND WaitChild(const std::function<bool(HWND)>& match, const std::wstring& what) {
    HWND parent = RequireWindow();
    HWND found = nullptr;
    WaitFor(
        [&] {
          for (HWND child : ChildWindows(parent)) {
            if (match(child)) {
              found = child;
              return true;
            }
          }
          return false;
        },
        what);
    return found;
  }

  static bool HasCaption(HWND child, const std::wstring& caption) {
    const std::wstring text = WindowText(child);
    return text == caption || StripMnemonic(text) == caption;
  }

  // A visible, enabled child control of the window whose caption is `caption` (mnemonic
  // markers ignored).
  HWND WaitControl(const std::wstring& caption) {
    return WaitChild(
        [&](HWND child) {
          return HasCaption(child, caption) && IsWindowVisible(child) && IsWindowEnabled(child);
        },
        L"a visible, enabled control " + Quote(caption));
  }

  void Click(const std::wstring& caption) {
    // Posted, not sent: the program may stay inside its click handler for a long time.
    if (!PostMessageW(WaitControl(caption), BM_CLICK, 0, 0)) {
      Fail(L"cannot post the click: " + velmor::win32::DescribeError(GetLastError()));
    }
  }

  void SetCheck(const std::wstring& caption, bool checked) {
    HWND button = WaitControl(caption);
    const LRESULT want = checked ? BST_CHECKED : BST_UNCHECKED;
    const auto state = CheckState(button);
    if (!state) Fail(L"the program does not answer (reading the check box state)");
    if (*state == want) return;
    PostMessageW(button, BM_CLICK, 0, 0);
    WaitFor([&] { return CheckState(button) == want; },
            L"the check box to become " + std::wstring(checked ? L"ticked" : L"unticked"));
  }

  void Close() { PostMessageW(RequireWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); }

  void ExpectMessageBox(const std::wstring& rest, bool contains) {
    RequireProcess();
    std::vector<std::wstring> parts = SplitBars(rest);
    if (parts.size() < 2) Fail(L"expected <title> | <text>");
    const std::wstring title = parts[0];
    std::vector<std::wstring> texts;
    if (contains) {
      for (size_t i = 1; i < parts.size(); ++i) texts.push_back(Unescape(parts[i]));
    } else {
      // The whole rest is the text, bars included. In double quotes it is taken as it stands,
      // leading and trailing spaces included.
      std::wstring text = Trim(rest.substr(rest.find(L'|') + 1));
      if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        text = text.substr(1, text.size() - 2);
      }
      texts.push_back(Unescape(text));
    }

    const MessageBoxInfo box = WaitMessageBox(L"a message box " + Quote(title));

    bool matches = box.title == title;
    for (const std::wstring& text : texts) {
      matches =
          matches && (contains ? box.text.find(text) != std::wstring::npos : box.text == text);
    }
    if (!matches) {
      std::wstring expected =
          L"title " + Quote(title) + (contains ? L", text containing" : L", text");
      for (const std::wstring& text : texts) expected += L" " + Quote(text);
      Fail(L"message box has " + Describe(box) + L"; expected " + expected);
    }
    Out(L"    " + Describe(box) + L"\n");

    HWND ok = GetDlgItem(box.hwnd, IDOK);
    if (ok) {
      PostMessageW(ok, BM_CLICK, 0, 0);
    } else {
      PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    const auto gone = [&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); };
    // A click can be lost while the box is still becoming active; fall back to the command itself.
    if (!Poll(3000, gone, {false, false})) {
      PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(ok));
      WaitFor(gone, L"the message box to close after OK", {false, false});
    }
  }

  // "send WM_CLOSE", "send WM_QUERYENDSESSION [<answer>]" or "send WM_ENDSESSION(<wparam>)":
  // sends the message to the window, as another program (or Windows) would, and waits for the
  // answer within the step timeout; with <answer> given, sends it again until it is answered so
  // (the state it depends on may take a moment to change). A program that does not answer fails
  // the step, unless it ended meanwhile (the session's end ends it).
  void SendToWindow(const std::wstring& rest) {
    static const std::map<std::wstring, UINT> kMessages = {
        {L"WM_CLOSE", WM_CLOSE},
        {L"WM_QUERYENDSESSION", WM_QUERYENDSESSION},
        {L"WM_ENDSESSION", WM_ENDSESSION}};
    const size_t space = rest.find_first_of(L" \t");
    const std::wstring word = rest.substr(0, space);
    std::optional<unsigned long> want;
    if (space != std::wstring::npos) want = RequireNumber(Trim(rest.substr(space)), L"<answer>");
    const std::wstring name = word.substr(0, word.find(L'('));
    const auto message = kMessages.find(name);
    if (message == kMessages.end()) Fail(L"cannot send " + Quote(word));
    const WPARAM wParam =
        name == word ? 0
                     : RequireNumber(word.substr(name.size() + 1, word.size() - name.size() - 2),
                                     L"<wparam>");
    DWORD_PTR answer = 0;
    const bool answered =
        Poll(timeoutMs_,
             [&] {
               if (SendMessageTimeoutW(RequireWindow(), message->second, wParam, 0, SMTO_NORMAL,
                                       timeoutMs_, &answer)) {
                 return !want || answer == *want;
               }
               if (WaitForSingleObject(process_.get(), timeoutMs_) != WAIT_OBJECT_0) {
                 Fail(L"the program did not answer " + word + L": " +
                      velmor::win32::DescribeError(GetLastError()));
               }
               return true;
             },
             {false, false});
    Out(ProcessRunning() ? L"    answer " + std::to_wstring(answer) + L"\n"
                         : L"    the program ended\n");
    if (!answered)
      Fail(word + L" was answered with " + std::to_wstring(answer) + L", expected " +
           std::to_wstring(*want));
  }

  // "launch <program>": starts another program with no arguments, as its user would from its
  // icon (an Excel the user opens), and goes on at once. The driver does not watch it; it ends it
  // only when a step fails.
  void Launch(const std::wstring& program) {
    launched_.push_back(StartProgram(bed_.Program(program), L"").process);
  }

  // "close-other <title>": closes the visible top-level window of any program with that title, as
  // its user would, and waits until the window is gone.
  void CloseOther(const std::wstring& title) {
    HWND found = nullptr;
    WaitFor(
        [&] {
          for (HWND hwnd : VisibleTopLevelWindows()) {
            if (TitleMatches(title, WindowText(hwnd))) found = hwnd;
          }
          return found != nullptr;
        },
        L"a window of any program titled " + Quote(title));
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(found, WM_CLOSE, 0, 0, SMTO_NORMAL, timeoutMs_, &ignored);
    WaitFor([&] { return !IsWindow(found); }, L"the window " + Quote(title) + L" to close");
  }

  // "other-window <title>": waits for a visible top-level window of any program with that title
  // (an installer's, Excel's), the sign that the program under test has reached that step.
  void WaitOtherWindow(const std::wstring& title) {
    WaitFor(
        [&] {
          for (HWND hwnd : VisibleTopLevelWindows()) {
            if (TitleMatches(title, WindowText(hwnd))) return true;
          }
          return false;
        },
        L"a window of any program titled " + Quote(title));
  }

  // "other-window-gone <title> | <check> ...": waits for a visible top-level window of any program
  // with that title, then until that window has gone while its program still runs (an installer
  // that cleans up after closing its window), and checks the program's window at that moment:
  // "enabled yes" or "enabled no"; "foreground": it becomes the active window before that other
  // program ends, as Windows activates the next enabled window when the foreground one goes.
  void OtherWindowGone(const std::wstring& rest) {
    const std::vector<std::wstring> parts = SplitBars(rest);
    if (parts.size() < 2) Fail(L"expected <title> | enabled yes|no [| foreground]");
    HWND ours = RequireWindow();
    HWND other = nullptr;
    WaitFor(
        [&] {
          for (HWND hwnd : VisibleTopLevelWindows()) {
            if (TitleMatches(parts[0], WindowText(hwnd))) other = hwnd;
          }
          return other != nullptr;
        },
        L"a window of any program titled " + Quote(parts[0]));
    const UniqueHandle program(OpenProcess(SYNCHRONIZE, FALSE, WindowProcessId(other)));
    if (!program) Fail(L"cannot open the program of " + Quote(parts[0]));
    const auto running = [&] { return WaitForSingleObject(program.get(), 0) == WAIT_TIMEOUT; };
    WaitFor([&] { return !IsWindow(other); }, L"the window " + Quote(parts[0]) + L" to go");
    const bool enabled = IsWindowEnabled(ours) != FALSE;
    if (!running()) Fail(L"its program ended with its window: nothing was checked");
    Out(L"    gone, its program still runs; the window is " +
        std::wstring(enabled ? L"enabled" : L"disabled") + L"\n");
    for (std::size_t i = 1; i < parts.size(); ++i) {
      if (parts[i] == L"enabled yes" || parts[i] == L"enabled no") {
        if (enabled != (parts[i] == L"enabled yes")) {
          Fail(std::wstring(L"the window was ") + (enabled ? L"enabled" : L"disabled"));
        }
      } else if (parts[i] == L"foreground") {
        WaitFor(
            [&] {
              if (GetForegroundWindow() == ours) return true;
              if (!running()) Fail(L"the other program ended before the window was activated");
              return false;
            },
            L"the window to become the active one");
      } else {
        Fail(L"unknown check " + Quote(parts[i]));
      }
    }
  }

  void NoMessageBox(unsigned long ms) {
    RequireProcess();
    Poll(ms, [&] { return !ProcessRunning(); }, {true, false});
  }

  // "screenshot <name>.png": what the screen shows of the window, as a PNG file in the
  // scenario's artifacts folder.
  void Screenshot(const std::wstring& name) {
    if (name.empty()) Fail(L"expected a file name");
    const std::wstring path = JoinPath(artifacts_, name);
    HWND hwnd = RequireWindow();
    // Let the program finish painting; a program busy in a handler is captured as it is.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 3000, &ignored);
    std::this_thread::sleep_for(300ms);
    SaveWindowPicture(hwnd, path);
  }

  void Exited(const std::wstring& rest) {
    RequireProcess();
    std::optional<DWORD> want;
    if (!rest.empty()) want = RequireNumber(rest, L"<exit code>");
    WaitFor([&] { return !ProcessRunning(); }, L"the program to end", {true, false});
    const DWORD code = ExitCode();
    Out(L"    exit code " + velmor::FormatErrorNumber(code) + L"\n");
    if (want && code != *want) {
      Fail(L"the program ended with exit code " + velmor::FormatErrorNumber(code) + L", expected " +
           velmor::FormatErrorNumber(*want));
    }
  }

  void NoWindow(const std::wstring& title, unsigned long ms) {
    RequireProcess();
    HWND found = nullptr;
    if (Poll(ms, [&] { return (found = FindTopWindow(title)) != nullptr; }, {false, false})) {
      Fail(L"a window titled " + Quote(WindowText(found)) + L" is showing");
    }
  }

  // No window with that title has been seen at any time since the program started (as far as
  // polling, every few tens of milliseconds while steps wait, could see).
  void NeverWindow(const std::wstring& title) {
    RequireProcess();
    RecordTitles();
    for (const std::wstring& seen : seenTitles_) {
      if (TitleMatches(title, seen)) Fail(L"a window titled " + Quote(seen) + L" was shown");
    }
  }

  // ---- keyboard, focus and layout

  // A child control of the window by its caption, or by its window class as "class:<name>" (for
  // controls without a caption, such as a picture box).
  HWND WaitControlRef(const std::wstring& ref) {
    const bool byClass = ref.starts_with(L"class:");
    return WaitChild(
        [&](HWND child) {
          const bool match = byClass ? ClassName(child) == ref.substr(6) : HasCaption(child, ref);
          return match && IsWindowVisible(child);
        },
        L"a visible control " + Quote(ref));
  }

  // "key shift+Tab", "key alt+F4", "key space": real key presses, sent to whatever window has the
  // focus once the program's window is the active one and its step, if one ran, has ended. A key
  // typed during a step is dropped at its end, as a user's would be: the step's last message box
  // gives the focus back a moment before the step ends, so the window's object is asked whether
  // the window takes input again.
  void PressKeys(const std::wstring& rest) {
    static const std::map<std::wstring, WORD> kKeys = {
        {L"tab", VK_TAB},     {L"return", VK_RETURN}, {L"enter", VK_RETURN}, {L"escape", VK_ESCAPE},
        {L"space", VK_SPACE}, {L"up", VK_UP},         {L"down", VK_DOWN},    {L"left", VK_LEFT},
        {L"right", VK_RIGHT}, {L"f4", VK_F4},         {L"shift", VK_SHIFT},  {L"ctrl", VK_CONTROL},
        {L"alt", VK_MENU}};
    std::vector<WORD> chord;
    size_t pos = 0;
    while (pos <= rest.size()) {
      const size_t plus = rest.find(L'+', pos);
      std::wstring name = rest.substr(pos, plus == std::wstring::npos ? plus : plus - pos);
      for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
      const auto key = kKeys.find(name);
      if (key == kKeys.end()) Fail(L"unknown key " + Quote(name));
      chord.push_back(key->second);
      if (plus == std::wstring::npos) break;
      pos = plus + 1;
    }
    HWND window = RequireWindow();
    WaitFor([&] { return GetForegroundWindow() == window; }, L"the window to be the active one");
    WaitUntilAvailable(ForReader());
    std::vector<INPUT> inputs;
    const auto add = [&inputs](WORD vk, bool up) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = vk;
      input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
      const bool extended = vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT;
      input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
      inputs.push_back(input);
    };
    for (const WORD vk : chord) add(vk, false);
    for (auto it = chord.rbegin(); it != chord.rend(); ++it) add(*it, true);
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) !=
        inputs.size()) {
      Fail(L"cannot send the keys: " + velmor::win32::DescribeError(GetLastError()));
    }
  }

  // "marks <caption> | <caption> ...": exactly these check boxes and option buttons of the window
  // are checked ("marks" alone: none is).
  void ExpectMarks(const std::wstring& rest) {
    std::vector<std::wstring> want;
    for (const std::wstring& part : SplitBars(rest)) {
      if (!part.empty()) want.push_back(part);
    }
    std::sort(want.begin(), want.end());
    std::vector<std::wstring> checked;
    for (HWND child : ChildWindows(RequireWindow())) {
      if (ClassName(child) != L"Button") continue;
      const auto state = CheckState(child);
      if (!state) Fail(L"the program does not answer (reading a check state)");
      if (*state == BST_CHECKED) checked.push_back(WindowText(child));
    }
    std::sort(checked.begin(), checked.end());
    if (checked != want) {
      std::wstring list;
      for (const std::wstring& caption : checked) list += (list.empty() ? L"" : L" | ") + caption;
      Fail(L"checked: " + (list.empty() ? std::wstring(L"none") : list));
    }
  }

  // "not-hung": Windows does not take the program's window for hung ("not responding"), as it
  // does when the window's thread has read no input for 5 seconds.
  void ExpectNotHung() {
    if (IsHungAppWindow(RequireWindow())) Fail(L"the window is not responding");
  }

  // "enabled yes|no": the program's window takes input, or is disabled.
  void ExpectEnabled(const std::wstring& rest) {
    const bool want = rest == L"yes";
    if (!want && rest != L"no") Fail(L"expected enabled yes or enabled no");
    WaitFor([&] { return (IsWindowEnabled(RequireWindow()) != FALSE) == want; },
            want ? L"the window to be enabled" : L"the window to be disabled");
  }

  // The control of the program's window that has the keyboard focus, or null.
  HWND FocusedControl() {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(RequireWindow(), nullptr);
    return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
  }

  // "windows-key <keys>": presses the keys as "key" does, waits for the focus to move, and then
  // does what Windows' option buttons do when they take the focus from the keyboard, which Wine's
  // do not (see BM_SETDONTCLICK): an automatic one that is not checked clicks itself (checks
  // itself, clears the rest of its group and notifies its parent of a click); a manual one
  // notifies its parent of a click unless it is checked.
  void PressKeysAsWindows(const std::wstring& rest) {
    HWND before = FocusedControl();
    PressKeys(rest);
    HWND focus = nullptr;
    WaitFor(
        [&] {
          focus = FocusedControl();
          return focus != nullptr && focus != before;
        },
        L"the focus to move");
    if (ClassName(focus) != L"Button") return;
    const LONG_PTR type = GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_AUTORADIOBUTTON && type != BS_RADIOBUTTON) return;
    DWORD_PTR result = 0;
    if (SendMessageTimeoutW(focus, BM_GETCHECK, 0, 0, SMTO_NORMAL, timeoutMs_, &result) == 0) {
      Fail(L"the option button with the focus does not answer");
    }
    if (result == BST_CHECKED) return;
    Out(L"  (as on Windows: " + Quote(WindowText(focus)) +
        L" clicks itself on taking the focus)\n");
    if (type == BS_AUTORADIOBUTTON) {
      SendMessageTimeoutW(focus, BM_CLICK, 0, 0, SMTO_NORMAL, timeoutMs_, &result);
    } else {
      const WPARAM command = MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED);
      SendMessageTimeoutW(GetParent(focus), WM_COMMAND, command, reinterpret_cast<LPARAM>(focus),
                          SMTO_NORMAL, timeoutMs_, &result);
    }
  }

  // "focus <control>": waits until that control of the window has the keyboard focus.
  void ExpectFocus(const std::wstring& ref) {
    HWND control = WaitControlRef(ref);
    const DWORD thread = GetWindowThreadProcessId(RequireWindow(), nullptr);
    HWND focus = nullptr;
    const auto focused = [&] {
      GUITHREADINFO info{};
      info.cbSize = sizeof info;
      focus = GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
      return focus == control;
    };
    if (!Poll(timeoutMs_, focused, {})) {
      Fail(L"the focus is on " +
           (focus == nullptr ? std::wstring(L"no window")
                             : ClassName(focus) + L" " + Quote(WindowText(focus))) +
           L", not on " + Quote(ref));
    }
  }

  // "twips-rect <control>|client <left> <top> <width> <height>": the control (or the client
  // area) lies within 1 pixel of that rectangle in twips, scaled to the screen's DPI.
  void ExpectTwipsRect(const std::wstring& rest) {
    const size_t space = rest.find_first_of(L" \t");
    std::wstring ref = rest.substr(0, space);
    std::vector<long> twips;
    std::wstring numbers = space == std::wstring::npos ? L"" : Trim(rest.substr(space));
    // The control may be a caption with spaces: the last four words are the numbers.
    std::vector<std::wstring> words;
    for (size_t at = 0; at < numbers.size();) {
      const size_t end = numbers.find_first_of(L" \t", at);
      words.push_back(numbers.substr(at, end == std::wstring::npos ? end : end - at));
      at = end == std::wstring::npos ? numbers.size() : numbers.find_first_not_of(L" \t", end);
    }
    if (words.size() < 4) Fail(L"expected <control> <left> <top> <width> <height>");
    for (size_t i = 0; i + 4 < words.size(); ++i) ref += L" " + words[i];
    for (size_t i = words.size() - 4; i < words.size(); ++i) {
      twips.push_back(static_cast<long>(RequireNumber(words[i], L"twips")));
    }
    HWND window = RequireWindow();
    RECT have{};
    if (ref == L"client") {
      GetClientRect(window, &have);
    } else {
      HWND control = WaitControlRef(ref);
      GetWindowRect(control, &have);
      MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&have), 2);
    }
    const RECT want{TwipsToPx(twips[0]), TwipsToPx(twips[1]), TwipsToPx(twips[0] + twips[2]),
                    TwipsToPx(twips[1] + twips[3])};
    const auto text = [](const RECT& r) {
      return L"(" + std::to_wstring(r.left) + L", " + std::to_wstring(r.top) + L") " +
             std::to_wstring(r.right - r.left) + L" x " + std::to_wstring(r.bottom - r.top);
    };
    Out(L"    " + std::to_wstring(ScreenDpi()) + L" dpi: " + text(have) + L", expected " +
        text(want) + L"\n");
    if (std::abs(have.left - want.left) > 1 || std::abs(have.top - want.top) > 1 ||
        std::abs(have.right - want.right) > 1 || std::abs(have.bottom - want.bottom) > 1) {
      Fail(Quote(ref) + L" is at " + text(have) + L", more than 1 px from " + text(want));
    }
  }

  // "z-order <control> | <control> | ...": the controls lie on top of one another in this order,
  // the first on top.
  void ExpectZOrder(const std::wstring& rest) {
    std::vector<HWND> listed;
    for (const std::wstring& ref : SplitBars(rest)) listed.push_back(WaitControlRef(ref));
    std::vector<HWND> stacked;
    for (HWND child = GetWindow(RequireWindow(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
      if (std::find(listed.begin(), listed.end(), child) != listed.end()) stacked.push_back(child);
    }
    if (stacked != listed) {
      std::wstring order;
      for (HWND child : stacked) {
        const std::wstring text = WindowText(child);
        order +=
            (order.empty() ? L"" : L" | ") + (text.empty() ? L"class:" + ClassName(child) : text);
      }
      Fail(L"the controls lie, top first: " + order);
    }
  }

  // "caption-lines <left> <top> <width> <height> <lines>" (twips, client area): the text drawn
  // there stands on that many lines, and none of it touches the right or bottom edge, where a
  // caption too long for its box would be cut off.
  void ExpectCaptionLines(const std::wstring& rest) {
    std::vector<long> v;
    for (size_t at = 0; at < rest.size();) {
      const size_t end = rest.find_first_of(L" \t", at);
      v.push_back(static_cast<long>(
          RequireNumber(rest.substr(at, end == std::wstring::npos ? end : end - at), L"a number")));
      at = end == std::wstring::npos ? rest.size() : rest.find_first_not_of(L" \t", end);
    }
    if (v.size() != 5) Fail(L"expected <left> <top> <width> <height> <lines>");
    POINT origin{0, 0};
    ClientToScreen(RequireWindow(), &origin);
    const RECT box{origin.x + TwipsToPx(v[0]), origin.y + TwipsToPx(v[1]),
                   origin.x + TwipsToPx(v[0] + v[2]), origin.y + TwipsToPx(v[1] + v[3])};
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    int lines = 0;
    bool edge = false;
    const auto measure = [&] {
      const CaptionLines measured = MeasureCaptionLines(box);
      lines = measured.lines;
      edge = measured.edge;
      return lines == static_cast<int>(v[4]) && !edge;
    };
    // The window may still be painting: measure again until the caption is there or time is up.
    const bool whole = Poll(timeoutMs_, measure, {});
    Out(L"    " + std::to_wstring(ScreenDpi()) + L" dpi: " + std::to_wstring(lines) +
        L" line(s) in " + std::to_wstring(width) + L" x " + std::to_wstring(height) + L" px" +
        (edge ? L", touching the edge" : L"") + L"\n");
    if (!whole) {
      Fail(L"the caption stands on " + std::to_wstring(lines) + L" line(s)" +
           (edge ? L" and reaches the box's edge (cut off)" : L"") + L"; expected " +
           std::to_wstring(v[4]) + L" whole line(s)");
    }
  }

  // "picture <control> | <file> | corner|inside": the picture from the file is drawn at its own
  // pixel size, pixel for pixel: from the control's top-left corner and clipped to the control, or
  // somewhere wholly inside it.
  void ExpectPicture(const std::wstring& rest) {
    std::vector<std::wstring> parts = SplitBars(rest);
    if (parts.size() != 3 || (parts[2] != L"corner" && parts[2] != L"inside")) {
      Fail(L"expected <control> | <file> | corner|inside");
    }
    const DecodedPicture picture = DecodePicture(parts[1]);
    HWND control = WaitControlRef(parts[0]);
    RECT box{};
    GetWindowRect(control, &box);
    const bool atCorner = parts[2] == L"corner";
    const std::wstring size =
        std::to_wstring(picture.width) + L" x " + std::to_wstring(picture.height);
    POINT found{-1, -1};
    const auto drawn = [&] {
      const std::optional<POINT> at = FindPicture(picture, box, atCorner);
      if (at) found = *at;
      return at.has_value();
    };
    // The window may still be painting: look again until the picture is there or time is up.
    if (!Poll(timeoutMs_, drawn, {})) {
      Fail(L"the " + size + L" picture is not drawn unscaled " +
           (atCorner ? L"at the control's corner" : L"inside the control"));
    }
    Out(L"    " + size + L" px, unscaled at (" + std::to_wstring(found.x) + L", " +
        std::to_wstring(found.y) + L") in the control\n");
  }

  // "msgbox-fits": waits for a message box of the program and fails unless it lies wholly on the
  // screen. The box stays open for the next step.
  void MessageBoxFits() {
    RequireProcess();
    const MessageBoxInfo box = WaitMessageBox(L"a message box");
    RECT r{};
    if (!GetWindowRect(box.hwnd, &r)) Fail(L"cannot read the message box's position");
    const long screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const long screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const std::wstring size = std::to_wstring(r.right - r.left) + L" x " +
                              std::to_wstring(r.bottom - r.top) + L" at " +
                              std::to_wstring(r.left) + L"," + std::to_wstring(r.top);
    Out(L"    message box " + size + L" on a " + std::to_wstring(screenWidth) + L" x " +
        std::to_wstring(screenHeight) + L" screen\n");
    if (r.left < 0 || r.top < 0 || r.right > screenWidth || r.bottom > screenHeight) {
      Fail(L"the message box (" + size + L") does not fit on the screen");
    }
  }

  // "start-second <program> [arguments] [| <title> | <text> ...]": starts another process beside
  // the one under test and waits for it to end with exit code 0 without ever showing a window of
  // its own; with a title, except for one message box of that title whose text contains each
  // text, which is answered with OK. The process under test stays the one that later steps
  // address.
  void StartSecond(const std::wstring& rest) {
    const size_t bar = rest.find(L'|');
    const std::wstring command = Trim(rest.substr(0, bar));
    std::vector<std::wstring> told;
    if (bar != std::wstring::npos) {
      told = SplitBars(rest.substr(bar + 1));
      for (std::wstring& text : told) text = Unescape(text);
    }
    const auto [program, args] = SplitCommand(command);
    const StartedProcess second = StartProgram(bed_.Program(program), args);
    Out(L"    second pid " + std::to_wstring(second.pid) + L"\n");
    std::wstring shown;
    HWND answered = nullptr;
    WaitFor(
        [&] {
          for (HWND hwnd : VisibleTopLevelWindows()) {
            if (WindowProcessId(hwnd) != second.pid || hwnd == answered) continue;
            const std::optional<MessageBoxInfo> box = AsMessageBox(hwnd);
            if (!told.empty() && answered == nullptr && box) {
              bool matches = box->title == told[0];
              for (size_t i = 1; i < told.size(); ++i) {
                matches = matches && box->text.find(told[i]) != std::wstring::npos;
              }
              if (!matches) Fail(L"the second copy's message box has " + Describe(*box));
              Out(L"    " + Describe(*box) + L"\n");
              answered = hwnd;
              PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                           reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDOK)));
            } else if (shown.empty()) {
              shown = Quote(WindowText(hwnd));
            }
          }
          return WaitForSingleObject(second.process.get(), 0) == WAIT_OBJECT_0;
        },
        L"the second copy to end");
    DWORD code = 0;
    GetExitCodeProcess(second.process.get(), &code);
    Out(L"    second copy ended, exit code " + velmor::FormatErrorNumber(code) + L"\n");
    if (!shown.empty()) Fail(L"the second copy showed a window titled " + shown);
    if (!told.empty() && answered == nullptr) Fail(L"the second copy showed no message box");
    if (code != 0) Fail(L"the second copy ended with exit code " + velmor::FormatErrorNumber(code));
  }

  // "minimize": minimises the window found by the last window step, as its minimise box would.
  void Minimize() {
    HWND hwnd = RequireWindow();
    PostMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    WaitFor([&] { return IsIconic(hwnd) != FALSE; }, L"the window to be minimised");
  }

  // "move-start <dx> <dy>": the mouse button goes down on the window's title bar and the mouse
  // moves by dx, dy, as a user drags the window aside; waits until the window has followed. A title
  // bar that another window covers is first brought in front by a click on what shows of the
  // window, as a user's click does. The button stays down, and the move with it, until "move-end":
  // the button comes up, and the step waits until the move has ended.
  void Move(const std::wstring& rest, bool begin) {
    HWND window = RequireWindow();
    const auto moving = [window] {
      GUITHREADINFO info{sizeof(GUITHREADINFO)};
      return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
             info.hwndMoveSize == window;
    };
    RECT from{};
    GetWindowRect(window, &from);
    POINT at{};
    GetCursorPos(&at);
    if (!begin) {
      SendMouse(at, MOUSEEVENTF_LEFTUP);
      return WaitFor([&] { return !moving(); }, L"the window's move to end");
    }
    const auto [dxText, dy] = SplitTrailingNumber(rest);
    const long dx = static_cast<long>(RequireNumber(Trim(dxText), L"<dx>"));
    // Where the window shows from a height down to another, looked for every 8 pixels.
    const auto shows = [&](long top, long bottom) {
      for (at.y = top; at.y < bottom; at.y += 8) {
        for (at.x = from.left + 40; at.x < from.right - 40; at.x += 8) {
          if (GetAncestor(WindowFromPoint(at), GA_ROOT) == window) return true;
        }
      }
      return false;
    };
    const long bar =
        from.top + GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    if (!shows(bar, bar + 1)) {
      if (!shows(bar, from.bottom)) Fail(L"nothing of the window shows");
      SendMouse(at, MOUSEEVENTF_LEFTDOWN);
      SendMouse(at, MOUSEEVENTF_LEFTUP);
      WaitFor([&] { return shows(bar, bar + 1); }, L"the window to come in front");
    }
    SendMouse(at, MOUSEEVENTF_LEFTDOWN);
    WaitFor(moving, L"the window's move to begin");
    SendMouse({at.x + dx, at.y + static_cast<long>(dy)}, 0);
    RECT now{};
    WaitFor(
        [&] {
          return GetWindowRect(window, &now) && now.left - from.left == dx &&
                 now.top - from.top == static_cast<long>(dy);
        },
        L"the window to follow the mouse");
  }

  // Real mouse input: the pointer to a point of the screen, with a button's flags.
  static void SendMouse(POINT at, DWORD buttons) {
    INPUT input{INPUT_MOUSE};
    input.mi = {MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1),
                MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1),
                0,
                MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons,
                0,
                0};
    if (SendInput(1, &input, sizeof input) != 1) Fail(L"cannot move the mouse");
  }

  // "foreground": waits until the window found by the last window step is restored and is the
  // foreground window.
  void Foreground() {
    HWND hwnd = RequireWindow();
    WaitFor([&] { return !IsIconic(hwnd) && GetForegroundWindow() == hwnd; },
            L"the window to come to the front");
  }

  // What the reader steps need: the window, the timeout and the driver's wait.
  ReaderHost ForReader() {
    return {RequireWindow(), timeoutMs_,
            [this](const std::function<bool()>& done, const std::wstring& what) {
              WaitFor(done, what);
            }};
  }

  // What the layout steps need: the window, the timeout and the driver's waits.
  LayoutHost ForLayout() {
    return {
        RequireWindow(), timeoutMs_,
        [this](const std::function<bool()>& done, const std::wstring& what) {
          WaitFor(done, what);
        },
        [this](unsigned long ms, const std::function<bool()>& done) { return Poll(ms, done, {}); }};
  }

  TestBed& bed_;
  std::wstring artifacts_;  // with a trailing backslash
  UniqueHandle process_;
  DWORD pid_ = 0;
  HWND window_ = nullptr;
  unsigned long timeoutMs_ = kDefaultTimeoutMs;
  std::set<std::wstring> seenTitles_;
  std::map<DWORD, bool> winedbg_;
  std::vector<UniqueHandle> launched_;
};

const Driver::Verb* Driver::FindVerb(std::wstring_view name) {
  static constexpr Verb kVerbs[] = {
      {L"start", [](Driver& d, const Step& step) { d.Start(step.rest); }},
      {L"window", [](Driver& d, const Step& step) { d.WaitWindow(step.rest); }},
      {L"client-size", [](Driver& d, const Step& step) { d.ClientSize(step.rest); }},
      {L"click", [](Driver& d, const Step& step) { d.Click(step.rest); }},
      {L"check", [](Driver& d, const Step& step) { d.SetCheck(step.rest, true); }},
      {L"uncheck", [](Driver& d, const Step& step) { d.SetCheck(step.rest, false); }},
      {L"close", [](Driver& d, const Step&) { d.Close(); }},
      {L"msgbox", [](Driver& d, const Step& step) { d.ExpectMessageBox(step.rest, false); }},
      {L"msgbox-contains",
       [](Driver& d, const Step& step) { d.ExpectMessageBox(step.rest, true); }},
      {L"no-msgbox",
       [](Driver& d, const Step& step) {
         d.NoMessageBox(RequireNumber(step.rest, L"<milliseconds>"));
       }},
      {L"screenshot", [](Driver& d, const Step& step) { d.Screenshot(step.rest); }},
      {L"exited", [](Driver& d, const Step& step) { d.Exited(step.rest); }},
      {L"no-window",
       [](Driver& d, const Step& step) {
         const auto [title, ms] = SplitTrailingNumber(step.rest);
         d.NoWindow(title, ms);
       }},
      {L"never-window", [](Driver& d, const Step& step) { d.NeverWindow(step.rest); }},
      {L"sleep",
       [](Driver& d, const Step& step) {
         d.Poll(RequireNumber(step.rest, L"<milliseconds>"), nullptr, {false, false});
       }},
      {L"timeout",
       [](Driver& d, const Step& step) {
         d.timeoutMs_ = RequireNumber(step.rest, L"<seconds>") * 1000;
       }},
      {L"key", [](Driver& d, const Step& step) { d.PressKeys(step.rest); }},
      {L"not-hung", [](Driver& d, const Step&) { d.ExpectNotHung(); }},
      {L"enabled", [](Driver& d, const Step& step) { d.ExpectEnabled(step.rest); }},
      {L"marks", [](Driver& d, const Step& step) { d.ExpectMarks(step.rest); }},
      {L"windows-key", [](Driver& d, const Step& step) { d.PressKeysAsWindows(step.rest); }},
      {L"focus", [](Driver& d, const Step& step) { d.ExpectFocus(step.rest); }},
      {L"twips-rect", [](Driver& d, const Step& step) { d.ExpectTwipsRect(step.rest); }},
      {L"z-order", [](Driver& d, const Step& step) { d.ExpectZOrder(step.rest); }},
      {L"caption-lines", [](Driver& d, const Step& step) { d.ExpectCaptionLines(step.rest); }},
      {L"picture", [](Driver& d, const Step& step) { d.ExpectPicture(step.rest); }},
      {L"send", [](Driver& d, const Step& step) { d.SendToWindow(step.rest); }},
      {L"other-window", [](Driver& d, const Step& step) { d.WaitOtherWindow(step.rest); }},
      {L"other-window-gone", [](Driver& d, const Step& step) { d.OtherWindowGone(step.rest); }},
      {L"launch", [](Driver& d, const Step& step) { d.Launch(step.rest); }},
      {L"close-other", [](Driver& d, const Step& step) { d.CloseOther(step.rest); }},
      {L"msgbox-fits", [](Driver& d, const Step&) { d.MessageBoxFits(); }},
      {L"start-second", [](Driver& d, const Step& step) { d.StartSecond(step.rest); }},
      {L"minimize", [](Driver& d, const Step&) { d.Minimize(); }},
      {L"move-start", [](Driver& d, const Step& step) { d.Move(step.rest, true); }},
      {L"move-end", [](Driver& d, const Step& step) { d.Move(step.rest, false); }},
      {L"foreground", [](Driver& d, const Step&) { d.Foreground(); }},
      {L"dpi-change",
       [](Driver& d, const Step& step) { RunDpiChangeStep(step.rest, d.ForLayout()); }},
      {L"layout", [](Driver& d, const Step& step) { RunLayoutStep(step.rest, d.ForLayout()); }},
      {L"gdi-flat", [](Driver& d, const Step& step) { RunGdiFlatStep(step.rest, d.ForLayout()); }},
      {L"reader", [](Driver& d, const Step& step) { RunReaderStep(step.rest, d.ForReader()); }},
      {L"case", [](Driver& d, const Step&) { d.Case(); }},
      // Preparing the state.
      {L"remove", [](Driver&, const Step& step) { TestBed::Remove(step.rest); }},
      {L"copy", [](Driver& d, const Step& step) { d.bed_.Copy(step.rest); }},
      {L"read-only", [](Driver&, const Step& step) { TestBed::MakeReadOnly(step.rest); }},
      {L"write", [](Driver&, const Step& step) { TestBed::Write(step.rest); }},
      {L"order", [](Driver&, const Step& step) { TestBed::Order(step.rest); }},
      {L"set-addins", [](Driver&, const Step& step) { TestBed::SetAddins(step.rest); }},
      {L"lock", [](Driver& d, const Step& step) { d.bed_.Hold(step.rest); }},
      {L"link", [](Driver& d, const Step& step) { d.bed_.Link(step.rest); }},
      // A program run to lay out the state gets a minute, or the step timeout when longer.
      {L"run",
       [](Driver& d,
          const Step& step) { d.bed_.Run(step.rest, std::max(d.timeoutMs_, kRunTimeoutMs)); }},
      // Checking the outcome.
      {L"journal", [](Driver&, const Step& step) { ExpectJournal(step.items); }, true},
      {L"journal-has", [](Driver&, const Step& step) { ExpectJournalHas(step.rest); }},
      {L"journal-lacks", [](Driver&, const Step& step) { ExpectJournalLacks(step.rest); }},
      {L"journal-count", [](Driver&, const Step& step) { ExpectJournalCount(step.rest); }},
      {L"addins", [](Driver&, const Step& step) { ExpectAddins(step.rest); }},
      {L"exists", [](Driver&, const Step& step) { ExpectFile(step.rest); }},
      {L"absent", [](Driver&, const Step& step) { ExpectAbsent(step.rest); }},
      {L"files", [](Driver&, const Step& step) { ExpectFiles(step.rest); }},
      {L"excel-server", [](Driver& d, const Step& step) { ExpectExcelServer(step.rest, d.bed_); }},
  };
  for (const Verb& verb : kVerbs) {
    if (verb.name == name) return &verb;
  }
  return nullptr;
}

bool IsKnownVerb(std::wstring_view verb) { return Driver::FindVerb(verb) != nullptr; }

// The build folder: the nearest folder above the driver's own that holds CMakeCache.txt.
std::optional<std::wstring> FindBuildFolder() {
  std::wstring folder = FolderOf(velmor::win32::ModuleFileName());
  while (!folder.empty()) {
    if (GetFileAttributesW((folder + L"CMakeCache.txt").c_str()) != INVALID_FILE_ATTRIBUTES) {
      return folder;
    }
    folder = FolderOf(folder.substr(0, folder.size() - 1));
  }
  return std::nullopt;
}

int Run(int argc, wchar_t** argv) {
  // Coordinates and the screen's DPI as the programs under test, which are DPI-aware, see them.
  SetProcessDPIAware();
  if (argc != 2) {
    Err(L"usage: e2e_driver <steps file>\n");
    return 2;
  }
  const std::wstring stepsPath = FullPathName(argv[1]);
  const std::optional<std::wstring> build = FindBuildFolder();
  if (!build) {
    Err(L"e2e_driver: no build folder (one with CMakeCache.txt) above " +
        velmor::win32::ModuleFileName() + L"\n");
    return 2;
  }
  std::wstring scenario = stepsPath.substr(FolderOf(stepsPath).size());
  scenario = scenario.substr(0, scenario.rfind(L'.'));
  const std::wstring artifacts = *build + L"artifacts\\" + scenario + L"\\";

  std::vector<Step> steps;
  try {
    CreateFolders(artifacts);
    if (!SetCurrentDirectoryW(FolderOf(stepsPath).c_str())) {
      Fail(L"cannot enter the folder of " + stepsPath);
    }
    const StepsSource source{ReadFileBytes,
                             IsKnownVerb,
                             {{L"SCREEN_DPI", std::to_wstring(ScreenDpi())},
                              {L"ARTIFACTS", artifacts.substr(0, artifacts.size() - 1)}}};
    steps = ReadSteps(stepsPath, source);
  } catch (const Failure& failure) {
    Err(L"e2e_driver: " + failure.message + L"\n");
    return 2;
  }
  TestBed bed(*build);
  Driver driver(bed, artifacts);
  for (const Step& step : steps) {
    if (step.verb == L"case") {
      Out(L"== " + step.rest + L" (" + step.where + L")\n");
    } else {
      Out(L"[" + step.where + L"] " + StepText(step) + L"\n");
    }
    try {
      driver.Execute(step);
    } catch (const Failure& failure) {
      Err(L"e2e_driver: FAILED at " + step.where + L" (" + StepText(step) + L"): " +
          failure.message + L"\n");
      driver.AfterFailure();
      return 1;
    }
  }
  Out(L"e2e_driver: all " + std::to_wstring(steps.size()) + L" steps passed\n");
  return 0;
}

}  // namespace
}  // namespace e2e

int wmain(int argc, wchar_t** argv) { return e2e::Run(argc, argv); }
