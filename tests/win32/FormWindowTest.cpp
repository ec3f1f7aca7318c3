// The window that shows a form: it is made when the form loads, owned until the system destroys
// it, and gone when the form unloads, whoever destroyed it.

#include <windows.h>

#include <commctrl.h>

#include <gtest/gtest.h>

#include <array>
#include <utility>
#include <vector>

#include "FormModel.h"
#include "FormWindow.h"
#include "Win32Platform.h"

namespace {

using velmor::ControlKind;
using velmor::ControlSpec;

constexpr std::array<ControlSpec, 2> kControls = {{
    {ControlKind::kLabel, L"Label1", velmor::kNoIndex, L"ラベル", {120, 120, 2000, 300}},
    {.kind = ControlKind::kCommandButton,
     .name = L"Command1",
     .caption = L"終了",
     .box = {120, 600, 1200, 400},
     .tabIndex = 0},
}};

const velmor::FormSpec kForm{
    .caption = L"テスト", .clientWidth = 3000, .clientHeight = 1500, .controls = kControls};

// WM_DESTROY asks the message loop to end; these tests run none, so the request is taken back.
void DropQuitRequest() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

TEST(FormWindow, IsMadeOnLoadAndDestroyedOnUnload) {
  velmor::win32::ComApartment com;
  velmor::win32::Win32Platform platform(L"win32_tests", nullptr, com);
  velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, com);
  velmor::Form form(kForm);
  form.AttachHost(&window);
  EXPECT_EQ(window.Handle(), nullptr);

  form.Load();
  HWND handle = window.Handle();
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_FALSE(IsWindowVisible(handle));
  EXPECT_NE(FindWindowExW(handle, nullptr, L"BUTTON", L"終了"), nullptr);

  form.Unload();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(window.Handle(), nullptr);
  DropQuitRequest();
}

TEST(FormWindow, LetsGoOfAWindowTheSystemDestroyed) {
  velmor::win32::ComApartment com;
  velmor::win32::Win32Platform platform(L"win32_tests", nullptr, com);
  HWND handle = nullptr;
  {
    velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, com);
    velmor::Form form(kForm);
    form.AttachHost(&window);
    form.Load();
    handle = window.Handle();
    ASSERT_TRUE(IsWindow(handle));
    DestroyWindow(handle);
    EXPECT_EQ(window.Handle(), nullptr);  // released at WM_NCDESTROY
    form.AttachHost(nullptr);
  }
  EXPECT_FALSE(IsWindow(handle));
  DropQuitRequest();
}

// The icons are handed over while the window is being made, before the window system builds its
// frame; they must be the window's own from then on, big and small, and absent for a form without.
TEST(FormWindow, HasItsFormsIconsFromTheStartAndNoneWithout) {
  velmor::win32::ComApartment com;
  velmor::win32::Win32Platform platform(L"win32_tests", nullptr, com);
  const auto iconsOf = [&](int iconId) {
    velmor::FormSpec spec = kForm;
    spec.iconId = iconId;
    velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, com);
    velmor::Form form(spec);
    form.AttachHost(&window);
    form.Load();
    const auto big = SendMessageW(window.Handle(), WM_GETICON, ICON_BIG, 0);
    const auto small = SendMessageW(window.Handle(), WM_GETICON, ICON_SMALL, 0);
    form.Unload();
    form.AttachHost(nullptr);
    DropQuitRequest();
    return std::pair{big != 0, small != 0};
  };
  EXPECT_EQ(iconsOf(1), std::pair(true, true));
  EXPECT_EQ(iconsOf(0), std::pair(false, false));
}

// A window with two buttons, for the keyboard and the steps.
constexpr std::array<ControlSpec, 2> kButtons = {{
    {.kind = ControlKind::kCommandButton,
     .name = L"Command1",
     .caption = L"開始",
     .box = {120, 120, 1200, 400},
     .tabIndex = 0},
    {.kind = ControlKind::kCommandButton,
     .name = L"Command2",
     .caption = L"終了",
     .box = {120, 600, 1200, 400},
     .tabIndex = 1},
}};

const velmor::FormSpec kButtonForm{
    .caption = L"テスト", .clientWidth = 3000, .clientHeight = 1500, .controls = kButtons};

class FormWindowSteps : public ::testing::Test {
 protected:
  FormWindowSteps() {
    form_.AttachHost(&window_);
    form_.Load();
  }
  ~FormWindowSteps() override {
    form_.Unload();
    form_.AttachHost(nullptr);
    DropQuitRequest();
  }
  HWND Button(const wchar_t* caption) {
    return FindWindowExW(window_.Handle(), nullptr, L"BUTTON", caption);
  }
  HCURSOR CursorAfterSetCursor() {
    SendMessageW(window_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window_.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  }

  velmor::win32::ComApartment com_;
  velmor::win32::Win32Platform platform_{L"win32_tests", nullptr, com_};
  velmor::win32::FormWindow window_{GetModuleHandleW(nullptr), platform_, com_};
  velmor::Form form_{kButtonForm};
};

// While a step waits (for an installer, or between Excel's retries) the window is disabled and
// shows the busy cursor, and a click that arrives meanwhile is dropped: it must not act once the
// step is over. Afterwards the window is enabled and the arrow is back.
TEST_F(FormWindowSteps, InputDuringAStepsWaitIsDroppedAndTheWindowIsGivenBackAfter) {
  int clicks = 0;
  bool enabledDuringStep = true;
  HCURSOR cursorDuringStep = nullptr;
  form_.BindClicks({{L"Command1",
                     [&](std::int16_t) {
                       ++clicks;
                       const velmor::Form::Step step = form_.BeginStep(L"テスト中");
                       enabledDuringStep = IsWindowEnabled(window_.Handle()) != FALSE;
                       cursorDuringStep = CursorAfterSetCursor();
                       // A click and Enter on the Start button, queued while the step waits.
                       HWND start = Button(L"開始");
                       PostMessageW(start, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
                       PostMessageW(start, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
                       PostMessageW(start, WM_KEYDOWN, VK_RETURN, 0);
                       platform_.Pause(200);
                     }},
                    {L"Command2", [](std::int16_t) {}}});
  form_.Click(form_(L"Command1", velmor::kNoIndex));
  MSG message{};
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!window_.HandleKey(message)) DispatchMessageW(&message);
  }
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(enabledDuringStep);
  EXPECT_EQ(cursorDuringStep, LoadCursorW(nullptr, MAKEINTRESOURCEW(32650)));  // APPSTARTING
  EXPECT_TRUE(IsWindowEnabled(window_.Handle()));
  EXPECT_NE(CursorAfterSetCursor(), cursorDuringStep);
}

// The session may end while the program only shows a message, not while an installer or Excel
// works for it.
TEST_F(FormWindowSteps, RefusesToEndTheSessionOnlyWhileExternalWorkRuns) {
  const auto sessionMayEnd = [&] {
    return SendMessageW(window_.Handle(), WM_QUERYENDSESSION, 0, 0) != FALSE;
  };
  const velmor::Form::Step step = form_.BeginStep(L"インストール中です。");
  EXPECT_TRUE(sessionMayEnd());
  window_.ExternalWork().ExternalWorkBegan();
  EXPECT_FALSE(sessionMayEnd());
  window_.ExternalWork().ExternalWorkEnded();
  EXPECT_TRUE(sessionMayEnd());
}

std::vector<WPARAM> uiStateChanges;  // what the window asked of WM_CHANGEUISTATE

LRESULT CALLBACK ListenToUiState(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                 DWORD_PTR) {
  if (message == WM_CHANGEUISTATE) uiStateChanges.push_back(wParam);
  return DefSubclassProc(window, message, wParam, lParam);
}

// Windows hides focus rectangles until the keyboard is used (its default setting); a window that
// moves the focus itself must say when the keyboard did, or no control shows where the focus went.
// What the system then does with the state is its own; the test hears what the window asks for.
TEST_F(FormWindowSteps, TellsTheSystemWhenTheKeyboardMovesTheFocus) {
  std::vector<WPARAM>& changes = uiStateChanges;
  changes.clear();
  const SUBCLASSPROC listen = &ListenToUiState;
  ASSERT_TRUE(SetWindowSubclass(window_.Handle(), listen, 1, 0));
  form_.Show();
  EXPECT_EQ(changes, std::vector<WPARAM>{MAKEWPARAM(UIS_INITIALIZE, 0)});

  changes.clear();
  HWND start = Button(L"開始");
  const MSG escape{start, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
  window_.HandleKey(escape);
  EXPECT_TRUE(changes.empty());  // a key that moves nothing
  const MSG tab{start, WM_KEYDOWN, VK_TAB, 0, 0, {}};
  EXPECT_TRUE(window_.HandleKey(tab));
  EXPECT_EQ(GetFocus(), Button(L"終了"));
  EXPECT_EQ(changes, std::vector<WPARAM>{MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS)});
  RemoveWindowSubclass(window_.Handle(), listen, 1);
}

TEST(FocusCues, AreDrawnOnlyForTheFocusedControlWhenShown) {
  using velmor::win32::DrawsFocusRect;
  using velmor::win32::ShowsFocusMark;
  EXPECT_TRUE(DrawsFocusRect(ODS_FOCUS));
  EXPECT_FALSE(DrawsFocusRect(ODS_FOCUS | ODS_NOFOCUSRECT));
  EXPECT_FALSE(DrawsFocusRect(ODS_SELECTED));
  EXPECT_TRUE(ShowsFocusMark(true, UISF_HIDEACCEL));
  EXPECT_FALSE(ShowsFocusMark(true, UISF_HIDEFOCUS));
  EXPECT_FALSE(ShowsFocusMark(false, 0));
}

}  // namespace
