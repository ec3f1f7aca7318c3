// The steps that act on the program's window as a user or another program would (clicks, keys,
// messages), and that check the window's state (the marks, enabled, not hung).

#include <algorithm>
#include <cwctype>
#include <utility>

#include "Driver.h"

namespace e2e {
namespace {

constexpr std::pair<std::wstring_view, WORD> kKeys[] = {
    {L"tab", VK_TAB},     {L"return", VK_RETURN}, {L"enter", VK_RETURN}, {L"escape", VK_ESCAPE},
    {L"space", VK_SPACE}, {L"up", VK_UP},         {L"down", VK_DOWN},    {L"left", VK_LEFT},
    {L"right", VK_RIGHT}, {L"f4", VK_F4},         {L"shift", VK_SHIFT},  {L"ctrl", VK_CONTROL},
    {L"alt", VK_MENU}};

// "shift+Tab": up to four keys pressed together, one a byte of the value, first in the lowest.
long ReadKeys(const std::wstring& text) {
  long chord = 0;
  int count = 0;
  for (size_t at = 0; at <= text.size(); ++count) {
    const size_t plus = std::min(text.find(L'+', at), text.size());
    std::wstring name = text.substr(at, plus - at);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    const auto key = std::find_if(std::begin(kKeys), std::end(kKeys),
                                  [&](const auto& k) { return k.first == name; });
    if (key == std::end(kKeys)) Fail(L"unknown key " + Quote(name));
    if (count == 4) Fail(L"at most four keys are pressed together");
    chord |= static_cast<long>(key->second) << (8 * count);
    at = plus + 1;
  }
  return chord;
}

// "key": real key presses, once the program's window is the active one and its step, if one ran,
// has ended. A key typed during a step is dropped at its end, as a user's would be: the step's last
// message box gives the focus back a moment before the step ends, so the window's object is asked
// whether the window takes input again.
void PressKeys(Driver& d, const Step& step) {
  HWND window = d.RequireWindow();
  d.WaitFor([&] { return GetForegroundWindow() == window; }, L"the window to be the active one");
  WaitUntilAvailable(d);
  std::vector<WORD> keys;
  for (long chord = step.args[0].value; chord != 0; chord >>= 8) keys.push_back(chord & 0xFF);
  // Down in order, up in the reverse order.
  std::vector<INPUT> inputs;
  for (size_t i = 0; i < 2 * keys.size(); ++i) {
    const bool up = i >= keys.size();
    const WORD vk = keys[up ? 2 * keys.size() - 1 - i : i];
    const bool extended = vk == VK_UP || vk == VK_DOWN || vk == VK_LEFT || vk == VK_RIGHT;
    INPUT& input = inputs.emplace_back(INPUT{INPUT_KEYBOARD});
    input.ki = {vk, static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)),
                (up ? KEYEVENTF_KEYUP : 0u) | (extended ? KEYEVENTF_EXTENDEDKEY : 0u)};
  }
  if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size()) {
    FailWith(L"cannot send the keys", GetLastError());
  }
}

// "windows-key": then what Windows' option buttons do when they take the focus from the keyboard,
// which Wine's do not (see BM_SETDONTCLICK): one that is not checked clicks itself (an automatic
// one checks itself and clears its group; both notify their parent of a click).
void PressKeysAsWindows(Driver& d, const Step& step) {
  HWND before = FocusOf(d.RequireWindow());
  PressKeys(d, step);
  HWND focus = nullptr;
  d.WaitFor(
      [&] {
        focus = FocusOf(d.RequireWindow());
        return focus != nullptr && focus != before;
      },
      L"the focus to move");
  if (ClassName(focus) != L"Button") return;
  const LONG_PTR type = GetWindowLongPtrW(focus, GWL_STYLE) & BS_TYPEMASK;
  if (type != BS_AUTORADIOBUTTON && type != BS_RADIOBUTTON) return;
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(focus, BM_GETCHECK, 0, 0, SMTO_NORMAL, d.timeoutMs, &result) == 0) {
    Fail(L"the option button with the focus does not answer");
  }
  if (result == BST_CHECKED) return;
  Out(L"  (as on Windows: " + Quote(WindowText(focus)) + L" clicks itself on taking the focus)\n");
  if (type == BS_AUTORADIOBUTTON) {
    SendMessageTimeoutW(focus, BM_CLICK, 0, 0, SMTO_NORMAL, d.timeoutMs, &result);
  } else {
    const WPARAM command = MAKEWPARAM(GetDlgCtrlID(focus), BN_CLICKED);
    SendMessageTimeoutW(GetParent(focus), WM_COMMAND, command, reinterpret_cast<LPARAM>(focus),
                        SMTO_NORMAL, d.timeoutMs, &result);
  }
}

// "check", "uncheck": as a click would.
void SetCheck(Driver& d, const Step& step) {
  const bool checked = step.verb == L"check";
  HWND button = d.WaitControl(step.args[0].text, true);
  const LRESULT want = checked ? BST_CHECKED : BST_UNCHECKED;
  const auto state = CheckState(button);
  if (!state) Fail(L"the program does not answer (reading the check box state)");
  if (*state == want) return;
  PostMessageW(button, BM_CLICK, 0, 0);
  d.WaitFor([&] { return CheckState(button) == want; },
            L"the check box to become " + std::wstring(checked ? L"ticked" : L"unticked"));
}

// "send": as another program (or Windows) would, waiting for the answer; an agreement to the end of
// the session, or a refusal, is asked again until it comes (the state it depends on may take a
// moment to change). A program that ended meanwhile (the session's end ends it) is no failure.
void Send(Driver& d, const Step& step) {
  const std::wstring name = step.verb.substr(step.verb.find(L' ') + 1);
  const UINT message = name == L"WM_CLOSE"        ? WM_CLOSE
                       : name == L"WM_ENDSESSION" ? WM_ENDSESSION
                                                  : WM_QUERYENDSESSION;
  const WPARAM wParam = message == WM_ENDSESSION && step.args[0].text == L"ends";
  const bool wanted = message == WM_QUERYENDSESSION;
  DWORD_PTR answer = 0;
  const auto answers = [&] {
    if (SendMessageTimeoutW(d.RequireWindow(), message, wParam, 0, SMTO_NORMAL, d.timeoutMs,
                            &answer)) {
      return !wanted || (answer != FALSE) == (step.args[0].text == L"agreed");
    }
    const DWORD error = GetLastError();
    if (!d.EndsWithin(d.timeoutMs)) FailWith(L"the program did not answer " + name, error);
    return true;
  };
  const bool answered = d.Poll(d.timeoutMs, answers, {false, false});
  Out(d.ProcessRunning() ? L"    answer " + std::to_wstring(answer) + L"\n"
                         : L"    the program ended\n");
  if (!answered) {
    Fail(std::wstring(L"the program ") + (answer != FALSE ? L"agreed to" : L"refused") +
         L" the end of the session");
  }
}

void ExpectMarks(Driver& d, const Step& step) {
  std::vector<std::wstring> checked;
  for (HWND child : ChildWindows(d.RequireWindow())) {
    if (ClassName(child) != L"Button") continue;
    const auto state = CheckState(child);
    if (!state) Fail(L"the program does not answer (reading a check state)");
    if (*state == BST_CHECKED) checked.push_back(WindowText(child));
  }
  ExpectSameTexts(L"the marked controls", Texts(step.args), checked);
}

constexpr Verb kVerbs[] = {
    // Posted, not sent: the program may stay inside its click handler for a long time.
    {L"click", L"<control>",
     [](Driver& d, const Step& s) {
       if (!PostMessageW(d.WaitControl(s.args[0].text, true), BM_CLICK, 0, 0)) {
         FailWith(L"cannot post the click", GetLastError());
       }
     }},
    {L"check", L"<control>", SetCheck},
    {L"uncheck", L"<control>", SetCheck},
    {L"close", L"",
     [](Driver& d, const Step&) { PostMessageW(d.RequireWindow(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {L"key", L"<keys:keys>", PressKeys},
    {L"windows-key", L"<keys:keys>", PressKeysAsWindows},
    {L"send WM_CLOSE", L"", Send},
    {L"send WM_QUERYENDSESSION", L"agreed/refused", Send},
    {L"send WM_ENDSESSION", L"ends/goes-on", Send},
    {L"marks", L"[<caption>]...", ExpectMarks},
    {L"enabled", L"yes/no",
     [](Driver& d, const Step& s) {
       const bool want = s.args[0].text == L"yes";
       d.WaitFor([&] { return (IsWindowEnabled(d.RequireWindow()) != FALSE) == want; },
                 want ? L"the window to be enabled" : L"the window to be disabled");
     }},
    // Windows takes a window for hung when its thread has read no input for 5 seconds.
    {L"not-hung", L"",
     [](Driver& d, const Step&) {
       if (IsHungAppWindow(d.RequireWindow())) Fail(L"the window is not responding");
     }},
};

constexpr Kind kKinds[] = {{L"keys", ReadKeys}};

}  // namespace

Family InputSteps() { return {kVerbs, kKinds}; }

}  // namespace e2e
