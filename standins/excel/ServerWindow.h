#pragma once

// The small window the application shows while it is visible: its title and the open workbooks.

#include <windows.h>

#include <string>
#include <vector>

#include "ExcelObjects.h"
#include "Handles.h"

namespace excel {

// Excel's main window class. Every Excel has such a top-level window from its start to its end,
// hidden while it runs for automation only; programs look for it to find a running Excel.
inline constexpr wchar_t kExcelWindowClass[] = L"XLMAIN";

class ServerWindow final : public ApplicationView {
 public:
  // onIdle runs when the user closes the window (it is hidden, not destroyed) and once a minute,
  // so that the server can end when nothing needs it any more.
  ServerWindow(HINSTANCE instance, void (*onIdle)());
  ServerWindow(const ServerWindow&) = delete;
  ServerWindow& operator=(const ServerWindow&) = delete;
  ~ServerWindow() override = default;

  bool Created() const { return window_.get() != nullptr; }

  void Show(bool visible) override;
  bool IsShown() const override;
  void ListWorkbooks(const std::vector<std::wstring>& fullNames) override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  void (*onIdle_)();
  velmor::win32::UniqueWindow window_;
  HWND list_ = nullptr;  // child of window_, destroyed with it
};

}  // namespace excel
