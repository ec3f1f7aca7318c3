#include "AccessibleWindow.h"

#include <string_view>
#include <utility>
#include <vector>

#include "AccessibleForm.h"
#include "ComObject.h"
#include "ComOwners.h"
#include "SystemLibrary.h"

namespace velmor::win32 {
namespace {

using Microsoft::WRL::ComPtr;

static_assert(static_cast<long>(AccessibleRole::kGraphic) == ROLE_SYSTEM_GRAPHIC &&
              static_cast<long>(AccessibleRole::kStaticText) == ROLE_SYSTEM_STATICTEXT &&
              static_cast<long>(AccessibleRole::kPushButton) == ROLE_SYSTEM_PUSHBUTTON &&
              static_cast<long>(AccessibleRole::kCheckButton) == ROLE_SYSTEM_CHECKBUTTON &&
              static_cast<long>(AccessibleRole::kRadioButton) == ROLE_SYSTEM_RADIOBUTTON);

HRESULT PutText(std::wstring_view text, BSTR* out) {
  if (text.empty()) return S_FALSE;
  *out = MakeBstr(text).release();
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutChild(long id, VARIANT* out) {
  V_VT(out) = VT_I4;
  V_I4(out) = id;
  return S_OK;
}

// IID_IAccIdentity, which not every SDK declares for __uuidof.
constexpr GUID kAccIdentity = {
    0x7852b78d, 0x1cfd, 0x41c1, {0xa6, 0x15, 0x9c, 0x0c, 0x85, 0x96, 0x0b, 0x5f}};

// Whether a control that is a button of the system is held down (by the mouse, or by Space).
bool HeldDown(const Control& control, HWND window) {
  const ControlKind kind = control.Spec().kind;
  return window != nullptr &&
         (kind == ControlKind::kCommandButton || kind == ControlKind::kCheckBox ||
          kind == ControlKind::kOptionButton) &&
         (SendMessageW(window, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0;
}

// One of an object's interfaces besides its first, kept as a part of it (one base class each,
// which keeps the programs' type information small): it answers for the whole object, with its
// reference count.
template <typename Interface, typename Whole>
struct InterfacePart : Interface {
  explicit InterfacePart(Whole& object) : whole(object) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    return whole.QueryInterface(riid, object);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return whole.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return whole.Release(); }
  Whole& whole;
};

// The object of the window's client area (control null) or of a control's own window. The client
// object names its children by child id, or hands out the object of a child that has one; a
// control's object has no children. Nothing here throws into COM.
class AccessibleObject final : public ComObject<IAccessible> {
 public:
  AccessibleObject(const AccessibleObjects& objects, const Control* control)
      : alive_(objects.Alive()),
        form_(objects.Controls().Parent()),
        control_(control),
        shown_(AccessibleControls(*objects.Controls().Model())) {}

  // IAccIdentity only where the system composes identities (its documentation asks that an object
  // which cannot give one does not offer the interface).
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (riid == __uuidof(IDispatch)) {
      *object = static_cast<IDispatch*>(this);
    } else if (riid == __uuidof(IOleWindow)) {
      *object = &window_;
    } else if (riid == kAccIdentity && OwnWindow() != nullptr) {
      BYTE* identity = nullptr;
      DWORD length = 0;
      if (FAILED(oleacc::ClientIdentityString(OwnWindow(), CHILDID_SELF, &identity, &length))) {
        return E_NOINTERFACE;
      }
      ole::CoTaskMemFree(identity);
      *object = &identity_;
    } else {
      return ComObject::QueryInterface(riid, object);
    }
    AddRef();
    return S_OK;
  }

  // IDispatch: assistive programs call IAccessible directly; there is no type library.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // As the parent of the system's own client object: the system's object for the window itself,
  // for a control that of the control's window, whose parent in turn is the client object.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (Objects() == nullptr) return CO_E_OBJNOTCONNECTED;
    return oleacc::AccessibleObjectFromWindow(OwnWindow(), static_cast<DWORD>(OBJID_WINDOW),
                                              __uuidof(IDispatch),
                                              reinterpret_cast<void**>(parent));
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (count == nullptr) return E_POINTER;
    *count = Objects() == nullptr ? 0 : Count();
    return Objects() == nullptr ? CO_E_OBJNOTCONNECTED : S_OK;
  }

  // A child with a window of its own is an object; a painted label is a simple element.
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    const Control* control = nullptr;
    const HRESULT result = Find(child, control);
    if (result != S_OK || control == nullptr || control == control_) {
      return result == S_OK ? S_FALSE : result;
    }
    return ComBorder([&] {
      *object = Objects()->Of(control).Detach();
      return *object != nullptr ? S_OK : S_FALSE;
    });
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    return Text(child, name, &AccessibleItem::name);
  }

  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* value) override {
    return NotSupported(value);
  }

  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    return Text(child, description, &AccessibleItem::description);
  }

  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return Number(child, role, false);
  }

  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    return Number(child, state, true);
  }

  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* help) override { return NotSupported(help); }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, long*) override {
    return NotSupported(file);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* shortcut) override {
    return NotSupported(shortcut);
  }

  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    if (focus == nullptr) return E_POINTER;
    V_VT(focus) = VT_EMPTY;
    if (Objects() == nullptr) return CO_E_OBJNOTCONNECTED;
    HWND focused = GetFocus();
    if (focused == nullptr) return S_FALSE;
    if (focused == (control_ == nullptr ? form_ : WindowOf(control_))) {
      return PutChild(CHILDID_SELF, focus);
    }
    for (long id = 1; id <= Count(); ++id) {
      if (WindowOf(Shown(id)) == focused) return ComBorder([&] { return PutChildOf(id, focus); });
    }
    return S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    if (selection == nullptr) return E_POINTER;
    V_VT(selection) = VT_EMPTY;
    return DISP_E_MEMBERNOTFOUND;
  }

  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return Text(child, action, &AccessibleItem::defaultAction);
  }

  // Taking the focus: the window's, which gives it to the control that had it last, or a
  // control's. A painted label cannot take it. The window is not brought to the front: the
  // system's objects, too, move the focus only within a window that is active already. S_FALSE
  // when the focus did not arrive. Selecting (taking or adding to the selection, as UI
  // Automation's Select does): an option button, chosen as a click chooses it, later (as a default
  // action). While a step runs nothing is done.
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    const Control* control = nullptr;
    const HRESULT result = Find(child, control);
    if (result != S_OK) return result;
    constexpr long kSelect = SELFLAG_TAKESELECTION | SELFLAG_ADDSELECTION;
    HWND target = control == nullptr ? form_ : WindowOf(control);
    const bool select = (flags & kSelect) != 0;
    if ((flags & ~(kSelect | SELFLAG_TAKEFOCUS)) != 0 || flags == 0 || target == nullptr ||
        (select && (control == nullptr || control->Spec().kind != ControlKind::kOptionButton))) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (Objects()->Unavailable()) return E_FAIL;
    if (select &&
        !PostMessageW(form_, kDefaultActionMessage, 0, reinterpret_cast<LPARAM>(target))) {
      return E_FAIL;
    }
    if ((flags & SELFLAG_TAKEFOCUS) == 0) return S_OK;
    SetFocus(target);
    HWND focused = GetFocus();
    return focused == target || (control == nullptr && IsChild(form_, focused)) ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
      return E_POINTER;
    }
    *left = *top = *width = *height = 0;
    const Control* control = nullptr;
    const HRESULT result = Find(child, control);
    if (result != S_OK) return result;
    const RECT box = ScreenBox(control);
    *left = box.left;
    *top = box.top;
    *width = box.right - box.left;
    *height = box.bottom - box.top;
    return S_OK;
  }

  // In tab order, within the client object: its first and last child, and from a child the next or
  // previous one. A control's own object is alone in its container, the system's object for its
  // window, and has no children: from it there is nowhere to go.
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    V_VT(end) = VT_EMPTY;
    const Control* control = nullptr;
    const HRESULT result = Find(start, control);
    if (result != S_OK) return result;
    const long shown = static_cast<long>(shown_.size());
    if (control_ != nullptr) return S_FALSE;
    const long from = V_I4(&start);
    long to = 0;
    if (control == nullptr && direction == NAVDIR_FIRSTCHILD) to = 1;
    if (control == nullptr && direction == NAVDIR_LASTCHILD) to = shown;
    if (from != CHILDID_SELF && direction == NAVDIR_NEXT) to = from + 1;
    if (from != CHILDID_SELF && direction == NAVDIR_PREVIOUS) to = from - 1;
    if (to < 1 || to > shown) return S_FALSE;
    return ComBorder([&] { return PutChildOf(to, end); });
  }

  // The control windows lie above the labels painted on the window's surface. A control's own
  // object has no children: only its own box counts.
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    if (child == nullptr) return E_POINTER;
    V_VT(child) = VT_EMPTY;
    if (Objects() == nullptr) return CO_E_OBJNOTCONNECTED;
    const POINT point{x, y};
    for (const bool painted : {false, true}) {
      for (long id = 1; id <= Count(); ++id) {
        if ((Shown(id)->Spec().kind == ControlKind::kLabel) != painted) continue;
        const RECT box = ScreenBox(Shown(id));
        if (PtInRect(&box, point)) return ComBorder([&] { return PutChildOf(id, child); });
      }
    }
    const RECT own = ScreenBox(control_);
    return PtInRect(&own, point) ? PutChild(CHILDID_SELF, child) : S_FALSE;
  }

  // Posted to the window, as a click would be: the click's handler must not run inside this call.
  // While a step runs nothing is done.
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    const Control* control = nullptr;
    const HRESULT result = Find(child, control);
    if (result != S_OK) return result;
    HWND window = control != nullptr ? WindowOf(control) : nullptr;
    if (window == nullptr || DescribeControl(*control, nullptr).defaultAction.empty()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    if (Objects()->Unavailable()) return E_FAIL;
    return PostMessageW(form_, kDefaultActionMessage, 0, reinterpret_cast<LPARAM>(window)) ? S_OK
                                                                                           : E_FAIL;
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  static HRESULT NotSupported(BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }

  // The window's objects while the window lives; null once it is gone, and from then on every
  // call fails with CO_E_OBJNOTCONNECTED.
  AccessibleObjects* Objects() const { return *alive_; }

  long Count() const { return control_ != nullptr ? 0 : static_cast<long>(shown_.size()); }
  // The window the object lives in: the control's, or the form's; null once it is gone.
  HWND OwnWindow() const {
    if (Objects() == nullptr) return nullptr;
    return control_ != nullptr ? WindowOf(control_) : form_;
  }
  const Control* Shown(long id) const { return shown_[static_cast<std::size_t>(id - 1)]; }
  HWND WindowOf(const Control* control) const { return Objects()->Controls().WindowOf(control); }

  // A child as the screen reader is to have it: its own object when it has one, else its child
  // id. Throws std::bad_alloc.
  HRESULT PutChildOf(long id, VARIANT* out) {
    if (ComPtr<IAccessible> object = Objects()->Of(Shown(id))) {
      V_VT(out) = VT_DISPATCH;
      V_DISPATCH(out) = object.Detach();
      return S_OK;
    }
    return PutChild(id, out);
  }

  // The control a child id names: null for the client object itself; for a control's own object,
  // only CHILDID_SELF names anything (its control).
  HRESULT Find(const VARIANT& child, const Control*& control) const {
    control = control_;
    if (Objects() == nullptr) return CO_E_OBJNOTCONNECTED;
    if (V_VT(&child) != VT_I4) return E_INVALIDARG;
    const long id = V_I4(&child);
    if (id == CHILDID_SELF) return S_OK;
    if (id < 1 || id > Count()) return E_INVALIDARG;
    control = Shown(id);
    return S_OK;
  }

  // The item of a child as it is now, and its control; for the client area (S_FALSE), one with
  // only its name.
  HRESULT Look(const VARIANT& child, AccessibleItem& item, const Control*& control) const {
    const HRESULT result = Find(child, control);
    if (result != S_OK) return result;
    if (control == nullptr) {
      item.name = Objects()->Controls().Model()->Caption();
      return S_FALSE;
    }
    HWND focus = GetFocus();
    item = DescribeControl(*control,
                           focus != nullptr && WindowOf(control) == focus ? control : nullptr);
    return S_OK;
  }

  HRESULT Text(const VARIANT& child, BSTR* out, std::wstring_view AccessibleItem::*words) const {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    AccessibleItem item;
    const Control* control = nullptr;
    const HRESULT result = Look(child, item, control);
    return FAILED(result) ? result : PutText(item.*words, out);
  }

  // The role, or the state, of a child.
  HRESULT Number(const VARIANT& child, VARIANT* out, bool state) const {
    if (out == nullptr) return E_POINTER;
    V_VT(out) = VT_EMPTY;
    AccessibleItem item;
    const Control* control = nullptr;
    const HRESULT result = Look(child, item, control);
    if (FAILED(result)) return result;
    const long unavailable = Objects()->Unavailable() ? STATE_SYSTEM_UNAVAILABLE : 0;
    if (result == S_FALSE) {  // the client area
      return PutChild(state ? STATE_SYSTEM_FOCUSABLE |
                                  (GetFocus() == form_ ? STATE_SYSTEM_FOCUSED : 0) | unavailable
                            : ROLE_SYSTEM_CLIENT,
                      out);
    }
    if (!state) return PutChild(static_cast<long>(item.role), out);
    return PutChild(
        (item.focusable ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_READONLY) |
            (item.focused ? STATE_SYSTEM_FOCUSED : 0) | (item.checked ? STATE_SYSTEM_CHECKED : 0) |
            (HeldDown(*control, WindowOf(control)) ? STATE_SYSTEM_PRESSED : 0) | unavailable,
        out);
  }

  // A control's box, or the client area for none, in screen pixels.
  RECT ScreenBox(const Control* control) const {
    RECT box{};
    if (control != nullptr) {
      box = Objects()->Controls().PxRect(control->Spec().box);
    } else {
      GetClientRect(form_, &box);
    }
    MapWindowPoints(form_, nullptr, reinterpret_cast<POINT*>(&box), 2);
    return box;
  }

  // IOleWindow: the window the object lives in, which is what WindowFromAccessibleObject asks.
  struct WindowPart final : InterfacePart<IOleWindow, AccessibleObject> {
    using InterfacePart::InterfacePart;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
      if (window == nullptr) return E_POINTER;
      *window = whole.OwnWindow();
      return *window != nullptr ? S_OK : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  };

  // IAccIdentity: the identity the system gives its own client object of that window, and its
  // simple children: the client object's child ids are the window's.
  struct IdentityPart final : InterfacePart<IAccIdentity, AccessibleObject> {
    using InterfacePart::InterfacePart;
    HRESULT STDMETHODCALLTYPE GetIdentityString(DWORD child, BYTE** identity,
                                                DWORD* length) override {
      if (identity == nullptr || length == nullptr) return E_POINTER;
      *identity = nullptr;
      *length = 0;
      if (whole.OwnWindow() == nullptr) return CO_E_OBJNOTCONNECTED;
      if (child != CHILDID_SELF &&
          (whole.control_ != nullptr || child > static_cast<DWORD>(whole.Count()))) {
        return E_INVALIDARG;
      }
      return oleacc::ClientIdentityString(whole.OwnWindow(), child, identity, length);
    }
  };

  AccessibleObjects::Token alive_;
  HWND form_;
  const Control* control_;  // null: the window's client area
  std::vector<const Control*> shown_;
  WindowPart window_{*this};
  IdentityPart identity_{*this};
};

}  // namespace

ComPtr<IAccessible> AccessibleObjects::Of(const Control* control) {
  for (const auto& made : made_) {
    if (made.first == control) return made.second;
  }
  if (control != nullptr && controls_.WindowOf(control) == nullptr) return nullptr;
  ComPtr<IAccessible> object(new AccessibleObject(*this, control));
  made_.emplace_back(control, object);
  return object;
}

LRESULT AccessibleObjectResult(AccessibleObjects& objects, const Control* control,
                               WPARAM wParam) noexcept {
  try {
    const ComPtr<IAccessible> object = objects.Of(control);
    if (!object) return 0;
    return oleacc::LresultFromObject(__uuidof(IAccessible), wParam, object.Get());
  } catch (...) {
    return E_OUTOFMEMORY;  // the one failure that can throw here
  }
}

void CarryOutDefaultAction(const AccessibleObjects& objects, HWND control) {
  const ControlWindows& controls = objects.Controls();
  if (controls.Model() == nullptr || objects.Unavailable() || control == nullptr ||
      GetParent(control) != controls.Parent()) {
    return;
  }
  SendMessageW(control, BM_CLICK, 0, 0);
}

void NotifyAccessibleChange(HWND form, HWND controlWindow, const Form& model,
                            const Control& control) {
  const long id = AccessibleChildId(model, control);
  if (id == 0) return;
  // A control with a window of its own is named as Windows names it, by that window; a painted
  // label by its child id.
  HWND window = controlWindow != nullptr ? controlWindow : form;
  const LONG child = controlWindow != nullptr ? CHILDID_SELF : id;
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window, OBJID_CLIENT, child);
  if (!control.Spec().colorMeanings.empty()) {
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, window, OBJID_CLIENT, child);
  }
}

void NotifyAvailabilityChange(const ControlWindows& controls) {
  HWND form = controls.Parent();
  if (form == nullptr || controls.Model() == nullptr) return;
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, form, OBJID_CLIENT, CHILDID_SELF);
  const std::vector<const Control*> shown = AccessibleControls(*controls.Model());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    HWND window = controls.WindowOf(shown[i]);
    NotifyWinEvent(EVENT_OBJECT_STATECHANGE, window != nullptr ? window : form, OBJID_CLIENT,
                   window != nullptr ? CHILDID_SELF : static_cast<LONG>(i + 1));
  }
}

void NotifyLocationChange(const ControlWindows& controls) {
  HWND form = controls.Parent();
  if (form == nullptr || controls.Model() == nullptr) return;
  const std::vector<const Control*> shown = AccessibleControls(*controls.Model());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (controls.WindowOf(shown[i]) != nullptr) continue;
    NotifyWinEvent(EVENT_OBJECT_LOCATIONCHANGE, form, OBJID_CLIENT, static_cast<LONG>(i + 1));
  }
}

}  // namespace velmor::win32
