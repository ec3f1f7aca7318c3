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
constexpr wchar_t kPictureBoxClass[] = L"VelmorPictureBox";
constexpr int kFirstControlId = 100;
// WM_GETOBJECT's object id arrives in the low 32 bits of lParam.
constexpr DWORD kClientObject =
    static_cast<DWORD>(OBJID_CLIENT);  // clear of IDOK and IDCANCEL, which the dialog manager sends

bool IsWindowed(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kOptionButton ||
         kind == ControlKind::kCommandButton || kind == ControlKind::kPictureBox;
}

bool HasCheckState(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kOptionButton;
}

// A class registered already (by an earlier window of this process) is used as it is.
void RegisterWindowClass(const WNDCLASSEXW& windowClass) {
  if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    throw Win32Error(GetLastError(), L"ウィンドウ クラスの登録", windowClass.lpszClassName);
  }
}

void RegisterClasses(HINSTANCE instance, WNDPROC formProc, WNDPROC pictureProc) {
  WNDCLASSEXW form{};
  form.cbSize = sizeof(form);
  form.lpfnWndProc = formProc;
  form.hInstance = instance;
  form.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  form.lpszClassName = kFormClass;
  RegisterWindowClass(form);

  WNDCLASSEXW picture = form;
  picture.lpfnWndProc = pictureProc;
  picture.lpszClassName = kPictureBoxClass;
  RegisterWindowClass(picture);
}

}  // namespace

COLORREF ToColorRef(ColorValue color) {
  if (IsSystemColor(color)) return GetSysColor(SystemColorIndex(color));
  return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

FormWindow::FormWindow(HINSTANCE instance, Platform& platform, StepWindow& steps, ComApartment& com)
    : instance_(instance), platform_(platform), steps_(steps), com_(com) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterClasses(instance, &FormWindow::WindowProc, &FormWindow::PictureBoxProc);
}

// The window goes first: its last messages still reach the children, fonts and brushes.
FormWindow::~FormWindow() { window_.reset(); }

RECT FormWindow::PxRect(const TwipsRect& box) const {
  return RECT{Px(box.left), Px(box.top), Px(box.left + box.width), Px(box.top + box.height)};
}

HFONT FormWindow::FontFor(const FontSpec& font) {
  UniqueFont& slot = fonts_[&font];
  if (!slot) {
    const std::wstring face(font.face);
    // Rounded down: the captions fill their boxes at 96 DPI, and a font rounded up at other DPIs
    // would wrap them.
    const int height = -static_cast<int>(font.points * dpi_ / 72.0);
    slot.reset(CreateFontW(height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
                           static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           face.c_str()));
  }
  return slot.get();
}

HBRUSH FormWindow::BrushFor(ColorValue color) {
  UniqueBrush& slot = brushes_[color];
  if (!slot) slot.reset(CreateSolidBrush(ToColorRef(color)));
  return slot.get();
}

FormWindow::Child* FormWindow::ChildOf(HWND window) {
  for (Child& child : children_) {
    if (child.window == window) return &child;
  }
  return nullptr;
}

void FormWindow::Load(Form& form) {
  form_ = &form;
  {
    const WindowDC screen(nullptr);
    dpi_ = GetDeviceCaps(screen.get(), LOGPIXELSY);
  }
  const FormSpec& spec = form.Spec();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  RECT frame{0, 0, Px(spec.clientWidth), Px(spec.clientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  // The icons are loaded first and given to the window as soon as it exists (at WM_NCCREATE),
  // before the window system has made the frame: set any later, they would be converted for it once
  // more.
  if (spec.iconId != 0) {
    const auto load = [this, &spec](int cx, int cy) {
      return static_cast<HICON>(
          LoadImageW(instance_, MAKEINTRESOURCEW(spec.iconId), IMAGE_ICON, cx, cy, 0));
    };
    bigIcon_.reset(load(GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)));
    smallIcon_.reset(load(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)));
  }
  const std::wstring caption = form.Caption();
  // The window procedure takes ownership at WM_NCCREATE.
  CreateWindowExW(exStyle, kFormClass, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                  frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance_,
                  this);
  if (!window_) throw Win32Error(GetLastError(), L"ウィンドウの作成", caption);
  accessible_.emplace(*this);

  try {
    CreateChildren();
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

void FormWindow::CreateChildren() {
  // Created front to back, as the table lists them: a new child goes beneath those before it, so
  // where two overlap the one listed earlier lies on top. The focus does not follow this order; the
  // window moves it in tab order itself (HandleKey).
  std::vector<Control>& controls = form_->Controls();
  ControlKind previousKind = ControlKind::kLabel;
  for (std::size_t i = 0; i < controls.size(); ++i) {
    Control& control = controls[i];
    const ControlSpec& spec = control.Spec();
    if (!IsWindowed(spec.kind)) continue;
    const wchar_t* className = L"BUTTON";
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS;
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
        box.bottom - box.top, window_.get(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(i))),
        instance_, nullptr);
    if (child == nullptr) throw Win32Error(GetLastError(), L"コントロールの作成", caption);
    if (spec.font.points > 0) {
      SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(spec.font)), FALSE);
    }
    // Themed check boxes and option buttons draw their text in the theme's colour and ignore the
    // one the program sets; without a theme they use the colour given at WM_CTLCOLORSTATIC.
    if (HasCheckState(spec.kind)) SetWindowThemeFromSystem(child, L"", L"");
    // On Windows an option button that takes the keyboard focus clicks itself (BM_SETDONTCLICK);
    // here the keyboard selects explicitly (HandleKey), and a focus alone must never change the
    // choice. Older systems, and Wine, ignore the message; the Tab order does not depend on it.
    if (spec.kind == ControlKind::kOptionButton) SendMessageW(child, BM_SETDONTCLICK, TRUE, 0);
    SetWindowSubclass(child, &FormWindow::ChildProc, 0, reinterpret_cast<DWORD_PTR>(this));
    children_.push_back(
        Child{&control, child, spec.pictureId != 0 ? Picture(spec.pictureId) : Picture()});
  }
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

HWND FormWindow::WindowOf(const Control* control) const {
  for (const Child& child : children_) {
    if (child.control == control) return child.window;
  }
  return nullptr;
}

void FormWindow::RestoreFocus() {
  if (!window_ || form_ == nullptr) return;
  if (HWND control = WindowOf(form_->ControlToFocus())) SetFocus(control);
}

void FormWindow::Unload(Form& /*form*/) { window_.reset(); }

void FormWindow::CaptionChanged(Form& form) {
  if (window_) SetWindowTextW(window_.get(), form.Caption().c_str());
}

void FormWindow::ControlChanged(Form& form, const Control& control) {
  if (!window_) return;
  NotifyAccessibleChange(window_.get(), WindowOf(&control), form, control);
  for (Child& child : children_) {
    if (child.control != &control) continue;
    if (HasCheckState(control.Spec().kind)) ShowModelMark(child);
    InvalidateRect(child.window, nullptr, TRUE);
    return;
  }
  const RECT box = PxRect(control.Spec().box);
  InvalidateRect(window_.get(), &box, TRUE);
}

// The window stays enabled during a step: the step's waits and the controls drop input and clicks
// instead (StepState.h). Its accessible objects say that it is unavailable.
void FormWindow::StepBegan(Form& form) {
  steps_.StepBegan(form.StepReason());
  NotifyAvailabilityChange(*this);
}

void FormWindow::StepEnded(Form& /*form*/) {
  const StepEffects effects = steps_.Report(StepEvent::kEnded);
  if (!window_) return;
  ShowModelMarks();
  NotifyAvailabilityChange(*this);
  if (effects.giveFocusBack) RestoreFocus();
}

// The controls show the checks of the model, which nothing but the program changes during a step.
void FormWindow::ShowModelMarks() {
  for (const Child& child : children_) {
    if (HasCheckState(child.control->Spec().kind)) ShowModelMark(child);
  }
}

void FormWindow::ShowModelMark(const Child& child) {
  const WPARAM state = child.control->Value() != 0 ? BST_CHECKED : BST_UNCHECKED;
  if (static_cast<WPARAM>(SendMessageW(child.window, BM_GETCHECK, 0, 0)) == state) return;
  showingModel_ = true;
  SendMessageW(child.window, BM_SETCHECK, state, 0);
  showingModel_ = false;
}

int FormWindow::RunMessageLoop() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (HandleKey(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return exitCode_;
}

bool FormWindow::HandleKey(const MSG& message) {
  if (message.message != WM_KEYDOWN || !window_ || form_ == nullptr) return false;
  if (message.hwnd != window_.get() && !IsChild(window_.get(), message.hwnd)) return false;
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
  const KeyAction action = form_->KeyDown(key, GetKeyState(VK_SHIFT) < 0);
  HWND target = WindowOf(action.target);
  // The keyboard moves the focus: from now on the controls show where it is.
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
      if (target != nullptr) OnClicked(target);
      break;
    case KeyAction::Kind::kNone:
      break;
  }
  return true;
}

void FormWindow::ShowKeyboardCues() {
  SendMessageW(window_.get(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
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
  Child* clicked = ChildOf(controlWindow);
  if (ending_ || clicked == nullptr) return;
  // During a step a click from anywhere changes nothing: a mark that changed all the same (a
  // notification sent by another program) is put back.
  if (steps_.Outputs().unavailable) {
    ShowModelMarks();
    return;
  }
  // A check box or option button has already changed its mark; the model learns of it before any
  // handler runs.
  for (Child& child : children_) {
    if (!HasCheckState(child.control->Spec().kind)) continue;
    const int value = SendMessageW(child.window, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
    if (value != child.control->Value()) child.control->SetValue(value);
  }
  const ControlKind kind = clicked->control->Spec().kind;
  if (kind != ControlKind::kCommandButton && kind != ControlKind::kOptionButton) return;
  // An option button that takes the focus unselected notifies a click although nothing was
  // selected; only a real click leaves it selected.
  if (kind == ControlKind::kOptionButton && clicked->control->Value() == 0) return;
  Control& control = *clicked->control;
  if (!RunEventHandler(platform_, [&] { form_->Click(control); })) EndProgram(kExitRuntimeError);
}

void FormWindow::Paint(HDC dc) {
  const std::vector<Control>& controls = form_->Controls();
  SetBkMode(dc, TRANSPARENT);
  // Back to front, so that a label listed earlier is drawn over one listed later.
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    const ControlSpec& spec = it->Spec();
    if (spec.kind == ControlKind::kLine) {
      UniquePen pen(CreatePen(PS_SOLID, 1, ToColorRef(it->ForeColor())));
      const SelectedObject selected(dc, pen.get());
      const int x1 = Px(spec.line.x1), y1 = Px(spec.line.y1);
      const int x2 = Px(spec.line.x2), y2 = Px(spec.line.y2);
      MoveToEx(dc, x1, y1, nullptr);
      // LineTo leaves out the last point; a line includes both ends.
      LineTo(dc, x2 + (y1 == y2 ? 1 : 0), y2 + (x1 == x2 ? 1 : 0));
    } else if (spec.kind == ControlKind::kLabel) {
      RECT box = PxRect(spec.box);
      if (spec.paintsBackground) FillRect(dc, &box, BrushFor(spec.backColor));
      const std::wstring& caption = it->Caption();
      if (caption.empty()) continue;
      const SelectedObject font(dc, FontFor(spec.font));
      SetTextColor(dc, ToColorRef(it->ForeColor()));
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &box,
                DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    }
  }
}

void FormWindow::DrawGraphicalButton(const DRAWITEMSTRUCT& item) {
  Child* child = ChildOf(item.hwndItem);
  if (child == nullptr) return;
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const int shift = pushed ? 1 : 0;

  const ControlSpec& spec = child->control->Spec();
  const std::wstring& caption = child->control->Caption();
  const SelectedObject font(dc, FontFor(spec.font));
  // Without COM the picture cannot be decoded and is left out; the caption is drawn all the same.
  (void)com_.Start();
  RECT text{0, 0, box.right - box.left, 0};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  // The picture keeps its own pixels at any DPI, so it stays sharp.
  const SIZE picture = child->picture.PixelSize(dpi_);
  const int pictureWidth = picture.cx;
  const int pictureHeight = picture.cy;
  const int gap = Px(4 * 15);
  const int contentHeight = pictureHeight + gap + (text.bottom - text.top);
  const int top = box.top + (box.bottom - box.top - contentHeight) / 2 + shift;
  // The picture sits centred above the caption.
  child->picture.Draw(dc, box.left + (box.right - box.left - pictureWidth) / 2 + shift, top,
                      pictureWidth, pictureHeight);
  RECT captionBox{box.left + shift, top + pictureHeight + gap, box.right + shift, box.bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &captionBox,
            DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
  if (DrawsFocusRect(item.itemState)) {
    RECT focus = box;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

void FormWindow::PaintPictureBox(HWND window, HDC dc) {
  Child* child = ChildOf(window);
  if (child == nullptr) return;
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, BrushFor(child->control->Spec().backColor));
  (void)com_.Start();  // for decoding the picture, as for a graphical button
  // Drawn unscaled from the top-left corner; the box clips what does not fit.
  const SIZE size = child->picture.PixelSize(dpi_);
  child->picture.Draw(dc, 0, 0, size.cx, size.cy);
  // The box takes the first focus; a rectangle inside its edge shows that it has it.
  if (ShowsFocusMark(GetFocus() == window, SendMessageW(window, WM_QUERYUISTATE, 0, 0))) {
    InflateRect(&client, -1, -1);
    DrawFocusRect(dc, &client);
  }
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
    // Handlers report their own errors; nothing may cross into the system's code.
    return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // The busy cursor, a close or the end of the session refused: as the step has it.
  if (const std::optional<LRESULT> answer = steps_.Answer(message)) return *answer;
  switch (message) {
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(window_.get(), &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, BrushFor(form_->Spec().backColor));
      return 1;
    }
    case WM_PAINT: {
      const PaintDc dc(window_.get());
      Paint(dc.get());
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      const Child* child = ChildOf(reinterpret_cast<HWND>(lParam));
      if (child == nullptr) break;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, ToColorRef(child->control->ForeColor()));
      SetBkColor(dc, ToColorRef(child->control->Spec().backColor));
      return reinterpret_cast<LRESULT>(BrushFor(child->control->Spec().backColor));
    }
    case WM_DRAWITEM:
      DrawGraphicalButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
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
      // Only top-level windows hear of a new colour scheme (a high-contrast theme, say); the
      // controls learn of it from their parent.
      brushes_.clear();
      for (const Child& child : children_) {
        SendMessageW(child.window, WM_SYSCOLORCHANGE, wParam, lParam);
      }
      InvalidateRect(window_.get(), nullptr, TRUE);
      break;
    case WM_GETOBJECT:
      if (static_cast<DWORD>(lParam) == kClientObject && accessible_) {
        (void)com_.Start();  // the object is handed over through COM
        com_.LeaveToProcessEnd();
        return AccessibleObjectResult(*accessible_, nullptr, wParam);
      }
      break;
    case kDefaultActionMessage:
      CarryOutDefaultAction(*this, reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_DESTROY:
      steps_.Attach(nullptr);
      accessible_.reset();
      children_.clear();
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
  if (message == WM_SETFOCUS && self->form_ != nullptr) {
    if (const Child* child = self->ChildOf(window)) self->form_->GotFocus(*child->control);
  } else if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == kClientObject) {
    // A control is one object, whether a screen reader meets it among the window's children or
    // from its own window, as Windows names it in focus and state events.
    const Child* child = self->ChildOf(window);
    if (child != nullptr && self->accessible_) {
      (void)self->com_.Start();
      self->com_.LeaveToProcessEnd();
      return AccessibleObjectResult(*self->accessible_, child->control, wParam);
    }
  } else if (message == WM_NCDESTROY) {
    RemoveWindowSubclass(window, &FormWindow::ChildProc, 0);
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK FormWindow::PictureBoxProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) noexcept {
  auto* owner = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(GetParent(window), GWLP_USERDATA));
  try {
    switch (message) {
      case WM_PAINT: {
        const PaintDc dc(window);
        if (owner != nullptr) owner->PaintPictureBox(window, dc.get());
        return 0;
      }
      case WM_ERASEBKGND:
        return 1;
      case WM_LBUTTONDOWN:
        SetFocus(window);
        return 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
        InvalidateRect(window, nullptr, FALSE);
        break;
      case WM_UPDATEUISTATE:
        InvalidateRect(window, nullptr, FALSE);
        break;
      default:
        break;
    }
  } catch (...) {
    // As in the form's own procedure: nothing may cross into the system's code.
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace velmor::win32
