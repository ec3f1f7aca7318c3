#include "AccessibleWindow.h"

#include <string_view>
#include <utility>
#include <vector>

#include "AccessibleForm.h"
#include "ComObject.h"
#include "FormWindow.h"
#include "Handles.h"
#include "SystemLibrary.h"

namespace velmor::win32 {
namespace {

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

// Every child is a simple element of the window's object; a control window's object speaks for its
// control alone. Nothing here throws once the object exists.
class AccessibleObject final : public ComObject<IAccessible> {
 public:
  AccessibleObject(FormWindow& owner, const Control* control)
      : owner_(&owner),
        form_(owner.Handle()),
        control_(control),
        shown_(AccessibleControls(*owner.Model())) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
    if (object != nullptr && riid == __uuidof(IDispatch)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return ComObject::QueryInterface(riid, object);
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

  // The parent would be the system's object for the window itself (OBJID_WINDOW); a screen
  // reader has that from the window, and the client area's object does not hand it out.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    return Owner() != nullptr ? S_FALSE : CO_E_OBJNOTCONNECTED;
  }

  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    if (count == nullptr) return E_POINTER;
    *count = Owner() == nullptr ? 0 : Count();
    return Owner() == nullptr ? CO_E_OBJNOTCONNECTED : S_OK;
  }

  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    const Control* control = nullptr;
    const HRESULT result = Find(child, control);
    return result == S_OK ? S_FALSE : result;
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
    FormWindow* owner = Owner();
    if (owner == nullptr) return CO_E_OBJNOTCONNECTED;
    HWND focused = GetFocus();
    if (control_ == nullptr && focused == form_) return PutChild(CHILDID_SELF, focus);
    for (long id = 1; id <= static_cast<long>(shown_.size()); ++id) {
      const Control* control = shown_[static_cast<std::size_t>(id - 1)];
      if (control_ != nullptr && control != control_) continue;
      if (focused != nullptr && owner->WindowOf(control) == focused) {
        return PutChild(control_ != nullptr ? CHILDID_SELF : id, focus);
      }
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

  HRESULT STDMETHODCALLTYPE accSelect(long, VARIANT) override { return DISP_E_MEMBERNOTFOUND; }

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

  // From the window: its first and last child; from a child: the next or previous one in tab
  // order. A control window's object has no children and no siblings of its own.
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    if (end == nullptr) return E_POINTER;
    V_VT(end) = VT_EMPTY;
    const Control* control = nullptr;
    const HRESULT result = Find(start, control);
    if (result != S_OK) return result;
    const long from = control_ == nullptr ? V_I4(&start) : 0;
    long to = 0;
    if (control == nullptr && direction == NAVDIR_FIRSTCHILD) to = 1;
    if (control == nullptr && direction == NAVDIR_LASTCHILD) to = Count();
    if (from != 0 && direction == NAVDIR_NEXT) to = from + 1;
    if (from != 0 && direction == NAVDIR_PREVIOUS) to = from - 1;
    return to >= 1 && to <= Count() ? PutChild(to, end) : S_FALSE;
  }

  // The control windows lie above the labels painted on the window's surface.
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    if (child == nullptr) return E_POINTER;
    V_VT(child) = VT_EMPTY;
    if (Owner() == nullptr) return CO_E_OBJNOTCONNECTED;
    const POINT point{x, y};
    // A control window's object has no children: only its own box counts.
    for (const bool painted : {false, true}) {
      for (long id = 1; id <= Count(); ++id) {
        const Control* control = shown_[static_cast<std::size_t>(id - 1)];
        if ((control->Spec().kind == ControlKind::kLabel) != painted) continue;
        const RECT box = ScreenBox(control);
        if (PtInRect(&box, point)) return PutChild(id, child);
      }
    }
    const RECT client = ScreenBox(control_);
    return PtInRect(&client, point) ? PutChild(CHILDID_SELF, child) : S_FALSE;
  }

  // Posted, as a click would be: the click's handler must not run inside this call.
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    const Control* control = nullptr;
    const HRESULT result = Find(child, control);
    if (result != S_OK) return result;
    if (control == nullptr || DescribeControl(*control, nullptr).defaultAction.empty()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    return PostMessageW(Owner()->WindowOf(control), BM_CLICK, 0, 0) ? S_OK : E_FAIL;
  }

  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  static HRESULT NotSupported(BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return DISP_E_MEMBERNOTFOUND;
  }

  // The window's FormWindow while the window lives: the window holds its FormWindow from creation
  // to WM_NCDESTROY.
  FormWindow* Owner() const {
    return GetWindowLongPtrW(form_, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(owner_) ? owner_
                                                                                         : nullptr;
  }

  long Count() const { return control_ != nullptr ? 0 : static_cast<long>(shown_.size()); }

  // The control a child id names: null for the object itself (the window's client area, or the
  // control of a control window's object).
  HRESULT Find(const VARIANT& child, const Control*& control) const {
    control = control_;
    if (Owner() == nullptr) return CO_E_OBJNOTCONNECTED;
    if (V_VT(&child) != VT_I4) return E_INVALIDARG;
    const long id = V_I4(&child);
    if (id == CHILDID_SELF) return S_OK;
    if (id < 1 || id > Count()) return E_INVALIDARG;
    control = shown_[static_cast<std::size_t>(id - 1)];
    return S_OK;
  }

  // The item of a child as it is now: for the window's client area, one with only its name.
  HRESULT Look(const VARIANT& child, AccessibleItem& item) const {
    const Control* control = nullptr;
    const HRESULT result = Find(child, control);
    if (result != S_OK) return result;
    if (control == nullptr) {
      item.name = Owner()->Model()->Caption();
      return S_FALSE;
    }
    HWND focus = GetFocus();
    item = DescribeControl(
        *control, focus != nullptr && Owner()->WindowOf(control) == focus ? control : nullptr);
    return S_OK;
  }

  HRESULT Text(const VARIANT& child, BSTR* out, std::wstring_view AccessibleItem::*words) const {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    AccessibleItem item;
    const HRESULT result = Look(child, item);
    return FAILED(result) ? result : PutText(item.*words, out);
  }

  // The role, or the state, of a child.
  HRESULT Number(const VARIANT& child, VARIANT* out, bool state) const {
    if (out == nullptr) return E_POINTER;
    V_VT(out) = VT_EMPTY;
    AccessibleItem item;
    const HRESULT result = Look(child, item);
    if (FAILED(result)) return result;
    if (result == S_FALSE) {  // the client area
      return PutChild(
          state ? STATE_SYSTEM_FOCUSABLE | (GetFocus() == form_ ? STATE_SYSTEM_FOCUSED : 0)
                : ROLE_SYSTEM_CLIENT,
          out);
    }
    if (!state) return PutChild(static_cast<long>(item.role), out);
    return PutChild((item.focusable ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_READONLY) |
                        (item.focused ? STATE_SYSTEM_FOCUSED : 0) |
                        (item.checked ? STATE_SYSTEM_CHECKED : 0),
                    out);
  }

  // A control's box, or the client area for none, in screen pixels.
  RECT ScreenBox(const Control* control) const {
    RECT box{};
    if (control != nullptr) {
      box = Owner()->PxRect(control->Spec().box);
    } else {
      GetClientRect(form_, &box);
    }
    MapWindowPoints(form_, nullptr, reinterpret_cast<POINT*>(&box), 2);
    return box;
  }

  FormWindow* owner_;
  HWND form_;
  const Control* control_;  // null: the window's client area
  std::vector<const Control*> shown_;
};

}  // namespace

Microsoft::WRL::ComPtr<IAccessible> MakeAccessibleObject(FormWindow& owner,
                                                         const Control* control) {
  return Microsoft::WRL::ComPtr<IAccessible>(new AccessibleObject(owner, control));
}

LRESULT AccessibleObjectResult(FormWindow& owner, const Control* control, WPARAM wParam) noexcept {
  try {
    const Microsoft::WRL::ComPtr<IAccessible> object = MakeAccessibleObject(owner, control);
    return oleacc::LresultFromObject(__uuidof(IAccessible), wParam, object.Get());
  } catch (...) {
    return E_OUTOFMEMORY;  // the one failure that can throw here
  }
}

void NotifyAccessibleChange(HWND form, HWND controlWindow, const Form& model,
                            const Control& control) {
  const long id = AccessibleChildId(model, control);
  if (id == 0) return;
  NotifyWinEvent(EVENT_OBJECT_STATECHANGE, form, OBJID_CLIENT, id);
  if (control.Spec().colorMeanings.empty()) return;
  NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, form, OBJID_CLIENT, id);
  if (controlWindow != nullptr) {
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, controlWindow, OBJID_CLIENT, CHILDID_SELF);
  }
}

}  // namespace velmor::win32
