#include "AccessibleForm.h"

#include <utility>

namespace velmor {
namespace {

std::wstring_view NameOf(const Control& control) {
  return control.Caption().empty() ? control.Spec().accessibleName
                                   : std::wstring_view(control.Caption());
}

}  // namespace

std::vector<const Control*> AccessibleControls(const Form& form) {
  std::vector<const Control*> shown;
  for (const Control& control : form.Controls()) {
    const ControlKind kind = control.Spec().kind;
    if (kind == ControlKind::kLine || (kind == ControlKind::kLabel && NameOf(control).empty())) {
      continue;
    }
    // In tab order, an equal tab index after the earlier control.
    shown.push_back(&control);
    for (std::size_t i = shown.size() - 1;
         i > 0 && shown[i - 1]->Spec().tabIndex > shown[i]->Spec().tabIndex; --i) {
      std::swap(shown[i - 1], shown[i]);
    }
  }
  return shown;
}

AccessibleItem DescribeControl(const Control& control, const Control* focus) {
  const ControlSpec& spec = control.Spec();
  AccessibleItem item{
      .name = NameOf(control), .focusable = CanTakeFocus(spec), .focused = &control == focus};
  switch (spec.kind) {
    case ControlKind::kCheckBox:
      item.role = AccessibleRole::kCheckButton;
      item.checked = control.Value() != 0;
      item.defaultAction = item.checked ? L"チェックを外す" : L"チェックする";
      break;
    case ControlKind::kOptionButton:
      item.role = AccessibleRole::kRadioButton;
      item.checked = control.Value() != 0;
      item.defaultAction = L"選択する";
      break;
    case ControlKind::kCommandButton:
      item.role = AccessibleRole::kPushButton;
      item.defaultAction = L"押す";
      break;
    case ControlKind::kPictureBox:
      item.role = AccessibleRole::kGraphic;
      break;
    default:
      break;
  }
  for (const ColorMeaning& meaning : spec.colorMeanings) {
    if (meaning.color == control.ForeColor()) item.description = meaning.words;
  }
  return item;
}

long AccessibleChildId(const Form& form, const Control& control) {
  const std::vector<const Control*> shown = AccessibleControls(form);
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == &control) return static_cast<long>(i + 1);
  }
  return 0;
}

}  // namespace velmor
