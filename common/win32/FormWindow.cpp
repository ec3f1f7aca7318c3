#include "FormWindow.h"

#include <commctrl.h>
#include <imm.h>

#include <optional>

#include "ErrorText.h"
#include "EventDispatch.h"
#include "SystemLibrary.h"

namespace velmor::win32 {
namespace {

constexpr wchar_t kFormClass[] = L"VelmorForm";
// WM_GETOBJECT's object id arrives in the low 32 bits of lParam.
constexpr DWORD kClientObject =
    static_cast<DWORD>(OBJID_CLIENT);  // clear of IDOK and IDCANCEL, which the dialog manager sends
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The size of the window whose client area is the form's at a DPI, its frame measured at that DPI.
SIZE WindowSizeAt(const FormSpec& form, int dpi) {
  const TwipsScale scale{dpi};
  RECT frame{0, 0, scale.Px(form.clientWidth), scale.Px(form.clientHeight)};
  user32::AdjustWindowRectForDpi(&frame, kStyle, kExStyle, static_cast<UINT>(dpi));
  return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, Platform& platform, StepWindow& steps, ComApartment& com,
                       FormPainter::ContrastSetting contrast)
    : instance_(instance),
      platform_(platform),
      steps_(steps),
      com_(com),
      painter_(controls_, com_, steps_.BorderFailure(), contrast) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterWindowClass(instance, kFormClass, &FormWindow::WindowProc);
  FormPainter::RegisterPictureBox(instance);
}

// The window goes first: its last messages still reach the children, fonts and brushes.
FormWindow::~FormWindow() { window_.reset(); }

void FormWindow::Load(Form& form) {
  form_ = &form;
  // Made at the system DPI; a window of a monitor at another DPI is then laid out at that one.
  int dpi = 96;
  {
    const WindowDC screen(nullptr);
    dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  }
  const FormSpec& spec = form.Spec();
  const SIZE frame = WindowSizeAt(spec, dpi);
  // The icons are loaded first and given to the window as soon as it exists (at WM_NCCREATE),
  // before the window system has made the frame: set any later, they would be converted for it once
  // more.
  GiveIcons(dpi);
  const std::wstring caption = form.Caption();
  // The window procedure takes ownership at WM_NCCREATE.
  CreateWindowExW(kExStyle, kFormClass, caption.c_str(), kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                  frame.cx, frame.cy, nullptr, nullptr, instance_, this);
  if (!window_) throw Win32Error(GetLastError(), L"CreateWindowExW", L"ウィンドウの作成", caption);

  try {
    if (const int own = static_cast<int>(user32::DpiForWindow(window_.get())); own != dpi) {
      dpi = own;
      const SIZE size = WindowSizeAt(spec, dpi);
      SetWindowPos(window_.get(), nullptr, 0, 0, size.cx, size.cy,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      GiveIcons(dpi);
    }
    controls_.Create(instance_, window_.get(), form, dpi, &painter_);
    painter_.GiveFonts(false);
    FitClientArea();
    for (const ControlWindows::Child& child : controls_.Children()) {
      SetWindowSubclass(child.window, &FormWindow::ChildProc, 0, reinterpret_cast<DWORD_PTR>(this));
    }
    accessible_.emplace(controls_, steps_);
    // The window takes no text: it has no input context, so that an input method never claims a
    // key typed to it (VK_PROCESSKEY) and no composition opens here. The step's waits drop the keys
    // they read; a key the input method had claimed would then have left its composition open
    // after the step, and Space would not press a button while a Japanese input method is on.
    ImmAssociateContext(window_.get(), nullptr);
    ImmAssociateContextEx(window_.get(), nullptr, IACE_CHILDREN);
  } catch (...) {
    // Half a window is no window: the form stays unloaded.
    window_.reset();
    throw;
  }
}

// Resizes the window so that its client area is exactly the form's at the window's DPI, the
// top-left corner staying where it is. The system's frame can differ from the one the window was
// measured for: Wine keeps drawing it at the system DPI.
void FormWindow::FitClientArea() {
  RECT client{};
  GetClientRect(window_.get(), &client);
  const int dx = controls_.Px(form_->Spec().clientWidth) - client.right;
  const int dy = controls_.Px(form_->Spec().clientHeight) - client.bottom;
  if (dx == 0 && dy == 0) return;
  RECT frame{};
  GetWindowRect(window_.get(), &frame);
  SetWindowPos(window_.get(), nullptr, 0, 0, frame.right - frame.left + dx,
               frame.bottom - frame.top + dy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The desktop's colours changed, or a contrast theme came or went: the window and its controls
// are painted again at once, with brushes made from the new colours.
void FormWindow::RepaintInNewColors() {
  painter_.ColorsChanged();
  RedrawWindow(window_.get(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// The window came to a monitor of another DPI (WM_DPICHANGED): it is laid out again as it is when
// it starts at that DPI. Every control from its twips, the fonts made again for the DPI (the
// pictures keep their own pixels, as at any DPI), the icons of the DPI's sizes, the window moved
// to the rectangle the system suggests with the form's client area, then all of it repainted.
void FormWindow::MoveToDpi(int dpi, const RECT& suggested) {
  if (!window_ || form_ == nullptr || dpi <= 0) return;
  controls_.Rescale(dpi);
  painter_.DpiChanged();
  GiveIcons(dpi);
  SetWindowPos(window_.get(), nullptr, suggested.left, suggested.top,
               suggested.right - suggested.left, suggested.bottom - suggested.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
  FitClientArea();
  RedrawWindow(window_.get(), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
  NotifyLocationChange(controls_);
}

// Loads the form's icons at the sizes Windows gives a window's icons at a DPI
// (GetSystemMetricsForDpi) and hands them to the window once it exists; those it had go once it
// has let go of them. An icon resource without an image of a size has the nearest one scaled.
void FormWindow::GiveIcons(int dpi) {
  const int iconId = form_->Spec().iconId;
  if (iconId == 0) return;
  const auto load = [&](int width, int height) {
    const UINT at = static_cast<UINT>(dpi);
    return UniqueIcon(static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(iconId), IMAGE_ICON,
                                                    user32::SystemMetricForDpi(width, at),
                                                    user32::SystemMetricForDpi(height, at), 0)));
  };
  UniqueIcon big = load(SM_CXICON, SM_CYICON);
  UniqueIcon small = load(SM_CXSMICON, SM_CYSMICON);
  if (window_) {
    SendMessageW(window_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
    SendMessageW(window_.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
  }
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

void FormWindow::Show(Form& /*form*/) {
  // Focus and accelerator cues start as the last input suggests: hidden after a mouse click (with
  // Windows' default setting), shown after the keyboard.
  SendMessageW(window_.get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
  ShowWindow(window_.get(), SW_SHOWNORMAL);
  UpdateWindow(window_.get());
  SetForegroundWindow(window_.get());
  // The focus starts on the control with the lowest tab index, as in a dialog.
  RestoreFocus();
}

Microsoft::WRL::ComPtr<IAccessible> FormWindow::AccessibleObject(const Control* control) {
  return accessible_ ? accessible_->Of(control) : nullptr;
}

void FormWindow::RestoreFocus() {
  if (!window_ || form_ == nullptr) return;
  if (HWND control = controls_.WindowOf(form_->ControlToFocus())) SetFocus(control);
}

void FormWindow::Unload(Form& /*form*/) { window_.reset(); }

void FormWindow::CaptionChanged(Form& form) {
  if (window_) SetWindowTextW(window_.get(), form.Caption().c_str());
}

void FormWindow::ControlChanged(Form& form, const Control& control) {
  if (!window_) return;
  HWND window = controls_.WindowOf(&control);
  NotifyAccessibleChange(window_.get(), window, form, control);
  if (window != nullptr) {
    if (HasCheckState(control.Spec().kind)) ShowModelMark(window, control);
    InvalidateRect(window, nullptr, TRUE);
    return;
  }
  const RECT box = controls_.PxRect(control.Spec().box);
  InvalidateRect(window_.get(), &box, TRUE);
}

// The window stays enabled during a step: the step's waits and the controls drop input and clicks
// instead (StepState.h). Its accessible objects say that it is unavailable.
void FormWindow::StepBegan(Form& form) {
  steps_.StepBegan(form.StepReason());
  NotifyAvailabilityChange(controls_);
}

void FormWindow::StepEnded(Form& /*form*/) {
  const StepEffects effects = steps_.Report(StepEvent::kEnded);
  if (!window_) return;
  ShowModelMarks();
  NotifyAvailabilityChange(controls_);
  if (effects.giveFocusBack) RestoreFocus();
}

// The controls show the checks of the model, which nothing but the program changes during a step.
void FormWindow::ShowModelMarks() {
  for (const ControlWindows::Child& child : controls_.Children()) {
    if (HasCheckState(child.control->Spec().kind)) ShowModelMark(child.window, *child.control);
  }
}

void FormWindow::ShowModelMark(HWND window, const Control& control) {
  const WPARAM state = control.Value() != 0 ? BST_CHECKED : BST_UNCHECKED;
  if (static_cast<WPARAM>(SendMessageW(window, BM_GETCHECK, 0, 0)) == state) return;
  showingModel_ = true;
  SendMessageW(window, BM_SETCHECK, state, 0);
  showingModel_ = false;
}

int FormWindow::RunMessageLoop() {
  MSG message{};
  for (;;) {
    ReportHeldFailure();
    if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
    if (HandleKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return exitCode_;
}

// A failure the window's border held (StepWindow::BorderFailure) is reported as a handler's is,
// and ends the program; once it ends, nothing more is reported.
void FormWindow::ReportHeldFailure() {
  HeldFailure& held = steps_.BorderFailure();
  if (ending_ || !held.Holds()) return;
  if (!RunEventHandler(platform_, [&held] { held.ThrowIfHeld(); })) EndProgram(kExitRuntimeError);
}

void FormWindow::EndProgram(int exitCode) {
  ending_ = true;
  exitCode_ = exitCode;
  if (window_) {
    window_.reset();
  } else {
    PostQuitMessage(exitCode);
  }
}

void FormWindow::OnClicked(HWND controlWindow) {
  Control* clicked = controls_.ControlOf(controlWindow);
  if (ending_ || clicked == nullptr) return;
  // During a step a click from anywhere changes nothing: a mark that changed all the same (a
  // notification sent by another program) is put back.
  if (steps_.Outputs().unavailable) {
    ShowModelMarks();
    return;
  }
  // A check box or option button has already changed its mark; the model learns of it before any
  // handler runs.
  for (const ControlWindows::Child& child : controls_.Children()) {
    if (!HasCheckState(child.control->Spec().kind)) continue;
    const int value = SendMessageW(child.window, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    if (value != child.control->Value()) child.control->SetValue(value);
  }
  const ControlKind kind = clicked->Spec().kind;
  if (kind != ControlKind::kCommandButton && kind != ControlKind::kOptionButton) return;
  // An option button that takes the focus unselected notifies a click although nothing was
  // selected; only a real click leaves it selected.
  if (kind == ControlKind::kOptionButton && clicked->Value() == 0) return;
  if (!RunEventHandler(platform_, [&] { form_->Click(*clicked); })) EndProgram(kExitRuntimeError);
}

LRESULT FormWindow::AnswerGetObject(const Control* control, WPARAM wParam) {
  (void)com_.Start();  // the object is handed over through COM
  com_.LeaveToProcessEnd();
  return win32::AccessibleObjectResult(*accessible_, control, wParam);
}

LRESULT CALLBACK FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                        LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<FormWindow*>(create->lpCreateParams);
    self->window_ = UniqueWindow(window);
    self->steps_.Attach(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self->bigIcon_) {
      SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(self->bigIcon_.get()));
    }
    if (self->smallIcon_) {
      SendMessageW(window, WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(self->smallIcon_.get()));
    }
  }
  auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  try {
    return self->HandleMessage(message, wParam, lParam);
  } catch (...) {
    // Nothing may cross into the system's code: the failure is held, and reported as soon as the
    // program's own code goes on (the message loop, or the wait of a step, which it ends).
    self->steps_.BorderFailure().Hold();
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The busy cursor, a close or the end of the session refused, the session's end: as the step
  // has it.
  if (const std::optional<LRESULT> answer = steps_.Answer(message, wParam)) return *answer;
  switch (message) {
    case WM_ERASEBKGND:
      painter_.EraseBackground(reinterpret_cast<HDC>(wParam));
      return 1;
    case WM_PAINT: {
      const PaintDc dc(window_.get());
      painter_.Paint(dc.get());
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (HBRUSH brush = painter_.ControlColors(reinterpret_cast<HWND>(lParam),
                                                reinterpret_cast<HDC>(wParam))) {
        return reinterpret_cast<LRESULT>(brush);
      }
      break;
    case WM_DRAWITEM:
      painter_.DrawGraphicalButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_NOTIFY:
      if (reinterpret_cast<const NMHDR*>(lParam)->code == NM_CUSTOMDRAW) {
        return painter_.DrawMarkedControl(*reinterpret_cast<const NMCUSTOMDRAW*>(lParam));
      }
      break;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED && lParam != 0) OnClicked(reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_CLOSE:
      // Closing from the title bar unloads the form, exactly as the exit button does.
      if (!ending_ && !RunEventHandler(platform_, [this] { form_->Unload(); })) {
        EndProgram(kExitRuntimeError);
      }
      return 0;
    case WM_ACTIVATE:
      // Activated again (after a message box, or by the user): the control that had the focus
      // takes it back, as in a dialog, instead of the window itself.
      if (LOWORD(wParam) != WA_INACTIVE) {
        RestoreFocus();
        return 0;
      }
      break;
    case WM_SETFOCUS:
      RestoreFocus();
      return 0;
    case WM_SYSCOLORCHANGE:
      // Only top-level windows hear of a new colour scheme (a contrast theme, say); the controls
      // learn of it from their parent.
      for (const ControlWindows::Child& child : controls_.Children()) {
        SendMessageW(child.window, WM_SYSCOLORCHANGE, wParam, lParam);
      }
      RepaintInNewColors();
      break;
    case WM_SETTINGCHANGE:
      // A contrast theme came or went: the labels' states are painted in other colours.
      if (wParam == SPI_SETHIGHCONTRAST) RepaintInNewColors();
      break;
    case WM_GETDPISCALEDSIZE:
      // Asked before WM_DPICHANGED: the size that gives the form's client area at the new DPI.
      if (form_ == nullptr || lParam == 0) break;
      *reinterpret_cast<SIZE*>(lParam) = WindowSizeAt(form_->Spec(), static_cast<int>(wParam));
      return TRUE;
    case WM_DPICHANGED:
      // The DPI is the message's: Wine's GetDpiForWindow keeps the system DPI.
      if (lParam == 0) break;
      MoveToDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_GETOBJECT:
      if (static_cast<DWORD>(lParam) == kClientObject && accessible_) {
        return AnswerGetObject(nullptr, wParam);
      }
      break;
    case kDefaultActionMessage:
      if (accessible_) CarryOutDefaultAction(*accessible_, reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_DESTROY:
      steps_.Attach(nullptr);
      accessible_.reset();
      controls_.Clear();
      PostQuitMessage(exitCode_);
      return 0;
    case WM_NCDESTROY: {
      // The system destroys the window; the owner lets go of it without destroying it again.
      HWND window = window_.release();
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      return DefWindowProcW(window, message, wParam, lParam);
    }
    default:
      break;
  }
  return DefWindowProcW(window_.get(), message, wParam, lParam);
}

// Every control reports taking the focus, so the window knows which one to give it back to. During
// a step a control drops the input and the clicks that reach it, sent or posted by anyone: a
// screen reader's default action and other programs' automation post BM_CLICK, and a message sent
// from another process is delivered inside whatever wait this thread is in, past the step's loop.
// The window's own BM_SETCHECK, which shows the model, passes.
LRESULT CALLBACK FormWindow::ChildProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR /*id*/, DWORD_PTR owner) noexcept {
  auto* self = reinterpret_cast<FormWindow*>(owner);
  if (self->steps_.DropsControlMessage(message) &&
      !(message == BM_SETCHECK && self->showingModel_)) {
    return 0;
  }
  try {
    if (message == WM_SETFOCUS && self->form_ != nullptr) {
      if (const Control* control = self->controls_.ControlOf(window)) {
        self->form_->GotFocus(*control);
      }
    } else if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == kClientObject) {
      // A control is one object, whether a screen reader meets it among the window's children or
      // from its own window, as Windows names it in focus and state events.
      const Control* control = self->controls_.ControlOf(window);
      if (control != nullptr && self->accessible_) return self->AnswerGetObject(control, wParam);
    } else if (message == WM_NCDESTROY) {
      RemoveWindowSubclass(window, &FormWindow::ChildProc, 0);
    }
  } catch (...) {
    // As in the form's own procedure: held, and reported where the program's own code goes on.
    self->steps_.BorderFailure().Hold();
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace velmor::win32
