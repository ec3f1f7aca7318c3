#pragma once

// The accessible objects (MSAA IAccessible) of a form's window, which a screen reader asks for with
// WM_GETOBJECT: one for the window's client area, whose children are the controls the window shows,
// painted labels included (see AccessibleForm.h); and one for each control window, which speaks
// for that control alone, so that a control with the focus is described as the window's object
// describes it. Each answers from the form model at the time of the call; once its window is gone,
// every call fails with CO_E_OBJNOTCONNECTED.

#include <windows.h>

#include <oleacc.h>
#include <wrl/client.h>

#include "FormModel.h"

namespace velmor::win32 {

class FormWindow;

// The object of a loaded form window (control nullptr) or of the window of one of its controls.
Microsoft::WRL::ComPtr<IAccessible> MakeAccessibleObject(FormWindow& owner, const Control* control);

// The answer to WM_GETOBJECT for OBJID_CLIENT: such an object, passed through LresultFromObject.
LRESULT AccessibleObjectResult(FormWindow& owner, const Control* control, WPARAM wParam) noexcept;

// Tells assistive programs that a control of the form's window changed (its tick or its colour,
// and with the colour what it says in words). controlWindow is the control's own window, if any.
void NotifyAccessibleChange(HWND form, HWND controlWindow, const Form& model,
                            const Control& control);

}  // namespace velmor::win32
