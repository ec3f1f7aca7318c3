// The window that shows a form: it is made when the form loads, owned until the system destroys
// it, and gone when the form unloads, whoever destroyed it.

#include <windows.h>

#include <commctrl.h>
#include <imm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "FakePlatform.h"
#include "FormModel.h"
#include "FormPainter.h"
#include "FormWindow.h"
#include "Handles.h"
#include "ProgramForm.h"
#include "StepWindow.h"
#include "TestWindow.h"
#include "Utf8.h"
#include "Win32Platform.h"
#include "setup/Form1.h"

// The next allocation of the test program fails, once: a failure planted where the window's code
// runs inside the system's (painting).
bool failNextAllocation = false;

void* operator new(std::size_t size) {
  if (std::exchange(failNextAllocation, false)) throw std::bad_alloc();
  if (void* memory = HeapAlloc(GetProcessHeap(), 0, size != 0 ? size : 1)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { HeapFree(GetProcessHeap(), 0, memory); }
void operator delete(void* memory, std::size_t) noexcept { HeapFree(GetProcessHeap(), 0, memory); }

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

TEST(FormWindow, IsMadeOnLoadAndDestroyedOnUnload) {
  velmor::win32::ComApartment com;
  velmor::win32::StepWindow steps;
  velmor::win32::Win32Platform platform(L"win32_tests", steps, com);
  velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, steps, com);
  velmor::Form form(kForm);
  form.AttachHost(&window);
  EXPECT_EQ(window.Handle(), nullptr);

  form.Load();
  HWND handle = window.Handle();
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_FALSE(IsWindowVisible(handle));
  HWND button = FindWindowExW(handle, nullptr, L"BUTTON", L"終了");
  EXPECT_NE(button, nullptr);
  // The window takes no text: no input method context, for it or its controls.
  for (HWND taker : {handle, button}) {
    const HIMC context = ImmGetContext(taker);
    EXPECT_EQ(context, nullptr);
    if (context != nullptr) ImmReleaseContext(taker, context);
  }

  form.Unload();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(window.Handle(), nullptr);
  DropQuitRequest();
}

TEST(FormWindow, LetsGoOfAWindowTheSystemDestroyed) {
  velmor::win32::ComApartment com;
  velmor::win32::StepWindow steps;
  velmor::win32::Win32Platform platform(L"win32_tests", steps, com);
  HWND handle = nullptr;
  {
    velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, steps, com);
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
  velmor::win32::StepWindow steps;
  velmor::win32::Win32Platform platform(L"win32_tests", steps, com);
  const auto iconsOf = [&](int iconId) {
    velmor::FormSpec spec = kForm;
    spec.iconId = iconId;
    velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, steps, com);
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

// Whether the desktop has a contrast theme on, as the painting test has it: Wine 8 cannot turn one
// on (SPI_SETHIGHCONTRAST fails) and always answers that none is.
bool contrastTheme = false;

// How many pixels of each colour a rectangle of a window's client area shows.
std::map<COLORREF, int> ColorsIn(HWND window, const RECT& box) {
  std::map<COLORREF, int> colors;
  const velmor::win32::WindowDC dc(window);
  for (LONG y = box.top; y < box.bottom; ++y) {
    for (LONG x = box.left; x < box.right; ++x) ++colors[GetPixel(dc.get(), x, y)];
  }
  return colors;
}

// The colour that most of the rectangle shows: the background of what is painted there.
COLORREF Background(const std::map<COLORREF, int>& colors) {
  return std::max_element(colors.begin(), colors.end(),
                          [](const auto& a, const auto& b) { return a.second < b.second; })
      ->first;
}

// A label painted on the window's own surface and the check box, a control of its own: under a
// contrast theme each state is painted in its text colour on the background the theme pairs it
// with, from the moment the theme comes; once it has gone, as before.
TEST(FormWindow, PaintsTheStatesInAContrastThemesPairsAsSoonAsItComesAndGoes) {
  TestWindow shown(setup::kForm1Spec, [] { return contrastTheme; });
  velmor::Control& notChosen = shown.Form()(L"Label1", 1);
  velmor::Control& done = shown.Form()(L"Check1");
  notChosen.SetForeColor(velmor::k3DHighlight);
  done.SetForeColor(velmor::kBlue);
  HWND handle = shown.Handle();
  HWND checkBox = shown.Controls().WindowOf(&done);
  const RECT labelBox = shown.Controls().PxRect(notChosen.Spec().box);
  RECT checkBoxClient{};
  GetClientRect(checkBox, &checkBoxClient);
  // What the label and the check box show once what is invalid has been painted.
  const auto painted = [&] {
    RedrawWindow(handle, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    return std::pair{ColorsIn(handle, labelBox), ColorsIn(checkBox, checkBoxClient)};
  };
  const COLORREF blue = RGB(0, 0, 255);
  ASSERT_NE(GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_WINDOW));

  const auto without = painted();
  EXPECT_EQ(Background(without.first), GetSysColor(COLOR_BTNFACE));
  EXPECT_TRUE(without.first.contains(GetSysColor(COLOR_3DHIGHLIGHT)));
  EXPECT_EQ(Background(without.second), GetSysColor(COLOR_BTNFACE));
  EXPECT_TRUE(without.second.contains(blue));

  contrastTheme = true;
  SendMessageW(handle, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  const auto with = painted();
  EXPECT_EQ(Background(with.first), GetSysColor(COLOR_WINDOW));
  EXPECT_TRUE(with.first.contains(GetSysColor(COLOR_GRAYTEXT)));
  EXPECT_EQ(Background(with.second), GetSysColor(COLOR_WINDOW));
  EXPECT_TRUE(with.second.contains(GetSysColor(COLOR_HOTLIGHT)));

  contrastTheme = false;
  SendMessageW(handle, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  EXPECT_EQ(painted(), without);
}

// A window with two buttons and two option buttons, for the keyboard and the steps; what its
// Start button does is the test's.
class ButtonWindow : public velmor::ProgramForm {
 public:
  ButtonWindow();
  void Command1_Click(std::int16_t) {
    if (onStart) onStart();
  }
  void Option1_Click(std::int16_t) { ++options; }
  std::function<void()> onStart;
  int options = 0;
};

constexpr std::array<ControlSpec, 4> kButtons = {{
    {.kind = ControlKind::kCommandButton,
     .name = L"Command1",
     .caption = L"開始",
     .box = {120, 120, 1200, 400},
     .tabIndex = 0,
     .click = velmor::OnClick<&ButtonWindow::Command1_Click>},
    {.kind = ControlKind::kCommandButton,
     .name = L"Command2",
     .caption = L"終了",
     .box = {120, 600, 1200, 400},
     .tabIndex = 1},
    {.kind = ControlKind::kOptionButton,
     .name = L"Option1",
     .index = 0,
     .caption = L"A",
     .box = {1500, 120, 1200, 300},
     .tabIndex = 2,
     .click = velmor::OnClick<&ButtonWindow::Option1_Click>},
    {.kind = ControlKind::kOptionButton,
     .name = L"Option1",
     .index = 1,
     .caption = L"B",
     .box = {1500, 600, 1200, 300},
     .tabIndex = 3,
     .click = velmor::OnClick<&ButtonWindow::Option1_Click>},
}};

const velmor::FormSpec kButtonForm{
    .caption = L"テスト", .clientWidth = 3000, .clientHeight = 1500, .controls = kButtons};

ButtonWindow::ButtonWindow() : ProgramForm(kButtonForm) {}

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
  bool Checked(const wchar_t* caption) {
    return SendMessageW(Button(caption), BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  HCURSOR CursorAfterSetCursor() {
    SendMessageW(window_.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(window_.Handle()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return GetCursor();
  }
  // Dispatches what is queued, as the program's message loop does.
  void RunQueue() {
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (!window_.HandleKey(message)) DispatchMessageW(&message);
    }
  }
  // Every way another program, or a screen reader, clicks a control: input posted to it, a click
  // posted and sent, a check set from outside, and the notification a control sends its parent.
  void ClickFromOutside(const wchar_t* option) {
    HWND start = Button(L"開始");
    HWND button = Button(option);
    PostMessageW(start, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(start, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageW(start, WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(button, BM_CLICK, 0, 0);
    SendMessageW(button, BM_CLICK, 0, 0);
    PostMessageW(button, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    const WPARAM command = MAKEWPARAM(GetDlgCtrlID(start), BN_CLICKED);
    PostMessageW(window_.Handle(), WM_COMMAND, command, reinterpret_cast<LPARAM>(start));
    SendMessageW(window_.Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  }

  velmor::win32::ComApartment com_;
  velmor::win32::StepWindow steps_;
  velmor::win32::Win32Platform platform_{L"win32_tests", steps_, com_};
  velmor::win32::FormWindow window_{GetModuleHandleW(nullptr), platform_, steps_, com_};
  ButtonWindow buttons_;
  velmor::Form& form_ = buttons_.Window();
};

// While a step waits (for an installer, or between Excel's retries) the window stays enabled and
// shows the busy cursor. Nothing that reaches it from outside changes the choice or starts a
// handler, during the step or after it; the program's own changes of the choice still show.
// Afterwards the arrow is back.
TEST_F(FormWindowSteps, DuringAStepClicksFromAnywhereChangeNothingThenOrAfter) {
  int starts = 0;
  const int& options = buttons_.options;
  bool enabledDuringStep = false;
  HCURSOR cursorDuringStep = nullptr;
  bool marksKept = false;
  bool ownChangeShown = false;
  std::string kept;  // for each input below: dropped (d) or kept (k) by the step's waits
  buttons_.onStart = [&] {
    ++starts;
    const velmor::Form::Step step = form_.BeginStep(L"テスト中");
    enabledDuringStep = IsWindowEnabled(window_.Handle()) != FALSE;
    // Keys and the pointer (mouse, touch, pen) on the client area or a control are dropped; the
    // pointer on the window's frame is not: it moves the window and opens its system menu.
    HWND form = window_.Handle();
    HWND option = Button(L"A");
    const std::pair<HWND, UINT> inputs[] = {
        {form, WM_KEYDOWN},       {option, WM_LBUTTONDOWN}, {option, WM_POINTERDOWN},
        {form, WM_TOUCH},         {form, WM_POINTERWHEEL},  {option, WM_NCLBUTTONDOWN},
        {form, WM_NCLBUTTONDOWN}, {form, WM_NCPOINTERDOWN}, {form, WM_NCRBUTTONUP}};
    for (const auto& [target, message] : inputs) {
      kept += steps_.DropsInput(MSG{target, message, 0, 0, 0, {}}) ? 'd' : 'k';
    }
    cursorDuringStep = CursorAfterSetCursor();
    ClickFromOutside(L"B");
    platform_.Pause(200);
    marksKept = Checked(L"A") && !Checked(L"B") && form_(L"Option1", 0).Value() == 1 &&
                form_(L"Option1", 1).Value() == 0;
    // The program itself changes the choice.
    form_(L"Option1", 0).SetValue(0);
    form_(L"Option1", 1).SetValue(1);
    ownChangeShown = !Checked(L"A") && Checked(L"B");
    // Queued as the step ends.
    ClickFromOutside(L"A");
  };
  form_(L"Option1", 0).SetValue(1);
  form_.Click(form_(L"Command1"));
  RunQueue();
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(options, 0);
  EXPECT_TRUE(enabledDuringStep);
  EXPECT_EQ(kept, "ddddddkkk");
  EXPECT_EQ(cursorDuringStep, LoadCursorW(nullptr, MAKEINTRESOURCEW(32650)));  // APPSTARTING
  EXPECT_TRUE(marksKept);
  EXPECT_TRUE(ownChangeShown);
  EXPECT_FALSE(Checked(L"A"));
  EXPECT_TRUE(Checked(L"B"));
  EXPECT_EQ(form_(L"Option1", 1).Value(), 1);
  EXPECT_NE(CursorAfterSetCursor(), cursorDuringStep);
  // After the step a click acts again.
  SendMessageW(Button(L"A"), BM_CLICK, 0, 0);
  EXPECT_EQ(options, 1);
  EXPECT_EQ(form_(L"Option1", 0).Value(), 1);
}

// Memory runs out while the window paints, when idle and while a step waits (and paints): the
// failure is caught at the border of the window procedure the system called, reaches the run-time
// error report once, as any failure does, and ends the program; the step goes no further.
TEST(FormWindowBorder, AFailureWhilePaintingEndsInTheReportOnce) {
  for (const bool inStep : {false, true}) {
    velmor::win32::ComApartment com;
    velmor::win32::StepWindow steps;
    testing_support::FakePlatform reports;  // the window's, which shows the report
    velmor::win32::Win32Platform waits(L"win32_tests", steps, com);  // the step's waits
    velmor::win32::FormWindow window(GetModuleHandleW(nullptr), reports, steps, com);
    ButtonWindow buttons;
    velmor::Form& form = buttons.Window();
    form.AttachHost(&window);
    form.Show();
    // The brushes are made again at the next paint, which so allocates.
    const auto plant = [&] {
      SendMessageW(window.Handle(), WM_SYSCOLORCHANGE, 0, 0);
      failNextAllocation = true;
    };
    bool wentOn = false;
    buttons.onStart = [&] {
      const velmor::Form::Step step = form.BeginStep(L"テスト中");
      plant();
      waits.Pause(500);
      wentOn = true;
    };
    if (inStep) {
      SendMessageW(FindWindowExW(window.Handle(), nullptr, L"BUTTON", L"開始"), BM_CLICK, 0, 0);
    } else {
      plant();
      UpdateWindow(window.Handle());
    }
    PostQuitMessage(0);  // the loop ends once what is queued is handled, whatever happened
    EXPECT_EQ(window.RunMessageLoop(), velmor::kExitRuntimeError) << inStep;
    failNextAllocation = false;
    EXPECT_FALSE(wentOn);
    ASSERT_EQ(reports.log.size(), 1u) << inStep;
    EXPECT_NE(reports.log[0].find(L"メモリが不足しています。"), std::wstring::npos);
    EXPECT_EQ(window.Handle(), nullptr);
    form.AttachHost(nullptr);
    DropQuitRequest();
  }
}

// The session may end while the program shows a message or waits for an installer (which decides
// about its own work), not from Excel's start until its end; a close is refused during the whole
// step.
TEST_F(FormWindowSteps, RefusesToEndTheSessionOnlyWhileExcelIsDriven) {
  using velmor::StepEvent;
  using velmor::win32::StepWork;
  const auto sessionMayEnd = [&] {
    return SendMessageW(window_.Handle(), WM_QUERYENDSESSION, 0, 0) != FALSE;
  };
  {
    const velmor::Form::Step step = form_.BeginStep(L"インストール中です。");
    EXPECT_TRUE(sessionMayEnd());
    {
      const StepWork installer(steps_, StepEvent::kInstallerStarted, StepEvent::kInstallerEnded);
      EXPECT_TRUE(sessionMayEnd());
    }
    {
      const StepWork excel(steps_, StepEvent::kExcelStarted, StepEvent::kExcelEnded);
      EXPECT_FALSE(sessionMayEnd());
      const StepWork box(steps_, StepEvent::kMessageOpened, StepEvent::kMessageClosed);
      EXPECT_FALSE(sessionMayEnd());
    }
    EXPECT_TRUE(sessionMayEnd());
    SendMessageW(window_.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window_.Handle()));
  }
  EXPECT_TRUE(sessionMayEnd());
}

// What counts as no program in front at the end of a step: the desktop, in any of the windows
// Explorer draws it in, and the taskbars.
TEST(DesktopOrTaskbar, AreTheDesktopsWindowsAndTheTaskbarsNotOtherWindows) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  const auto isDesktop = [&](const wchar_t* className) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
    const velmor::win32::UniqueWindow window(CreateWindowExW(
        0, className, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, instance, nullptr));
    EXPECT_NE(window.get(), nullptr) << velmor::Utf8FromWide(className);
    const bool desktop = velmor::win32::IsDesktopOrTaskbar(window.get());
    UnregisterClassW(className, instance);
    return desktop;
  };
  EXPECT_TRUE(isDesktop(L"WorkerW"));
  EXPECT_TRUE(isDesktop(L"Progman"));
  EXPECT_TRUE(isDesktop(L"Shell_TrayWnd"));
  EXPECT_TRUE(isDesktop(L"Shell_SecondaryTrayWnd"));
  EXPECT_FALSE(isDesktop(L"CabinetWClass"));  // an Explorer folder is a program in front
  EXPECT_FALSE(isDesktop(L"WorkerWindow"));
  EXPECT_TRUE(velmor::win32::IsDesktopOrTaskbar(GetDesktopWindow()));
  EXPECT_FALSE(velmor::win32::IsDesktopOrTaskbar(nullptr));
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
