#include "ServerWindow.h"

namespace excel {
namespace {

constexpr wchar_t kTitle[] = L"Excel stand-in";
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleMilliseconds = 60000;

}  // namespace

ServerWindow::ServerWindow(HINSTANCE instance, void (*onIdle)()) : onIdle_(onIdle) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &ServerWindow::Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kExcelWindowClass;
  RegisterClassExW(&windowClass);

  window_.reset(CreateWindowExW(0, kExcelWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 420, 220, nullptr, nullptr, instance, this));
  if (window_.get() == nullptr) return;
  list_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", nullptr,
                          WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0,
                          0, 0, 0, window_.get(), nullptr, instance, nullptr);
  SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
  RECT client{};
  GetClientRect(window_.get(), &client);
  MoveWindow(list_, 8, 8, client.right - 16, client.bottom - 16, TRUE);
  // A server that COM started but no client ever reached would otherwise wait forever.
  SetTimer(window_.get(), kIdleTimer, kIdleMilliseconds, nullptr);
}

void ServerWindow::Show(bool visible) {
  if (window_.get() == nullptr) return;
  ShowWindow(window_.get(), visible ? SW_SHOWNORMAL : SW_HIDE);
  if (visible) SetForegroundWindow(window_.get());
}

bool ServerWindow::IsShown() const {
  return window_.get() != nullptr && IsWindowVisible(window_.get()) != FALSE;
}

void ServerWindow::ListWorkbooks(const std::vector<std::wstring>& fullNames) {
  if (list_ == nullptr) return;
  SendMessageW(list_, LB_RESETCONTENT, 0, 0);
  for (const std::wstring& name : fullNames) {
    SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  }
}

LRESULT CALLBACK ServerWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<ServerWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_SIZE:
      if (self != nullptr && self->list_ != nullptr) {
        MoveWindow(self->list_, 8, 8, LOWORD(lparam) - 16, HIWORD(lparam) - 16, TRUE);
      }
      return 0;
    case WM_CLOSE:
      // Closing hides the application; the objects clients hold stay usable.
      ShowWindow(window, SW_HIDE);
      if (self != nullptr && self->onIdle_ != nullptr) self->onIdle_();
      return 0;
    case WM_TIMER:
      if (wparam == kIdleTimer && self != nullptr && self->onIdle_ != nullptr) self->onIdle_();
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace excel
