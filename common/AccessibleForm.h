#pragma once

// What a screen reader is told about a window: every control the window shows, real or painted on
// its surface, in tab-index order, with a name, a role, the states a sighted user sees (focus,
// ticks) and, in words, what the control's text colour means. The Win32 accessible object answers
// from this, so both windows are described by the same code.

#include <string_view>
#include <vector>

#include "FormModel.h"

namespace velmor {

// The values are the role numbers of Microsoft Active Accessibility, passed on as they are.
enum class AccessibleRole {
  kGraphic = 0x28,
  kStaticText = 0x29,
  kPushButton = 0x2B,
  kCheckButton = 0x2C,
  kRadioButton = 0x2D,
};

struct AccessibleItem {
  std::wstring_view name;
  AccessibleRole role = AccessibleRole::kStaticText;
  std::wstring_view description;    // what the text colour means; empty when it means nothing
  std::wstring_view defaultAction;  // what activating the control does; empty for none
  bool focusable = false;
  bool focused = false;
  bool checked = false;
};

// The controls of a window that a screen reader is told of, in tab-index order; the child id of
// the control at i is i + 1. Lines, and labels without a caption, show nothing and are left out.
// What they are does not change while the window lives; only their states do.
std::vector<const Control*> AccessibleControls(const Form& form);

// One of them as it is now; focus is the control that has the keyboard focus, or nullptr.
AccessibleItem DescribeControl(const Control& control, const Control* focus);

// The child id of the control among the window's; 0 when it is not one of them.
long AccessibleChildId(const Form& form, const Control& control);

}  // namespace velmor
