#pragma once

// The accessible objects (MSAA IAccessible) of a form's window, which a screen reader asks for with
// WM_GETOBJECT. The window's client area is one object; its children are the controls the window
// shows, painted labels included (see AccessibleForm.h). A control with a window of its own is an
// object of its own, the same one whether it is met among the client object's children, by a hit
// test, as the focus, by navigation or from the control's window (which is how Windows names it in
// its focus and state events); a painted label is a simple child, named by its child id. Each
// object says which window it lives in (IOleWindow) and gives the identity the system composes for
// that window's client object (IAccIdentity): a hierarchy of objects across windows must, or UI
// Automation, which joins them into its own tree by their windows, meets a control twice or takes
// it for the window. Every object has a parent, as the system's objects for a window have: the
// system's window object (OBJID_WINDOW) of its own window. A control's object, the one visible part
// of that container, navigates nowhere; the controls are siblings among the client object's
// children. Each answers from the form model at the time of the call; once its window is gone,
// every call fails with CO_E_OBJNOTCONNECTED.

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include <memory>
#include <utility>
#include <vector>

#include "ControlWindows.h"
#include "FormModel.h"
#include "StepWindow.h"

namespace velmor::win32 {

// The objects of one window, made when a screen reader first asks for them and kept while the
// window lives. No object holds a reference to another: a control's object reaches its parent,
// and the client object its children, through this list, so nothing keeps another alive in a
// cycle. Lives on the window's thread.
class AccessibleObjects {
 public:
  // controls: the window's controls; steps: what the window is during a step (unavailable while
  // one runs).
  AccessibleObjects(const ControlWindows& controls, const StepWindow& steps)
      : controls_(controls), steps_(steps) {}
  AccessibleObjects(const AccessibleObjects&) = delete;
  AccessibleObjects& operator=(const AccessibleObjects&) = delete;
  // The window is going: each object lets go of it, however long a screen reader keeps it.
  ~AccessibleObjects() { *alive_ = nullptr; }

  // The object of the window's client area (control null) or of a control's own window; the same
  // one each time. Null for a control without a window of its own. Throws std::bad_alloc.
  Microsoft::WRL::ComPtr<IAccessible> Of(const Control* control);

  const ControlWindows& Controls() const { return controls_; }
  // While a step runs, the window and everything it shows are unavailable: nothing the user or an
  // assistive program does acts on them (StepState.h).
  bool Unavailable() const { return steps_.Outputs().unavailable; }

  // What each object holds to reach this list: the list while the window lives, null from the
  // moment it goes.
  using Token = std::shared_ptr<AccessibleObjects*>;
  const Token& Alive() const { return alive_; }

 private:
  const ControlWindows& controls_;
  const StepWindow& steps_;
  Token alive_ = std::make_shared<AccessibleObjects*>(this);
  std::vector<std::pair<const Control*, Microsoft::WRL::ComPtr<IAccessible>>> made_;
};

// The answer to WM_GETOBJECT for OBJID_CLIENT: the object, passed through LresultFromObject; 0
// when there is none.
LRESULT AccessibleObjectResult(AccessibleObjects& objects, const Control* control,
                               WPARAM wParam) noexcept;

// A default action, or an option button's selection, is carried out later, as a click would be, by
// this message posted to the form's window with the control's window as lParam: the click's
// handler must not run inside the screen reader's call. The window passes it to
// CarryOutDefaultAction.
inline constexpr UINT kDefaultActionMessage = WM_APP + 1;

// Clicks the control, unless the window's objects say unavailable by now (a step has begun since
// the action was asked for).
void CarryOutDefaultAction(const AccessibleObjects& objects, HWND control);

// Tells assistive programs that a control of the form's window changed (its tick or its colour,
// and with the colour what it says in words). controlWindow is the control's own window, if any.
void NotifyAccessibleChange(HWND form, HWND controlWindow, const Form& model,
                            const Control& control);

// Tells them that the window and all it shows became unavailable, or available again: a step began
// or ended.
void NotifyAvailabilityChange(const ControlWindows& controls);

// Tells them that the labels painted on the window moved (it was laid out at a new DPI); the system
// tells them of the control windows itself.
void NotifyLocationChange(const ControlWindows& controls);

}  // namespace velmor::win32
