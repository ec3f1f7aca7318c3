#include "FormPainter.h"

#include <string>
#include <vector>

#include "PaintedColors.h"
#include "SystemLibrary.h"

namespace velmor::win32 {

COLORREF ToColorRef(ColorValue color) {
  if (IsSystemColor(color)) return GetSysColor(SystemColorIndex(color));
  return static_cast<COLORREF>(color & 0x00FFFFFFu);
}

bool ContrastThemeOn() {
  HIGHCONTRASTW setting{};
  setting.cbSize = sizeof(setting);
  return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) != FALSE &&
         (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void FormPainter::RegisterPictureBox(HINSTANCE instance) {
  RegisterWindowClass(instance, kPictureBoxClass, &FormPainter::PictureBoxProc);
}

LRESULT CALLBACK FormPainter::PictureBoxProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* painter = reinterpret_cast<FormPainter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  try {
    switch (message) {
      case WM_PAINT: {
        const PaintDc dc(window);
        if (painter != nullptr) painter->PaintPictureBox(window, dc.get());
        return 0;
      }
      case WM_ERASEBKGND:
        return 1;
      case WM_LBUTTONDOWN:
        SetFocus(window);
        return 0;
      case WM_SETFOCUS:
      case WM_KILLFOCUS:
      case WM_UPDATEUISTATE:
        // The focus mark comes or goes.
        InvalidateRect(window, nullptr, FALSE);
        break;
      default:
        break;
    }
  } catch (...) {
    // Nothing may cross into the system's code: held, and reported where the program's own code
    // goes on (StepWindow::BorderFailure).
    if (painter != nullptr) painter->borderFailure_.Hold();
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void FormPainter::DpiChanged() {
  GiveFonts(false);
  const int dpi = controls_.Dpi();
  std::erase_if(fonts_, [dpi](const auto& font) { return font.first.dpi != dpi; });
}

void FormPainter::GiveFonts(bool redraw) {
  for (const ControlWindows::Child& child : controls_.Children()) {
    const FontSpec& font = child.control->Spec().font;
    if (font.points <= 0) continue;
    SendMessageW(child.window, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(font)),
                 redraw ? TRUE : FALSE);
  }
}

HFONT FormPainter::FontFor(const FontSpec& font) {
  const int dpi = controls_.Dpi();
  UniqueFont& slot =
      fonts_[FontKey{std::wstring(font.face), font.points, font.weight, font.charset, dpi}];
  if (!slot) {
    const std::wstring face(font.face);
    // Rounded down: the captions fill their boxes at 96 DPI, and a font rounded up at other DPIs
    // would wrap them.
    const int height = -static_cast<int>(font.points * dpi / 72.0);
    slot.reset(CreateFontW(height, 0, 0, 0, font.weight, FALSE, FALSE, FALSE,
                           static_cast<DWORD>(font.charset), OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           face.c_str()));
  }
  return slot.get();
}

HBRUSH FormPainter::BrushFor(ColorValue color) {
  UniqueBrush& slot = brushes_[color];
  if (!slot) slot.reset(CreateSolidBrush(ToColorRef(color)));
  return slot.get();
}

const Picture& FormPainter::PictureOf(int resourceId) {
  return pictures_.try_emplace(resourceId, resourceId).first->second;
}

void FormPainter::EraseBackground(HDC dc) {
  if (controls_.Model() == nullptr) return;
  RECT client{};
  GetClientRect(controls_.Parent(), &client);
  FillRect(dc, &client, BrushFor(controls_.Model()->Spec().backColor));
}

void FormPainter::Paint(HDC dc) {
  if (controls_.Model() == nullptr) return;
  const std::vector<Control>& controls = controls_.Model()->Controls();
  const bool contrast = contrast_();
  SetBkMode(dc, TRANSPARENT);
  // Back to front, so that a label listed earlier is drawn over one listed later.
  for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
    const ControlSpec& spec = it->Spec();
    if (spec.kind == ControlKind::kLine) {
      UniquePen pen(CreatePen(PS_SOLID, 1, ToColorRef(it->ForeColor())));
      const SelectedObject selected(dc, pen.get());
      const int x1 = controls_.Px(spec.line.x1), y1 = controls_.Px(spec.line.y1);
      const int x2 = controls_.Px(spec.line.x2), y2 = controls_.Px(spec.line.y2);
      MoveToEx(dc, x1, y1, nullptr);
      // LineTo leaves out the last point; a line includes both ends.
      LineTo(dc, x2 + (y1 == y2 ? 1 : 0), y2 + (x1 == x2 ? 1 : 0));
    } else if (spec.kind == ControlKind::kLabel) {
      RECT box = controls_.PxRect(spec.box);
      const PaintedColors colors = ColorsToPaint(it->ForeColor(), spec.backColor, contrast);
      if (spec.paintsBackground) FillRect(dc, &box, BrushFor(colors.background));
      const std::wstring& caption = it->Caption();
      if (caption.empty()) continue;
      const SelectedObject font(dc, FontFor(spec.font));
      SetTextColor(dc, ToColorRef(colors.text));
      DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &box,
                DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
    }
  }
}

void FormPainter::DrawGraphicalButton(const DRAWITEMSTRUCT& item) {
  const Control* control = controls_.ControlOf(item.hwndItem);
  if (control == nullptr) return;
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  const bool pushed = (item.itemState & ODS_SELECTED) != 0;
  DrawFrameControl(dc, &box, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));
  const int shift = pushed ? 1 : 0;

  const ControlSpec& spec = control->Spec();
  const std::wstring& caption = control->Caption();
  const SelectedObject font(dc, FontFor(spec.font));
  // Without COM the picture cannot be decoded and is left out; the caption is drawn all the same.
  (void)com_.Start();
  RECT text{0, 0, box.right - box.left, 0};
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
            DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  // The picture keeps its own pixels at any DPI, so it stays sharp.
  const Picture& picture = PictureOf(spec.pictureId);
  const SIZE size = picture.PixelSize();
  const int gap = controls_.Px(4 * 15);
  const int contentHeight = size.cy + gap + (text.bottom - text.top);
  const int top = box.top + (box.bottom - box.top - contentHeight) / 2 + shift;
  // The picture sits centred above the caption.
  picture.Draw(dc, box.left + (box.right - box.left - size.cx) / 2 + shift, top, size.cx, size.cy);
  RECT captionBox{box.left + shift, top + size.cy + gap, box.right + shift, box.bottom};
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

// Drawn as the system draws an unthemed one, but for the mark's size: the background as the
// control asks for it, the mark (DrawFrameControl) at the size of the default check mark at the
// window's DPI (SM_CXMENUCHECK), the caption half a digit's width beyond it, both centred from top
// to bottom, and the focus rectangle around the caption when focus cues show.
LRESULT FormPainter::DrawMarkedControl(const NMCUSTOMDRAW& draw) {
  HWND window = draw.hdr.hwndFrom;
  const Control* control = controls_.ControlOf(window);
  if (draw.dwDrawStage != CDDS_PREPAINT || control == nullptr ||
      !HasCheckState(control->Spec().kind)) {
    return CDRF_DODEFAULT;
  }
  HDC dc = draw.hdc;
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, ControlColors(window, dc));
  const SelectedObject font(dc, FontFor(control->Spec().font));
  const int mark = user32::SystemMetricForDpi(SM_CXMENUCHECK, static_cast<UINT>(controls_.Dpi()));
  int digit = 0;
  GetCharWidth32W(dc, L'0', L'0', &digit);
  const std::wstring& caption = control->Caption();
  constexpr UINT kFormat = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX;
  RECT text{client.left + mark + digit / 2, client.top, client.right, client.bottom};
  RECT measured = text;
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &measured,
            kFormat | DT_CALCRECT);
  const int height = measured.bottom - measured.top;
  text.top = client.top + (client.bottom - client.top - height) / 2;
  text.bottom = text.top + height;
  const int markTop = text.top + (height - mark) / 2;
  RECT box{client.left, markTop, client.left + mark, markTop + mark};
  const auto state = static_cast<UINT>(SendMessageW(window, BM_GETSTATE, 0, 0));
  UINT flags =
      control->Spec().kind == ControlKind::kOptionButton ? DFCS_BUTTONRADIO : DFCS_BUTTONCHECK;
  if ((state & BST_CHECKED) != 0) flags |= DFCS_CHECKED;
  if ((state & BST_PUSHED) != 0) flags |= DFCS_PUSHED;
  if (!IsWindowEnabled(window)) flags |= DFCS_INACTIVE;
  DrawFrameControl(dc, &box, DFC_BUTTON, flags);
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, kFormat);
  if (ShowsFocusMark((state & BST_FOCUS) != 0, SendMessageW(window, WM_QUERYUISTATE, 0, 0))) {
    RECT focus = text;
    InflateRect(&focus, 1, 0);
    IntersectRect(&focus, &focus, &client);
    DrawFocusRect(dc, &focus);
  }
  return CDRF_SKIPDEFAULT;
}

void FormPainter::PaintPictureBox(HWND window, HDC dc) {
  const Control* control = controls_.ControlOf(window);
  if (control == nullptr) return;
  RECT client{};
  GetClientRect(window, &client);
  FillRect(dc, &client, BrushFor(control->Spec().backColor));
  (void)com_.Start();  // for decoding the picture, as for a graphical button
  // Drawn unscaled from the top-left corner; the box clips what does not fit.
  const Picture& picture = PictureOf(control->Spec().pictureId);
  const SIZE size = picture.PixelSize();
  picture.Draw(dc, 0, 0, size.cx, size.cy);
  // The box takes the first focus; a rectangle inside its edge shows that it has it.
  if (ShowsFocusMark(GetFocus() == window, SendMessageW(window, WM_QUERYUISTATE, 0, 0))) {
    InflateRect(&client, -1, -1);
    DrawFocusRect(dc, &client);
  }
}

HBRUSH FormPainter::ControlColors(HWND control, HDC dc) {
  const Control* shown = controls_.ControlOf(control);
  if (shown == nullptr) return nullptr;
  const PaintedColors colors =
      ColorsToPaint(shown->ForeColor(), shown->Spec().backColor, contrast_());
  SetTextColor(dc, ToColorRef(colors.text));
  SetBkColor(dc, ToColorRef(colors.background));
  return BrushFor(colors.background);
}

}  // namespace velmor::win32
