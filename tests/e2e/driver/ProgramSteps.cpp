// The steps that start programs and find their windows and message boxes: the program under test,
// a second copy of it, programs beside it (an installer's, an Excel the user opens).

#include <algorithm>

#include "Driver.h"
#include "RuntimeError.h"

namespace e2e {
namespace {

using velmor::win32::UniqueHandle;

// A visible top-level window of any program with a title matching the pattern, waited for.
HWND WaitAnyWindow(Driver& d, const std::wstring& title) {
  HWND found = nullptr;
  d.WaitFor(
      [&] {
        for (HWND hwnd : VisibleTopLevelWindows()) {
          if (TitleMatches(title, WindowText(hwnd))) found = hwnd;
        }
        return found != nullptr;
      },
      L"a window of any program titled " + Quote(title));
  return found;
}

// "other-window-gone": an installer that cleans up after closing its window. "foreground": Windows
// activates the next enabled window when the foreground one goes, before that program ends.
void OtherWindowGone(Driver& d, const Step& step) {
  HWND ours = d.RequireWindow();
  HWND other = WaitAnyWindow(d, step.args[0].text);
  const UniqueHandle program(OpenProcess(SYNCHRONIZE, FALSE, WindowProcessId(other)));
  if (!program) Fail(L"cannot open the program of " + Quote(step.args[0].text));
  const auto running = [&] { return WaitForSingleObject(program.get(), 0) == WAIT_TIMEOUT; };
  d.WaitFor([&] { return !IsWindow(other); },
            L"the window " + Quote(step.args[0].text) + L" to go");
  const bool enabled = IsWindowEnabled(ours) != FALSE;
  if (!running()) Fail(L"its program ended with its window: nothing was checked");
  Out(L"    gone, its program still runs; the window is " +
      std::wstring(enabled ? L"enabled" : L"disabled") + L"\n");
  if (enabled != (step.args[2].text == L"yes")) {
    Fail(std::wstring(L"the window was ") + (enabled ? L"enabled" : L"disabled"));
  }
  if (step.args.size() < 4) return;
  d.WaitFor(
      [&] {
        if (GetForegroundWindow() == ours) return true;
        if (!running()) Fail(L"the other program ended before the window was activated");
        return false;
      },
      L"the window to become the active one");
}

void Exited(Driver& d, const Step& step) {
  d.RequireProcess();
  d.WaitFor([&] { return !d.ProcessRunning(); }, L"the program to end", {true, false});
  const DWORD code = d.ExitCode();
  Out(L"    exit code " + velmor::FormatErrorNumber(code) + L"\n");
  if (!step.args.empty() && code != static_cast<DWORD>(step.args[0].value)) {
    Fail(L"the program ended with exit code " + velmor::FormatErrorNumber(code) + L", expected " +
         velmor::FormatErrorNumber(static_cast<DWORD>(step.args[0].value)));
  }
}

// Whether a message box has the title, and a text that is each text (exact) or holds each.
bool Shows(const MessageBoxInfo& box, const std::wstring& title,
           const std::vector<std::wstring>& texts, bool exact) {
  return box.title == title && std::all_of(texts.begin(), texts.end(), [&](const auto& text) {
           return exact ? box.text == text : box.text.find(text) != std::wstring::npos;
         });
}

// "start-second": another copy beside the program under test, which later steps still address;
// its one message box, when a title is given, is answered with OK.
void StartSecond(Driver& d, const Step& step) {
  const StartedProcess second = d.bed.Start(step.args[0].text);
  Out(L"    second pid " + std::to_wstring(second.pid) + L"\n");
  std::vector<std::wstring> texts;
  for (size_t i = 2; i < step.args.size(); ++i) texts.push_back(Unescape(step.args[i].text));
  std::wstring shown;
  HWND answered = nullptr;
  d.WaitFor(
      [&] {
        for (HWND hwnd : VisibleTopLevelWindows()) {
          if (WindowProcessId(hwnd) != second.pid || hwnd == answered) continue;
          const std::optional<MessageBoxInfo> box = AsMessageBox(hwnd);
          if (step.args.size() > 1 && answered == nullptr && box) {
            if (!Shows(*box, step.args[1].text, texts, false)) {
              Fail(L"the second copy's message box has " + Describe(*box));
            }
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
  if (step.args.size() > 1 && answered == nullptr) Fail(L"the second copy showed no message box");
  if (code != 0) Fail(L"the second copy ended with exit code " + velmor::FormatErrorNumber(code));
}

// The program's first message box, waited for; what describes it in a failure.
MessageBoxInfo WaitMessageBox(Driver& d, const std::wstring& what) {
  d.RequireProcess();
  MessageBoxInfo box;
  d.WaitFor(
      [&] {
        const auto boxes = d.MessageBoxesOfProcess();
        if (!boxes.empty()) box = boxes.front();
        return !boxes.empty();
      },
      what, {false, true});
  return box;
}

// "msgbox", "msgbox-contains": the program's message box, answered with OK. An exact text in
// double quotes is taken as it stands, leading and trailing spaces included.
void ExpectMessageBox(Driver& d, const Step& step) {
  const Args& args = step.args;
  const bool contains = step.verb == L"msgbox-contains";
  std::vector<std::wstring> texts;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::wstring& text = args[i].text;
    const bool quoted =
        !contains && text.size() >= 2 && text.front() == L'"' && text.back() == L'"';
    texts.push_back(Unescape(quoted ? text.substr(1, text.size() - 2) : text));
  }
  const MessageBoxInfo box = WaitMessageBox(d, L"a message box " + Quote(args[0].text));
  if (!Shows(box, args[0].text, texts, !contains)) {
    std::wstring expected =
        L"title " + Quote(args[0].text) + (contains ? L", text containing" : L", text");
    for (const std::wstring& text : texts) expected += L" " + Quote(text);
    Fail(L"message box has " + Describe(box) + L"; expected " + expected);
  }
  Out(L"    " + Describe(box) + L"\n");
  HWND ok = GetDlgItem(box.hwnd, IDOK);
  PostMessageW(ok, BM_CLICK, 0, 0);
  const auto gone = [&] { return !IsWindow(box.hwnd) || !IsWindowVisible(box.hwnd); };
  // A click can be lost while the box is still becoming active; fall back to the command itself.
  if (!d.Poll(3000, gone, {false, false})) {
    PostMessageW(box.hwnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    d.WaitFor(gone, L"the message box to close after OK", {false, false});
  }
}

// "msgbox-fits": the box stays open for the next step.
void MessageBoxFits(Driver& d, const Step&) {
  const MessageBoxInfo box = WaitMessageBox(d, L"a message box");
  RECT r{};
  if (!GetWindowRect(box.hwnd, &r)) Fail(L"cannot read the message box's position");
  const RECT screen = ScreenRect();
  Out(L"    message box " + PlaceText(r) + L" on a " + SizeText(screen) + L" screen\n");
  if (r.left < 0 || r.top < 0 || r.right > screen.right || r.bottom > screen.bottom) {
    Fail(L"the message box " + PlaceText(r) + L" does not fit on the screen");
  }
}

// Real mouse input: the pointer to a point of the screen, with a button's flags.
void SendMouse(POINT at, DWORD buttons) {
  INPUT input{INPUT_MOUSE};
  input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
  if (SendInput(1, &input, sizeof input) != 1) Fail(L"cannot move the mouse");
}

// "move-start <dx> <dy>": the mouse button down on the title bar (brought in front first, as a
// user's click on what shows of the window does, when another window covers it) and the mouse
// moved, waited for until the window has followed; "move-end": the button up, and the move ended.
void Move(Driver& d, const Step& step) {
  HWND window = d.RequireWindow();
  const auto moving = [window] {
    GUITHREADINFO info{sizeof(GUITHREADINFO)};
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) &&
           info.hwndMoveSize == window;
  };
  RECT from{};
  GetWindowRect(window, &from);
  POINT at{};
  GetCursorPos(&at);
  if (step.verb == L"move-end") {
    SendMouse(at, MOUSEEVENTF_LEFTUP);
    return d.WaitFor([&] { return !moving(); }, L"the window's move to end");
  }
  const long dx = step.args[0].value;
  const long dy = step.args[1].value;
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
    d.WaitFor([&] { return shows(bar, bar + 1); }, L"the window to come in front");
  }
  SendMouse(at, MOUSEEVENTF_LEFTDOWN);
  d.WaitFor(moving, L"the window's move to begin");
  SendMouse({at.x + dx, at.y + dy}, 0);
  RECT now{};
  d.WaitFor(
      [&] {
        return GetWindowRect(window, &now) && now.left - from.left == dx &&
               now.top - from.top == dy;
      },
      L"the window to follow the mouse");
}

constexpr Verb kVerbs[] = {
    {L"start", L"<program:command>",
     [](Driver& d, const Step& s) { d.Adopt(d.bed.Start(s.args[0].text)); }},
    {L"start-second", L"<program:command> | [<title>] | [<text>]...", StartSecond},
    {L"window", L"<title>",
     [](Driver& d, const Step& s) {
       d.RequireProcess();
       HWND found = nullptr;
       d.WaitFor([&] { return (found = d.FindTopWindow(s.args[0].text)) != nullptr; },
                 L"a window titled " + Quote(s.args[0].text));
       d.SetWindow(found);
     }},
    {L"other-window", L"<title>",
     [](Driver& d, const Step& s) { WaitAnyWindow(d, s.args[0].text); }},
    {L"other-window-gone", L"<title> | enabled yes/no | [foreground]", OtherWindowGone},
    {L"close-other", L"<title>",
     [](Driver& d, const Step& s) {
       HWND found = WaitAnyWindow(d, s.args[0].text);
       DWORD_PTR ignored = 0;
       SendMessageTimeoutW(found, WM_CLOSE, 0, 0, SMTO_NORMAL, d.timeoutMs, &ignored);
       d.WaitFor([&] { return !IsWindow(found); }, L"the window to close");
     }},
    {L"exited", L"[<code:n>]", Exited},
    {L"no-window", L"<title> <milliseconds:n>",
     [](Driver& d, const Step& s) {
       d.RequireProcess();
       HWND found = nullptr;
       const auto shows = [&] { return (found = d.FindTopWindow(s.args[0].text)) != nullptr; };
       if (d.Poll(s.args[1].value, shows, {false, false})) {
         Fail(L"a window titled " + Quote(WindowText(found)) + L" is showing");
       }
     }},
    // As far as polling, every few tens of milliseconds while steps wait, could see.
    {L"never-window", L"<title>",
     [](Driver& d, const Step& s) {
       d.RequireProcess();
       d.Poll(0, nullptr, {false, false});
       for (const std::wstring& seen : d.seenTitles) {
         if (TitleMatches(s.args[0].text, seen))
           Fail(L"a window titled " + Quote(seen) + L" was shown");
       }
     }},
    // The driver does not watch it, and ends it only when a step fails.
    {L"launch", L"<program:command>",
     [](Driver& d, const Step& s) { d.launched.push_back(d.bed.Start(s.args[0].text).process); }},
    // As the taskbar would.
    {L"minimize", L"",
     [](Driver& d, const Step&) {
       HWND hwnd = d.RequireWindow();
       PostMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
       d.WaitFor([&] { return IsIconic(hwnd) != FALSE; }, L"the window to be minimised");
     }},
    {L"move-start", L"<dx:n> <dy:n>", Move},
    {L"move-end", L"", Move},
    {L"foreground", L"",
     [](Driver& d, const Step&) {
       HWND hwnd = d.RequireWindow();
       d.WaitFor([&] { return !IsIconic(hwnd) && GetForegroundWindow() == hwnd; },
                 L"the window to come to the front");
     }},
    {L"msgbox", L"<title> | <text>", ExpectMessageBox},
    {L"msgbox-contains", L"<title> | <text>...", ExpectMessageBox},
    {L"no-msgbox", L"<milliseconds:n>",
     [](Driver& d, const Step& s) {
       d.RequireProcess();
       d.Poll(s.args[0].value, [&] { return !d.ProcessRunning(); }, {true, false});
     }},
    {L"msgbox-fits", L"", MessageBoxFits},
};

}  // namespace

Family ProgramSteps() { return {kVerbs}; }

}  // namespace e2e
