#include "ControlWindows.h"

#include <string>

#include "ErrorText.h"
#include "SystemLibrary.h"

namespace velmor::win32 {
namespace {

constexpr int kFirstControlId = 100;

}  // namespace

void RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.lpszClassName = name;
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw Win32Error(GetLastError(), L"RegisterClassExW", L"ウィンドウ クラスの登録", name);
  }
}

bool IsWindowed(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kOptionButton ||
         kind == ControlKind::kCommandButton || kind == ControlKind::kPictureBox;
}

bool HasCheckState(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kOptionButton;
}

void ControlWindows::Create(HINSTANCE instance, HWND form, Form& model, int dpi,
                            void* pictureBoxParam) {
  form_ = form;
  model_ = &model;
  scale_.dpi = dpi;
  children_.clear();
  // Created front to back, as the table lists them: a new child goes beneath those before it, so
  // where two overlap the one listed earlier lies on top. The focus does not follow this order; the
  // window moves it in tab order itself (DialogKeys.h).
  std::vector<Control>& controls = model.Controls();
  ControlKind previousKind = ControlKind::kLabel;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    Control& control = controls[i];
    const ControlSpec& spec = control.Spec();
    if (!IsWindowed(spec.kind)) continue;
    const wchar_t* className = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS;
    void* param = nullptr;
    switch (spec.kind) {
      case ControlKind::kCheckBox:
        style |= BS_AUTOCHECKBOX | BS_MULTILINE;
        break;
      case ControlKind::kOptionButton:
        style |= BS_AUTORADIOBUTTON | BS_MULTILINE;
        break;
      case ControlKind::kCommandButton:
        style |= spec.pictureId != 0 ? BS_OWNERDRAW : (BS_PUSHBUTTON | BS_MULTILINE);
        break;
      default:
        className = kPictureBoxClass;
        param = pictureBoxParam;
        break;
    }
    // Option buttons that follow one another form one group: selecting one clears the others.
    if (!(spec.kind == ControlKind::kOptionButton && previousKind == ControlKind::kOptionButton)) {
      style |= WS_GROUP;
    }
    previousKind = spec.kind;

    const RECT box = PxRect(spec.box);
    const std::wstring caption = control.Caption();
    HWND child = CreateWindowExW(
        0, className, caption.c_str(), style, box.left, box.top, box.right - box.left,
        box.bottom - box.top, form,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i))),
        instance, param);
    if (child == nullptr) {
      throw Win32Error(GetLastError(), L"CreateWindowExW", L"コントロールの作成", caption);
    }
    // Themed check boxes and option buttons draw their text in the theme's colour and ignore the
    // one the program sets; without a theme they use the colour given at WM_CTLCOLORSTATIC.
    if (HasCheckState(spec.kind)) SetWindowThemeFromSystem(child, L"", L"");
    // On Windows an option button that takes the keyboard focus clicks itself (BM_SETDONTCLICK);
    // here the keyboard selects explicitly (DialogKeys.h), and a focus alone must never change the
    // choice. Older systems, and Wine, ignore the message; the Tab order does not depend on it.
    if (spec.kind == ControlKind::kOptionButton) SendMessageW(child, BM_SETDONTCLICK, TRUE, 0);
    children_.push_back(Child{&control, child});
  }
}

void ControlWindows::Clear() {
  children_.clear();
  form_ = nullptr;
  model_ = nullptr;
}

void ControlWindows::Rescale(int dpi) {
  scale_.dpi = dpi;
  for (const Child& child : children_) {
    const RECT box = PxRect(child.control->Spec().box);
    SetWindowPos(child.window, nullptr, box.left, box.top, box.right - box.left,
                 box.bottom - box.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  }
}

HWND ControlWindows::WindowOf(const Control* control) const {
  for (const Child& child : children_) {
    if (child.control == control) return child.window;
  }
  return nullptr;
}

Control* ControlWindows::ControlOf(HWND window) const {
  for (const Child& child : children_) {
    if (child.window == window) return child.control;
  }
  return nullptr;
}

}  // namespace velmor::win32
