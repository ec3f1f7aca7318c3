// The "reader" steps: the program's window read and used from this process through MSAA, as a
// screen reader does. Each attempt runs on a thread of its own in a COM apartment of its own,
// bounded by the step timeout, so that a program that does not answer fails the step instead of
// hanging the driver; the steps that read wait, within the timeout, until what they read holds.

#include <oleacc.h>
#include <wrl/client.h>

#include <array>
#include <memory>
#include <string_view>
#include <utility>

#include "ComOwners.h"
#include "Driver.h"

namespace e2e {
namespace {

using Microsoft::WRL::ComPtr;
using velmor::win32::UniqueBstr;
using velmor::win32::UniqueHandle;
using velmor::win32::UniqueVariant;

constexpr std::array<std::pair<long, std::wstring_view>, 7> kRoles{{
    {ROLE_SYSTEM_CLIENT, L"client"},
    {ROLE_SYSTEM_WINDOW, L"window"},
    {ROLE_SYSTEM_GRAPHIC, L"graphic"},
    {ROLE_SYSTEM_STATICTEXT, L"static text"},
    {ROLE_SYSTEM_PUSHBUTTON, L"push button"},
    {ROLE_SYSTEM_CHECKBUTTON, L"check button"},
    {ROLE_SYSTEM_RADIOBUTTON, L"radio button"},
}};

constexpr std::array<std::pair<long, std::wstring_view>, 6> kStates{{
    {STATE_SYSTEM_FOCUSABLE, L"focusable"},
    {STATE_SYSTEM_FOCUSED, L"focused"},
    {STATE_SYSTEM_CHECKED, L"checked"},
    {STATE_SYSTEM_PRESSED, L"pressed"},
    {STATE_SYSTEM_UNAVAILABLE, L"unavailable"},
    {STATE_SYSTEM_READONLY, L"read-only"},
}};

std::wstring Hex(long value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(value));
  return text;
}

std::wstring RoleText(long role) {
  for (const auto& [value, word] : kRoles) {
    if (value == role) return std::wstring(word);
  }
  return L"role " + Hex(role);
}

std::wstring StateText(long state) {
  std::wstring text;
  for (const auto& [bit, word] : kStates) {
    if ((state & bit) == 0) continue;
    text += (text.empty() ? L"" : L" ") + std::wstring(word);
    state &= ~bit;
  }
  if (state != 0) text += (text.empty() ? L"" : L" ") + Hex(state);
  return text.empty() ? L"(none)" : text;
}

long ParseRole(const std::wstring& text) {
  for (const auto& [value, word] : kRoles) {
    if (word == text) return value;
  }
  Fail(L"unknown role " + Quote(text));
}

long ParseStates(const std::wstring& text) {
  long state = 0;
  for (const std::wstring& word : Words(text)) {
    const auto known = std::find_if(kStates.begin(), kStates.end(),
                                    [&](const auto& bit) { return bit.second == word; });
    if (known == kStates.end()) Fail(L"unknown state " + Quote(word));
    state |= known->first;
  }
  return state;
}

// What a reader is told of one object or element.
struct Said {
  std::wstring name;
  long role = 0;
  long state = 0;
  std::wstring description;
  std::wstring action;
  bool operator==(const Said&) const = default;
};

std::wstring Describe(const Said& said) {
  return Quote(said.name) + L" | " + RoleText(said.role) + L" | " + StateText(said.state) + L" | " +
         Quote(said.description) + L" | " + Quote(said.action);
}

VARIANT ChildId(long id) {
  VARIANT child{};
  V_VT(&child) = VT_I4;
  V_I4(&child) = id;
  return child;
}

[[noreturn]] void FailCall(const wchar_t* call, HRESULT result) {
  Fail(std::wstring(call) + L" failed: " + Hex(result));
}

std::wstring TextOf(IAccessible& object,
                    HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), long id,
                    const wchar_t* call) {
  UniqueBstr text;
  const HRESULT result = (object.*get)(ChildId(id), text.put());
  if (result != S_OK && result != S_FALSE) FailCall(call, result);
  return text ? std::wstring(text.get()) : std::wstring();
}

long NumberOf(IAccessible& object, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*),
              long id, const wchar_t* call) {
  UniqueVariant value;
  const HRESULT result = (object.*get)(ChildId(id), value.put());
  if (result != S_OK) FailCall(call, result);
  if (V_VT(value.get()) != VT_I4) Fail(std::wstring(call) + L" did not answer a number");
  return V_I4(value.get());
}

Said Read(IAccessible& object, long id) {
  return {TextOf(object, &IAccessible::get_accName, id, L"get_accName"),
          NumberOf(object, &IAccessible::get_accRole, id, L"get_accRole"),
          NumberOf(object, &IAccessible::get_accState, id, L"get_accState"),
          TextOf(object, &IAccessible::get_accDescription, id, L"get_accDescription"),
          TextOf(object, &IAccessible::get_accDefaultAction, id, L"get_accDefaultAction")};
}

// One object, as COM tells: the same IUnknown.
bool Same(IUnknown* a, IUnknown* b) {
  ComPtr<IUnknown> first;
  ComPtr<IUnknown> second;
  return a != nullptr && b != nullptr && SUCCEEDED(a->QueryInterface(IID_PPV_ARGS(&first))) &&
         SUCCEEDED(b->QueryInterface(IID_PPV_ARGS(&second))) && first.Get() == second.Get();
}

ComPtr<IAccessible> ObjectOfWindow(HWND window) {
  ComPtr<IAccessible> object;
  const HRESULT result =
      AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_PPV_ARGS(&object));
  if (FAILED(result) || !object) FailCall(L"AccessibleObjectFromWindow", result);
  return object;
}

// Child n's own object; null for a simple element.
ComPtr<IAccessible> ChildObject(IAccessible& client, long n) {
  ComPtr<IDispatch> dispatch;
  const HRESULT result = client.get_accChild(ChildId(n), dispatch.GetAddressOf());
  if (result != S_OK && result != S_FALSE) FailCall(L"get_accChild", result);
  ComPtr<IAccessible> object;
  if (dispatch && FAILED(dispatch.As(&object))) Fail(L"child's object is not IAccessible");
  return object;
}

// The control window at the middle of an object's place on the screen.
HWND WindowAt(HWND form, IAccessible& object) {
  long left = 0, top = 0, width = 0, height = 0;
  const HRESULT result = object.accLocation(&left, &top, &width, &height, ChildId(CHILDID_SELF));
  if (result != S_OK) FailCall(L"accLocation", result);
  POINT middle{left + width / 2, top + height / 2};
  ScreenToClient(form, &middle);
  HWND found = ChildWindowFromPointEx(form, middle, CWP_SKIPINVISIBLE);
  if (found == nullptr || found == form) Fail(L"no control window lies at the object's place");
  return found;
}

// What is wrong with a control's own object, as Windows' objects for a control window are: the
// control window answers with it; it and its parent say they live in that window (IOleWindow, which
// WindowFromAccessibleObject asks), its parent being the system's object for the window, not the
// client object; it navigates nowhere; and its identity is the one the system composes for the
// window's client object, or it has none where the system composes none. Empty when all holds.
std::wstring OwnWindowProblem(IAccessible& own, HWND control, IUnknown* client) {
  HWND window = nullptr;
  ComPtr<IDispatch> parent;
  ComPtr<IAccessible> parentObject;
  HWND parentWindow = nullptr;
  VARIANT end{};
  if (!Same(ObjectOfWindow(control).Get(), &own)) return L"the control window answers otherwise";
  if (FAILED(WindowFromAccessibleObject(&own, &window)) || window != control) {
    return L"its window is not its control's";
  }
  if (own.get_accParent(parent.GetAddressOf()) != S_OK || !parent || Same(parent.Get(), client) ||
      FAILED(parent.As(&parentObject)) ||
      FAILED(WindowFromAccessibleObject(parentObject.Get(), &parentWindow)) ||
      parentWindow != control) {
    return L"its parent is not the system's object for its control window";
  }
  if (own.accNavigate(NAVDIR_NEXT, ChildId(CHILDID_SELF), &end) != S_FALSE) {
    return L"it navigates somewhere";
  }
  BYTE* system = nullptr;
  DWORD systemLength = 0;
  const HRESULT composed =
      velmor::win32::oleacc::ClientIdentityString(control, CHILDID_SELF, &system, &systemLength);
  const std::string want(reinterpret_cast<const char*>(system), system ? systemLength : 0);
  CoTaskMemFree(system);
  constexpr GUID kAccIdentity = {
      0x7852b78d, 0x1cfd, 0x41c1, {0xa6, 0x15, 0x9c, 0x0c, 0x85, 0x96, 0x0b, 0x5f}};
  ComPtr<IAccIdentity> identity;
  const HRESULT offered =
      own.QueryInterface(kAccIdentity, reinterpret_cast<void**>(identity.GetAddressOf()));
  if (FAILED(composed)) {
    return SUCCEEDED(offered) ? L"it offers an identity the system composes none of" : L"";
  }
  BYTE* given = nullptr;
  DWORD givenLength = 0;
  if (FAILED(offered) || identity->GetIdentityString(CHILDID_SELF, &given, &givenLength) != S_OK) {
    return L"it gives no identity";
  }
  const std::string have(reinterpret_cast<const char*>(given), givenLength);
  CoTaskMemFree(given);
  return have == want ? L"" : L"its identity is not the system's for its window";
}

// What one attempt found: problem empty when what it checks holds; heard, what the reader was told.
struct Attempt {
  std::wstring problem;
  std::wstring heard;
};

struct Task {
  std::function<Attempt()> work;
  Attempt answer;
};

DWORD WINAPI RunTask(void* parameter) {
  const std::unique_ptr<std::shared_ptr<Task>> task(static_cast<std::shared_ptr<Task>*>(parameter));
  const velmor::win32::ComApartment com;
  try {
    (*task)->answer = (*task)->work();
  } catch (const Failure& failure) {
    (*task)->answer.problem = failure.message;
  } catch (...) {
    (*task)->answer.problem = L"the reader failed";
  }
  return 0;
}

// Runs work on a thread of its own, at most ms. A thread that does not end in time is left to
// itself (it holds its own share of the task) and the step fails.
Attempt Bounded(unsigned long ms, std::function<Attempt()> work) {
  const auto task = std::make_shared<Task>(Task{std::move(work), {}});
  auto handed = std::make_unique<std::shared_ptr<Task>>(task);
  const UniqueHandle thread(CreateThread(nullptr, 0, &RunTask, handed.get(), 0, nullptr));
  if (!thread) Fail(L"cannot start the reader's thread");
  handed.release();  // the thread owns it now
  if (WaitForSingleObject(thread.get(), ms) != WAIT_OBJECT_0) {
    Fail(L"the program did not answer the screen reader within " + std::to_wstring(ms / 1000) +
         L" s");
  }
  return task->answer;
}

// Polls check until it finds nothing wrong; the step fails at the timeout with its last finding.
void Expect(Driver& d, const std::wstring& what, const std::function<Attempt()>& check) {
  Attempt last;
  try {
    d.WaitFor(
        [&] {
          last = Bounded(d.timeoutMs, check);
          return last.problem.empty();
        },
        what);
  } catch (const Failure& failure) {
    Fail(last.problem.empty() ? failure.message
                              : failure.message + L"; the reader found: " + last.problem);
  }
  if (!last.heard.empty()) Out(L"    " + last.heard + L"\n");
}

// Once, not waited for.
void Act(Driver& d, const std::function<Attempt()>& act) {
  const Attempt attempt = Bounded(d.timeoutMs, act);
  if (!attempt.problem.empty()) Fail(attempt.problem);
  if (!attempt.heard.empty()) Out(L"    " + attempt.heard + L"\n");
}

// Polls check on the window's client object until it finds nothing wrong (Expect).
void ExpectOfClient(Driver& d, const std::wstring& what,
                    const std::function<Attempt(HWND form, IAccessible& client)>& check) {
  HWND form = d.RequireWindow();
  Expect(d, what, [form, check] { return check(form, *ObjectOfWindow(form).Get()); });
}

// Runs act once, not waited for, on child n's own object (the step's first argument).
void ActOnChild(Driver& d, const Step& step,
                const std::function<void(HWND form, IAccessible& own)>& act) {
  HWND form = d.RequireWindow();
  const long n = step.args[0].value;
  Act(d, [form, n, act] {
    const ComPtr<IAccessible> own = ChildObject(*ObjectOfWindow(form).Get(), n);
    if (!own) Fail(L"child " + std::to_wstring(n) + L" is not an object of its own");
    act(form, *own.Get());
    return Attempt{};
  });
}

Attempt Compare(const Said& said, const Said& want, std::wstring heard) {
  heard += Describe(said);
  if (said == want) return {L"", heard};
  return {L"says " + Describe(said) + L", expected " + Describe(want), heard};
}

// What a reader is to be told, from the arguments from first on: name, role, and as far as
// given, states, description and default action.
Said SaidFrom(const Args& args, size_t first) {
  const auto text = [&](size_t i) { return first + i < args.size() ? args[first + i].text : L""; };
  return {text(0), args[first + 1].value, first + 2 < args.size() ? args[first + 2].value : 0,
          text(3), text(4)};
}

void ExpectWindow(Driver& d, const Step& step) {
  const Said want = SaidFrom(step.args, 0);
  const auto check = [want](HWND, IAccessible& client) {
    Said said = Read(client, CHILDID_SELF);
    said.description.clear();
    said.action.clear();
    Attempt attempt = Compare(said, want, L"window: ");
    if (!attempt.problem.empty()) return attempt;
    ComPtr<IDispatch> parent;
    const HRESULT result = client.get_accParent(parent.GetAddressOf());
    ComPtr<IAccessible> parentObject;
    if (result != S_OK || !parent || FAILED(parent.As(&parentObject))) {
      attempt.problem = L"the window's object has no parent (" + Hex(result) + L")";
    }
    return attempt;
  };
  ExpectOfClient(d, L"the window's object to say " + Describe(want), check);
}

void ExpectCount(Driver& d, const Step& step) {
  const long want = step.args[0].value;
  const auto check = [want](HWND, IAccessible& client) {
    long count = 0;
    const HRESULT result = client.get_accChildCount(&count);
    if (result != S_OK) FailCall(L"get_accChildCount", result);
    const std::wstring heard = std::to_wstring(count) + L" children";
    return Attempt{count == want ? L"" : heard, heard};
  };
  ExpectOfClient(d, L"the window's object to have " + step.args[0].text + L" children", check);
}

void ExpectChild(Driver& d, const Step& step) {
  const long n = step.args[0].value;
  const bool object = step.args[1].text == L"object";
  const Said want = SaidFrom(step.args, 2);
  const std::wstring where = L"child " + step.args[0].text + L" ";
  ExpectOfClient(d, where + L"to say " + Describe(want), [=](HWND form, IAccessible& client) {
    const ComPtr<IAccessible> own = ChildObject(client, n);
    if (!object) {
      if (own) return Attempt{where + L"is an object of its own, expected an element", L""};
      return Compare(Read(client, n), want, where + L"(element): ");
    }
    if (!own) return Attempt{where + L"is an element, expected an object of its own", L""};
    Attempt attempt = Compare(Read(*own.Get(), CHILDID_SELF), want, where + L"(object): ");
    if (!attempt.problem.empty()) return attempt;
    const std::wstring problem = OwnWindowProblem(*own.Get(), WindowAt(form, *own.Get()), &client);
    if (!problem.empty()) attempt.problem = where + L"object: " + problem;
    return attempt;
  });
}

void ExpectFocus(Driver& d, const Step& step) {
  const Said want = SaidFrom(step.args, 0);
  const auto check = [want](HWND form, IAccessible& client) {
    HWND control = FocusOf(form);
    if (control == nullptr || !IsChild(form, control)) {
      return Attempt{L"no control of the window has the focus", L""};
    }
    const ComPtr<IAccessible> focused = ObjectOfWindow(control);
    Attempt attempt = Compare(Read(*focused.Get(), CHILDID_SELF), want, L"focus: ");
    if (!attempt.problem.empty()) return attempt;
    UniqueVariant focus;
    const HRESULT result = client.get_accFocus(focus.put());
    const std::wstring problem = OwnWindowProblem(*focused.Get(), control, &client);
    if (!problem.empty()) {
      attempt.problem = L"the focused control's object: " + problem;
    } else if (result != S_OK || V_VT(focus.get()) != VT_DISPATCH ||
               !Same(V_DISPATCH(focus.get()), focused.Get())) {
      attempt.problem = L"the window's object names another focus";
    }
    return attempt;
  };
  ExpectOfClient(d, L"the focused control to say " + Describe(want), check);
}

// Child n's default action, taken, refused or ending the program. An action that ends the program
// may end it before the answer is sent: Wine answers from a thread of its own, after the
// program's thread has gone on to the action.
void DoDefaultAction(Driver& d, const Step& step) {
  HWND form = d.RequireWindow();
  const long n = step.args[0].value;
  const std::wstring outcome = step.args.size() > 1 ? step.args[1].text : L"taken";
  Act(d, [form, n, outcome] {
    const ComPtr<IAccessible> client = ObjectOfWindow(form);
    const ComPtr<IAccessible> own = ChildObject(*client.Get(), n);
    const ComPtr<IAccessible>& target = own ? own : client;
    const long id = own ? CHILDID_SELF : n;
    const std::wstring action =
        TextOf(*target.Get(), &IAccessible::get_accDefaultAction, id, L"get_accDefaultAction");
    const HRESULT result = target->accDoDefaultAction(ChildId(id));
    const std::wstring heard = L"default action " + Quote(action) + L": " + Hex(result);
    const bool ended = result == RPC_E_DISCONNECTED || result == RPC_E_SERVER_DIED ||
                       result == RPC_E_SERVER_DIED_DNE ||
                       result == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED) ||
                       result == HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE) ||
                       result == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
    const bool expected = outcome == L"refused" ? FAILED(result)
                          : outcome == L"ends"  ? result == S_OK || ended
                                                : result == S_OK;
    const std::wstring problem =
        outcome == L"refused" ? L"the default action was taken: " : L"the default action failed: ";
    return Attempt{expected ? L"" : problem + heard, heard};
  });
}

// "reader take-focus <n>": child n's own object takes the keyboard focus. "reader select <n>
// [refused]": it is selected as UI Automation selects (accSelect with SELFLAG_TAKESELECTION), or
// that is refused.
void Select(Driver& d, const Step& step) {
  const long flag = step.verb == L"reader select" ? SELFLAG_TAKESELECTION : SELFLAG_TAKEFOCUS;
  const bool refused = step.args.size() > 1;
  ActOnChild(d, step, [flag, refused](HWND, IAccessible& own) {
    const HRESULT result = own.accSelect(flag, ChildId(CHILDID_SELF));
    if (refused && SUCCEEDED(result)) Fail(L"the selection was taken");
    if (!refused && result != S_OK) FailCall(L"accSelect", result);
  });
}

// "reader next|previous <n> <m>|none".
void ExpectNavigation(Driver& d, const Step& step) {
  const bool next = step.verb == L"reader next";
  const long n = step.args[0].value;
  const long m = step.args[1].value;
  const auto check = [next, n, m](HWND, IAccessible& client) {
    UniqueVariant end;
    const HRESULT result =
        client.accNavigate(next ? NAVDIR_NEXT : NAVDIR_PREVIOUS, ChildId(n), end.put());
    if (m == 0) {
      const bool none = result == S_FALSE && V_VT(end.get()) == VT_EMPTY;
      return Attempt{none ? L"" : L"it lands on something (" + Hex(result) + L")", L""};
    }
    const ComPtr<IAccessible> want = ChildObject(client, m);
    const bool lands =
        want ? V_VT(end.get()) == VT_DISPATCH && Same(V_DISPATCH(end.get()), want.Get())
             : V_VT(end.get()) == VT_I4 && V_I4(end.get()) == m;
    if (result != S_OK || !lands) return Attempt{L"it lands elsewhere (" + Hex(result) + L")", L""};
    return Attempt{};
  };
  ExpectOfClient(
      d, L"navigating from child " + step.args[0].text + L" to land on " + step.args[1].text,
      check);
}

// "reader hold|let-go <n>": the mouse button down in the middle of the control window, or up well
// outside it, which lets a held button go without clicking it.
void Press(Driver& d, const Step& step) {
  const bool down = step.verb == L"reader hold";
  ActOnChild(d, step, [down](HWND form, IAccessible& own) {
    HWND window = WindowAt(form, own);
    RECT box{};
    GetClientRect(window, &box);
    const LPARAM where = down ? MAKELPARAM(box.right / 2, box.bottom / 2)
                              : MAKELPARAM(static_cast<WORD>(-100), static_cast<WORD>(-100));
    if (!PostMessageW(window, down ? WM_LBUTTONDOWN : WM_LBUTTONUP, down ? MK_LBUTTON : 0, where)) {
      Fail(L"cannot post the mouse button");
    }
  });
}

// A child's number, or "none" (0).
long ParseChild(const std::wstring& text) {
  return text == L"none" ? 0 : ReadArgs(L"a child's number or none:", L"<n:n>", text, {})[0].value;
}

constexpr Verb kVerbs[] = {
    // The window's client object says this, and has a parent (the system's window object).
    {L"reader window", L"| <name> | <role:role> | [<states:states>]", ExpectWindow},
    {L"reader count", L"<n:n>", ExpectCount},
    // An "object" is handed out as an object of its own (get_accChild) and read through itself,
    // and is its control window's (OwnWindowProblem); an "element" is read through the client.
    {L"reader child",
     L"<n:n> object/element | <name> | <role:role> | [<states:states>] | [<description>] | "
     L"[<action>]",
     ExpectChild},
    // The focused control's window's object, as a reader reads it on a focus event.
    {L"reader focus", L"| <name> | <role:role> | [<states:states>] | [<description>] | [<action>]",
     ExpectFocus},
    {L"reader do", L"<n:n> [refused/ends]", DoDefaultAction},
    {L"reader take-focus", L"<n:n>", Select},
    {L"reader select", L"<n:n> [refused]", Select},
    // Within the client object: child m's own object when it has one.
    {L"reader next", L"<n:n> <m:child>", ExpectNavigation},
    {L"reader previous", L"<n:n> <m:child>", ExpectNavigation},
    {L"reader hold", L"<n:n>", Press},
    {L"reader let-go", L"<n:n>", Press},
};

constexpr Kind kKinds[] = {{L"role", ParseRole}, {L"states", ParseStates}, {L"child", ParseChild}};

}  // namespace

Family ReaderSteps() { return {kVerbs, kKinds}; }

void WaitUntilAvailable(Driver& d) {
  const auto check = [](HWND, IAccessible& client) {
    const long state = NumberOf(client, &IAccessible::get_accState, CHILDID_SELF, L"get_accState");
    return Attempt{(state & STATE_SYSTEM_UNAVAILABLE) != 0 ? L"unavailable" : L"", L""};
  };
  ExpectOfClient(d, L"the window to take input again (its object to say available)", check);
}

}  // namespace e2e
