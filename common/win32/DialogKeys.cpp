#include "DialogKeys.h"

namespace velmor::win32 {

bool DialogKeys::Handle(const MSG& message) const {
  HWND form = controls_.Parent();
  const Form* model = controls_.Model();
  if (message.message != WM_KEYDOWN || form == nullptr || model == nullptr) return false;
  if (message.hwnd != form && !IsChild(form, message.hwnd)) return false;
  if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
  Key key{};
  switch (message.wParam) {
    case VK_TAB:
      key = Key::kTab;
      break;
    case VK_RETURN:
      key = Key::kEnter;
      break;
    case VK_ESCAPE:
      key = Key::kEscape;
      break;
    case VK_LEFT:
      key = Key::kLeft;
      break;
    case VK_RIGHT:
      key = Key::kRight;
      break;
    case VK_UP:
      key = Key::kUp;
      break;
    case VK_DOWN:
      key = Key::kDown;
      break;
    default:
      return false;  // Space and the rest go to the focused control (Space presses a button)
  }
  const KeyAction action = model->KeyDown(key, GetKeyState(VK_SHIFT) < 0);
  HWND target = controls_.WindowOf(action.target);
  if (action.kind == KeyAction::Kind::kMoveFocus || action.kind == KeyAction::Kind::kSelectOption) {
    ShowKeyboardCues();
  }
  switch (action.kind) {
    case KeyAction::Kind::kMoveFocus:
      if (target != nullptr) SetFocus(target);
      break;
    case KeyAction::Kind::kSelectOption:
      if (target != nullptr) {
        SetFocus(target);
        // As a click would: the group's marks change, then the handler runs.
        SendMessageW(target, BM_CLICK, 0, 0);
      }
      break;
    case KeyAction::Kind::kPress:
      if (target != nullptr) press_(target);
      break;
    case KeyAction::Kind::kNone:
      break;
  }
  return true;
}

void DialogKeys::ShowKeyboardCues() const {
  SendMessageW(controls_.Parent(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}

}  // namespace velmor::win32
