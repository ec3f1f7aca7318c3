#include "AccessibleForm.h"

#include <algorithm>

namespace velmor {
namespace {

AccessibleRole RoleOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kCheckBox:
      return AccessibleRole::kCheckButton;
    case ControlKind::kOptionButton:
      return AccessibleRole::kRadioButton;
    case ControlKind::kCommandButton:
      return AccessibleRole::kPushButton;
    case ControlKind::kPictureBox:
      return AccessibleRole::kGraphic;
    default:
      return AccessibleRole::kStaticText;
  }
}

std::wstring_view DefaultActionOf(ControlKind kind, bool checked) {
  switch (kind) {
    case ControlKind::kCommandButton:
      return L"押す";
    case ControlKind::kCheckBox:
      return checked ? L"チェックを外す" : L"チェックする";
    case ControlKind::kOptionButton:
      return L"選択する";
    default:
      return {};
  }
}

}  // namespace

std::vector<AccessibleItem> AccessibleItems(const Form& form, const Control* focus) {
  std::vector<AccessibleItem> items;
  for (const Control& control : form.Controls()) {
    const ControlSpec& spec = control.Spec();
    const std::wstring_view name =
        control.Caption().empty() ? spec.accessibleName : std::wstring_view(control.Caption());
    if (spec.kind == ControlKind::kLine || (spec.kind == ControlKind::kLabel && name.empty())) {
      continue;
    }
    const bool checked =
        (spec.kind == ControlKind::kCheckBox || spec.kind == ControlKind::kOptionButton) &&
        control.Value() != 0;
    AccessibleItem item{.control = &control,
                        .name = name,
                        .role = RoleOf(spec.kind),
                        .defaultAction = DefaultActionOf(spec.kind, checked),
                        .focusable = CanTakeFocus(spec),
                        .focused = &control == focus,
                        .checked = checked};
    for (const ColorMeaning& meaning : spec.colorMeanings) {
      if (meaning.color == control.ForeColor()) item.description = meaning.words;
    }
    items.push_back(item);
  }
  std::stable_sort(items.begin(), items.end(),
                   [](const AccessibleItem& a, const AccessibleItem& b) {
                     return a.control->Spec().tabIndex < b.control->Spec().tabIndex;
                   });
  return items;
}

long AccessibleChildId(const Form& form, const Control& control) {
  const std::vector<AccessibleItem> items = AccessibleItems(form, nullptr);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].control == &control) return static_cast<long>(i + 1);
  }
  return 0;
}

}  // namespace velmor
