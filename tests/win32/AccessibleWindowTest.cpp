// The accessible objects of both windows, called in-process: where each child lies, the objects'
// reference counts and interfaces, navigation and hit testing among painted labels, the window's
// answer to WM_GETOBJECT, an object that outlives its window, and the events a screen reader hears
// when a colour changes. What a screen reader in another process reads and does is tested end to
// end (the "reader" steps of the e2e driver).

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>

#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "AccessibleForm.h"
#include "AccessibleWindow.h"
#include "FormWindow.h"
#include "Handles.h"
#include "TestWindow.h"
#include "setup/Form1.h"
#include "uninstall/Form1.h"

namespace {

using Microsoft::WRL::ComPtr;
using velmor::win32::UniqueBstr;

VARIANT Child(long id) {
  VARIANT child{};
  V_VT(&child) = VT_I4;
  V_I4(&child) = id;
  return child;
}

// A shown window of either program, its controls in the state the named test gives them.
class ShownWindow : public TestWindow {
 public:
  using TestWindow::TestWindow;
  ComPtr<IAccessible> Object(const velmor::Control* control = nullptr) {
    return Window().AccessibleObject(control);
  }
  // A control's box in screen pixels, as the window lays it out.
  RECT ScreenBox(const velmor::Control& control) const {
    RECT box = Controls().PxRect(control.Spec().box);
    MapWindowPoints(Handle(), nullptr, reinterpret_cast<POINT*>(&box), 2);
    return box;
  }
};

struct Said {
  std::wstring name;
  long role;
  long state;
  std::wstring description;
  bool operator==(const Said&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Said& said) {
  return out << testing::PrintToString(said.name) << " role " << said.role << " state "
             << said.state << " " << testing::PrintToString(said.description);
}

std::wstring TextOf(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*),
                    IAccessible& object, long id) {
  UniqueBstr text;
  const HRESULT result = (object.*get)(Child(id), text.put());
  EXPECT_TRUE(result == S_OK || result == S_FALSE) << std::hex << result;
  return text ? std::wstring(text.get()) : std::wstring();
}

long NumberOf(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*), IAccessible& object,
              long id) {
  VARIANT value{};
  EXPECT_EQ((object.*get)(Child(id), &value), S_OK);
  EXPECT_EQ(V_VT(&value), VT_I4);
  return V_I4(&value);
}

Said SaidOf(IAccessible& object, long id) {
  return {TextOf(&IAccessible::get_accName, object, id),
          NumberOf(&IAccessible::get_accRole, object, id),
          NumberOf(&IAccessible::get_accState, object, id),
          TextOf(&IAccessible::get_accDescription, object, id)};
}

constexpr long kFocusable = STATE_SYSTEM_FOCUSABLE;
constexpr LPARAM kUiaRootObjectId = -25;  // what UI Automation asks a window for
constexpr long kText = STATE_SYSTEM_READONLY;

std::vector<Said> SharedStart() {
  return {{L"Velmor", ROLE_SYSTEM_GRAPHIC, kFocusable | STATE_SYSTEM_FOCUSED, L""},
          {L"開始", ROLE_SYSTEM_PUSHBUTTON, kFocusable, L""},
          {L"終了", ROLE_SYSTEM_PUSHBUTTON, kFocusable, L""},
          {L"架空ソフト株式会社", ROLE_SYSTEM_STATICTEXT, kText, L""},
          {L"TEL : 000-0000-0000", ROLE_SYSTEM_STATICTEXT, kText, L""},
          {L"Ver : 4.01", ROLE_SYSTEM_STATICTEXT, kText, L""}};
}

struct WindowCase {
  const char* window;
  const velmor::FormSpec* spec;
  void (*prepare)(velmor::Form& form);  // the state a run gives the window
  std::vector<Said> children;
};

void PrintTo(const WindowCase& param, std::ostream* out) { *out << param.window; }

// Setup with /A3: TorvaneEx is this run's add-in. Uninstall with TorvaneEx chosen.
void PrepareSetup(velmor::Form& form) {
  for (std::int16_t i = 0; i <= 4; ++i) form(L"Label1", i).SetForeColor(velmor::k3DHighlight);
  form(L"Label1", 2).SetForeColor(velmor::kButtonText);
}
void PrepareUninstall(velmor::Form& form) {
  form(L"Option1", 2).SetValue(1);
  form(L"Option1", 2).SetForeColor(velmor::kBlue);
}

std::vector<Said> SetupChildren() {
  std::vector<Said> children = SharedStart();
  children.push_back({L"Addoin :", ROLE_SYSTEM_STATICTEXT, kText, L""});
  children.push_back({L"Microsoft Visual C++ 2010 x86 Redistributable - 10.0.3019",
                      ROLE_SYSTEM_CHECKBUTTON, kFocusable, L""});
  for (const wchar_t* addin :
       {L"CordaleEx.xla", L"BriselEx.xla", L"TorvaneEx.xla", L"MalvixEx.xla", L"Quillon.exe"}) {
    children.push_back({addin, ROLE_SYSTEM_STATICTEXT, kText,
                        std::wstring(addin) == L"TorvaneEx.xla" ? L"インストール対象" : L""});
  }
  return children;
}

std::vector<Said> UninstallChildren() {
  std::vector<Said> children = SharedStart();
  children.push_back({L"Addin :", ROLE_SYSTEM_STATICTEXT, kText, L""});
  children.push_back({L"Addin関数を開放します。", ROLE_SYSTEM_STATICTEXT, kText, L""});
  for (const wchar_t* addin :
       {L"CordaleEx.xla", L"BriselEx.xla", L"TorvaneEx.xla", L"MalvixEx.xla", L"Quillon.exe"}) {
    const bool chosen = std::wstring(addin) == L"TorvaneEx.xla";
    children.push_back(
        {addin, ROLE_SYSTEM_RADIOBUTTON, kFocusable | (chosen ? STATE_SYSTEM_CHECKED : 0), L""});
  }
  return children;
}

class BothWindows : public testing::TestWithParam<WindowCase> {};

// Every child in tab order says what it is, and lies where the window shows it: on the control's
// own window for a real control.
TEST_P(BothWindows, EveryChildSaysWhatItIsAndWhereItLies) {
  ShownWindow shown(*GetParam().spec);
  GetParam().prepare(shown.Form());
  HWND logo = FindWindowExW(shown.Handle(), nullptr, L"VelmorPictureBox", nullptr);
  SetFocus(logo);
  ASSERT_EQ(GetFocus(), logo);
  const ComPtr<IAccessible> object = shown.Object();

  long count = 0;
  ASSERT_EQ(object->get_accChildCount(&count), S_OK);
  ASSERT_EQ(count, static_cast<long>(GetParam().children.size()));
  const std::vector<const velmor::Control*> shownControls =
      velmor::AccessibleControls(shown.Form());
  for (long id = 1; id <= count; ++id) {
    EXPECT_EQ(SaidOf(*object.Get(), id), GetParam().children[static_cast<std::size_t>(id - 1)])
        << "child " << id;
    const velmor::Control& control = *shownControls[static_cast<std::size_t>(id - 1)];
    RECT expected = shown.ScreenBox(control);
    if (control.Spec().kind != velmor::ControlKind::kLabel) {
      HWND own = shown.Window().Controls().WindowOf(&control);
      ASSERT_NE(own, nullptr);
      GetWindowRect(own, &expected);
    }
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(object->accLocation(&left, &top, &width, &height, Child(id)), S_OK);
    EXPECT_EQ((std::array<long, 4>{left, top, width, height}),
              (std::array<long, 4>{expected.left, expected.top, expected.right - expected.left,
                                   expected.bottom - expected.top}))
        << "child " << id;
  }
  EXPECT_EQ(TextOf(&IAccessible::get_accName, *object.Get(), CHILDID_SELF), shown.Form().Caption());
  EXPECT_EQ(NumberOf(&IAccessible::get_accRole, *object.Get(), CHILDID_SELF), ROLE_SYSTEM_CLIENT);
  EXPECT_EQ(TextOf(&IAccessible::get_accDefaultAction, *object.Get(), 2), L"押す");
  velmor::win32::UniqueVariant focus;
  EXPECT_EQ(object->get_accFocus(focus.put()), S_OK);
  ASSERT_EQ(V_VT(focus.get()), VT_DISPATCH);
  EXPECT_EQ(V_DISPATCH(focus.get()), shown.Object(&shown.Form()(L"Picture2")).Get());
  UniqueBstr none;
  EXPECT_EQ(object->get_accName(Child(0 - 1), none.put()), E_INVALIDARG);
  EXPECT_EQ(object->get_accName(Child(count + 1), none.put()), E_INVALIDARG);
}

INSTANTIATE_TEST_SUITE_P(Both, BothWindows,
                         testing::Values(WindowCase{"Setup", &setup::kForm1Spec, PrepareSetup,
                                                    SetupChildren()},
                                         WindowCase{"Uninstall", &uninstall::kForm1Spec,
                                                    PrepareUninstall, UninstallChildren()}),
                         [](const auto& param) { return std::string(param.param.window); });

// One reference count for all its interfaces; the window it lives in, from any of them.
TEST(AccessibleObject, CountsItsReferencesAndOffersItsInterfaces) {
  ShownWindow shown(setup::kForm1Spec);
  ComPtr<IAccessible> object = shown.Object();  // the window keeps one reference
  EXPECT_EQ(object->AddRef(), 3u);
  EXPECT_EQ(object->Release(), 2u);
  ComPtr<IDispatch> dispatch;
  ComPtr<IUnknown> unknown;
  ComPtr<IAccessible> again;
  ComPtr<IOleWindow> window;
  EXPECT_EQ(object.As(&dispatch), S_OK);
  EXPECT_EQ(object.As(&unknown), S_OK);
  EXPECT_EQ(dispatch.As(&again), S_OK);
  EXPECT_EQ(again.Get(), object.Get());
  ASSERT_EQ(dispatch.As(&window), S_OK);
  HWND handle = nullptr;
  EXPECT_EQ(window->GetWindow(&handle), S_OK);
  EXPECT_EQ(handle, shown.Handle());
  ComPtr<IEnumVARIANT> enumerator;
  EXPECT_EQ(object.As(&enumerator), E_NOINTERFACE);
  EXPECT_EQ(object->AddRef(), 7u);  // the owners above hold four more
  EXPECT_EQ(object->Release(), 6u);
}

// From the window's first child on in tab order, and back; a point on a label is that label, one
// on the bare window the window itself, one off it nothing.
TEST(AccessibleObject, NavigatesInTabOrderAndFindsTheLabelAtAPoint) {
  ShownWindow shown(setup::kForm1Spec);
  const ComPtr<IAccessible> object = shown.Object();
  const auto navigate = [&](long direction, long from) {
    VARIANT end{};
    const HRESULT result = object->accNavigate(direction, Child(from), &end);
    return result == S_OK && V_VT(&end) == VT_I4 ? V_I4(&end) : -1;
  };
  EXPECT_EQ(navigate(NAVDIR_LASTCHILD, CHILDID_SELF), 13);
  EXPECT_EQ(navigate(NAVDIR_NEXT, 11), 12);
  EXPECT_EQ(navigate(NAVDIR_PREVIOUS, 11), 10);
  EXPECT_EQ(navigate(NAVDIR_PREVIOUS, 1), -1);
  EXPECT_EQ(navigate(NAVDIR_NEXT, 13), -1);

  const RECT label = shown.ScreenBox(shown.Form()(L"Label1", 2));
  const auto hit = [&](long x, long y) {
    VARIANT child{};
    const HRESULT result = object->accHitTest(x, y, &child);
    return result == S_OK && V_VT(&child) == VT_I4 ? V_I4(&child) : -1;
  };
  EXPECT_EQ(hit(label.left + 2, label.top + 2), 11);
  EXPECT_EQ(TextOf(&IAccessible::get_accName, *object.Get(), hit(label.left + 2, label.top + 2)),
            L"TorvaneEx.xla");
  EXPECT_EQ(hit(label.left - 60, label.top + 2), CHILDID_SELF);  // left of the column
  RECT frame{};
  GetWindowRect(shown.Handle(), &frame);
  EXPECT_EQ(hit(frame.right + 5, frame.bottom + 5), -1);
}

// The window's object and each control window's are handed out for the client area only; a
// control window's object speaks for its control.
TEST(AccessibleObject, TheWindowAnswersWmGetObjectForItsClientAreaOnly) {
  ShownWindow shown(setup::kForm1Spec);
  HWND logo = FindWindowExW(shown.Handle(), nullptr, L"VelmorPictureBox", nullptr);
  for (HWND window : {shown.Handle(), logo}) {
    EXPECT_EQ(SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_WINDOW)), 0);
    EXPECT_EQ(SendMessageW(window, WM_GETOBJECT, 0, kUiaRootObjectId), 0);
    const LRESULT answer = SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT));
    ASSERT_GT(answer, 0) << std::hex << answer;  // LresultFromObject's reference to the object
    ComPtr<IAccessible> object;
    ASSERT_EQ(ObjectFromLresult(answer, __uuidof(IAccessible), 0,
                                reinterpret_cast<void**>(object.GetAddressOf())),
              S_OK);
    const std::wstring name = TextOf(&IAccessible::get_accName, *object.Get(), CHILDID_SELF);
    EXPECT_EQ(name, window == logo ? L"Velmor" : L"Velmor Setup");
  }

  const ComPtr<IAccessible> logoObject = shown.Object(&shown.Form()(L"Picture2"));
  long count = -1;
  EXPECT_EQ(logoObject->get_accChildCount(&count), S_OK);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(NumberOf(&IAccessible::get_accRole, *logoObject.Get(), CHILDID_SELF),
            ROLE_SYSTEM_GRAPHIC);
  UniqueBstr none;
  EXPECT_EQ(logoObject->get_accName(Child(1), none.put()), E_INVALIDARG);
}

// A screen reader keeps the objects it was given; once the window is gone, they say so, and only
// the reader holds them: the window has let go, and no object holds another. (Where a control's
// object lives, its window and its parent, the screen_reader scenario checks for every control.)
TEST(AccessibleObject, OutlivesItsWindowWithoutTouchingIt) {
  ComPtr<IAccessible> object;
  ComPtr<IAccessible> button;
  {
    ShownWindow shown(setup::kForm1Spec);
    object = shown.Object();
    ComPtr<IDispatch> child;
    ASSERT_EQ(object->get_accChild(Child(2), child.GetAddressOf()), S_OK);
    ASSERT_EQ(child.As(&button), S_OK);
    ComPtr<IDispatch> parent;
    ASSERT_EQ(button->get_accParent(parent.GetAddressOf()), S_OK);
  }
  UniqueBstr name;
  EXPECT_EQ(object->get_accName(Child(CHILDID_SELF), name.put()), CO_E_OBJNOTCONNECTED);
  long count = -1;
  EXPECT_EQ(object->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
  ComPtr<IDispatch> parent;
  EXPECT_EQ(button->get_accParent(parent.GetAddressOf()), CO_E_OBJNOTCONNECTED);
  for (IAccessible* held : {object.Get(), button.Get()}) {
    EXPECT_EQ(held->AddRef(), 2u);
    held->Release();
  }
}

struct HeardEvent {
  DWORD event;
  HWND window;
  LONG object;
  LONG child;
  bool operator==(const HeardEvent&) const = default;
};
std::vector<HeardEvent> heard;

void CALLBACK Listen(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child, DWORD,
                     DWORD) {
  heard.push_back({event, window, object, child});
}

// Out-of-context events arrive as messages: pumped until the one looked for came, for at most 5 s.
bool Heard(const HeardEvent& wanted) {
  for (int round = 0; round < 500; ++round) {
    for (const HeardEvent& event : heard) {
      if (event == wanted) return true;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return false;
}

// The install step turns this run's add-in blue once its package has run, and the check box blue
// once the redistributable has: a screen reader on either hears the change.
TEST(AccessibleObject, SaysWhatTheInstallStepDidAndRaisesAnEventForIt) {
  ShownWindow shown(setup::kForm1Spec);
  PrepareSetup(shown.Form());
  const ComPtr<IAccessible> object = shown.Object();
  EXPECT_EQ(TextOf(&IAccessible::get_accDescription, *object.Get(), 11), L"インストール対象");
  EXPECT_EQ(TextOf(&IAccessible::get_accDescription, *object.Get(), 8), L"");

  heard.clear();
  const HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_DESCRIPTIONCHANGE, nullptr, &Listen,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  shown.Form()(L"Check1").SetValue(1);
  shown.Form()(L"Check1").SetForeColor(velmor::kBlue);
  shown.Form()(L"Label1", 2).SetForeColor(velmor::kBlue);
  const bool labelHeard = Heard({EVENT_OBJECT_DESCRIPTIONCHANGE, shown.Handle(), OBJID_CLIENT, 11});
  const bool checkBoxHeard = Heard({EVENT_OBJECT_DESCRIPTIONCHANGE,
                                    shown.Window().Controls().WindowOf(&shown.Form()(L"Check1")),
                                    OBJID_CLIENT, CHILDID_SELF});
  UnhookWinEvent(hook);
  EXPECT_TRUE(labelHeard);
  EXPECT_TRUE(checkBoxHeard);

  EXPECT_EQ(TextOf(&IAccessible::get_accDescription, *object.Get(), 11), L"ソフト展開済み");
  EXPECT_EQ(TextOf(&IAccessible::get_accDescription, *object.Get(), 8), L"インストール済み");
  EXPECT_EQ(NumberOf(&IAccessible::get_accState, *object.Get(), 8) & STATE_SYSTEM_CHECKED,
            STATE_SYSTEM_CHECKED);
}

// A default action is posted, as a click is, and so may reach the window after a step has begun:
// it then does nothing, as a click on the disabled window would. A screen reader hears that the
// window became unavailable.
TEST(AccessibleObject, ADefaultActionThatMeetsAStepDoesNothing) {
  ShownWindow shown(setup::kForm1Spec);
  const ComPtr<IAccessible> object = shown.Object();
  HWND checkBox = shown.Window().Controls().WindowOf(&shown.Form()(L"Check1"));
  heard.clear();
  const HWINEVENTHOOK hook =
      SetWinEventHook(EVENT_OBJECT_STATECHANGE, EVENT_OBJECT_STATECHANGE, nullptr, &Listen,
                      GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
  ASSERT_NE(hook, nullptr);
  ASSERT_EQ(object->accDoDefaultAction(Child(8)), S_OK);  // the check box
  bool unavailableHeard = false;
  {
    const velmor::Form::Step step = shown.Form().BeginStep(L"test");
    unavailableHeard =
        Heard({EVENT_OBJECT_STATECHANGE, shown.Handle(), OBJID_CLIENT, CHILDID_SELF});
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_EQ(NumberOf(&IAccessible::get_accState, *object.Get(), 8) & STATE_SYSTEM_UNAVAILABLE,
              STATE_SYSTEM_UNAVAILABLE);
  }
  UnhookWinEvent(hook);
  EXPECT_TRUE(unavailableHeard);
  EXPECT_EQ(shown.Form()(L"Check1").Value(), 0);
  EXPECT_EQ(SendMessageW(checkBox, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

LRESULT CALLBACK CountColourChanges(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR, DWORD_PTR count) {
  if (message == WM_SYSCOLORCHANGE) ++*reinterpret_cast<int*>(count);
  return DefSubclassProc(window, message, wParam, lParam);
}

// Only top-level windows hear of a new colour scheme from the system; each control must hear it
// from the window, or it keeps the old colours until the program starts again.
TEST(FormWindow, PassesANewColourSchemeOnToEveryControl) {
  ShownWindow shown(uninstall::kForm1Spec);
  std::vector<int> counts(16, 0);
  std::vector<HWND> controls;
  for (HWND child = GetWindow(shown.Handle(), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    ASSERT_LT(controls.size(), counts.size());
    SetWindowSubclass(child, &CountColourChanges, 1,
                      reinterpret_cast<DWORD_PTR>(&counts[controls.size()]));
    controls.push_back(child);
  }
  EXPECT_EQ(controls.size(), 8u);  // five option buttons, two buttons, the logo
  SendMessageW(shown.Handle(), WM_SYSCOLORCHANGE, 0, 0);
  for (std::size_t i = 0; i < controls.size(); ++i) {
    EXPECT_EQ(counts[i], 1) << "control " << i;
    RemoveWindowSubclass(controls[i], &CountColourChanges, 1);
  }
}

}  // namespace
