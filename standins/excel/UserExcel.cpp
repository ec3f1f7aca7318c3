#include "UserExcel.h"

#include <string>
#include <vector>

#include "AddinRegistry.h"
#include "Handles.h"
#include "ServerWindow.h"
#include "StandinFiles.h"

namespace excel {
namespace {

constexpr wchar_t kWho[] = L"user-excel";
constexpr wchar_t kTitle[] = L"Excel stand-in - opened by the user";

// The add-in list as this Excel read it at its start.
std::vector<std::wstring> addinList;

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CLOSE: {
      // Written back before the window goes: once it is gone, the list is as this Excel left it.
      const LSTATUS status =
          WriteAddinList(HKEY_CURRENT_USER, std::wstring(kOptionsKey), addinList);
      standins::Journal(kWho, L"add-in list written back (" + std::to_wstring(addinList.size()) +
                                  L", status " + std::to_wstring(status) + L")");
      // Journalled before the window goes, so that whoever sees it gone finds the journal whole.
      standins::Journal(kWho, L"#exit pid=" + std::to_wstring(GetCurrentProcessId()));
      DestroyWindow(window);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace

int RunUserExcel(HINSTANCE instance) {
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  standins::Journal(kWho, L"#start pid=" + pid);
  const LSTATUS status = ReadAddinList(HKEY_CURRENT_USER, std::wstring(kOptionsKey), &addinList);
  standins::Journal(kWho, L"add-in list read (" + std::to_wstring(addinList.size()) + L", status " +
                              std::to_wstring(status) + L")");

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = &Procedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_WINDOW);
  windowClass.lpszClassName = kExcelWindowClass;
  RegisterClassExW(&windowClass);
  // Destroyed by its close; the owner only covers a failed start.
  const velmor::win32::UniqueWindow window(
      CreateWindowExW(0, kExcelWindowClass, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                      CW_USEDEFAULT, 420, 220, nullptr, nullptr, instance, nullptr));
  if (!window) {
    standins::Journal(kWho, L"#exit pid=" + pid);
    return 1;
  }
  ShowWindow(window.get(), SW_SHOWNORMAL);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace excel
