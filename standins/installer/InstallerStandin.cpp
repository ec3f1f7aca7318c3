// An installer stand-in. Velmor_Setup.exe runs two installers that sit beside it; this one program
// is built under both names. It journals how it was started, shows a window for a while as an
// installer would, lays out the product folder when it carries the product files, and ends with the
// exit code its order file asks for. Ordered so, it goes on running for a while after its window
// has closed, as installers that clean up do, and asks every other program whether the session may
// end, as Windows does for the restart an installer that ends with 1641 has started.

#include <windows.h>

#include <string>
#include <vector>

#include "DescribeError.h"
#include "Handles.h"
#include "Layout.h"
#include "StandinFiles.h"
#include "Win32Support.h"

namespace {

constexpr wchar_t kWindowClass[] = L"VelmorStandinInstaller";
constexpr wchar_t kProductFolder[] = L"C:\\Velmor";
constexpr long kDefaultDelayMs = 500;
constexpr long kDefaultExitCode = 0;

// The file name of this program, e.g. "Velmor_Pgm.exe": it names the journal lines and the order
// file.
std::wstring OwnFileName() {
  const std::wstring path = velmor::win32::ModuleFileName();
  return path.empty() ? L"installer" : velmor::win32::FileNameOf(path);
}

std::wstring CurrentFolder() {
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  const DWORD length = GetCurrentDirectoryW(size, folder.data());
  folder.resize(length < size ? length : 0);
  return folder;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    // Closing the window by hand ends the wait early; the installer then finishes as usual.
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// A plain top-level window with one line saying what the installer does.
HWND OpenWindow(HINSTANCE instance, const std::wstring& name, const std::wstring& line, int show) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  if (RegisterClassExW(&windowClass) == 0) return nullptr;

  const std::wstring title = name + L" - stand-in installer";
  HWND window = CreateWindowExW(0, kWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 460, 140, nullptr, nullptr, instance, nullptr);
  if (window == nullptr) return nullptr;
  HWND text = CreateWindowExW(0, L"STATIC", line.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 16, 24,
                              420, 40, window, nullptr, instance, nullptr);
  if (text != nullptr) {
    SendMessageW(text, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
  }
  // The show command the caller asked for (STARTUPINFO.wShowWindow when given).
  ShowWindow(window, show);
  UpdateWindow(window);
  return window;
}

// Pumps messages until delay_ms have passed or the window was closed.
void PumpFor(long delayMs) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(delayMs > 0 ? delayMs : 0);
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
  }
}

// EnumWindows' callback: adds a visible top-level window of another process to the list.
BOOL CALLBACK AddOthersWindow(HWND window, LPARAM list) noexcept {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() || !IsWindowVisible(window)) return TRUE;
  try {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}

std::wstring TitleOf(HWND window) {
  std::wstring title(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  title.resize(static_cast<std::size_t>(
      GetWindowTextW(window, title.data(), static_cast<int>(title.size()))));
  return title;
}

// Sends WM_QUERYENDSESSION to every visible top-level window of the other programs and journals
// each answer, as Windows does when a restart begins: a program that answers FALSE, or not within
// the 5 seconds Windows gives it, holds the restart up. Nothing is restarted and no
// WM_ENDSESSION follows.
void QueryEndSession(const std::wstring& name) {
  std::vector<HWND> windows;
  EnumWindows(&AddOthersWindow, reinterpret_cast<LPARAM>(&windows));
  for (HWND window : windows) {
    DWORD_PTR answer = 0;
    const bool answered =
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer) != 0;
    standins::Journal(name, L"WM_QUERYENDSESSION \"" + TitleOf(window) + L"\" " +
                                (answered ? L"answered " + std::to_wstring(answer)
                                          : std::wstring(L"not answered")));
  }
}

// Tells every top-level window that a setting changed and waits for each to answer, as installers
// do after changing the environment. A plain SendMessage, on purpose: a window whose thread answers
// nothing holds this installer up for as long as it does not answer.
void Broadcast(const std::wstring& name, const std::wstring& section) {
  standins::Journal(name, L"broadcast WM_SETTINGCHANGE " + section);
  SendMessageW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(section.c_str()));
  standins::Journal(name, L"broadcast answered");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  const std::wstring name = OwnFileName();
  standins::Journal(name, L"start pid=" + std::to_wstring(GetCurrentProcessId()) + L" cmdline=" +
                              GetCommandLineW() + L" cwd=" + CurrentFolder());

  std::wstring missing;
  const std::vector<installer::ProductFile> files = installer::CarriedFiles(instance, missing);
  const bool isPackage = !files.empty() || !missing.empty();
  const std::wstring line = isPackage
                                ? std::wstring(L"Installing the Velmor product files into ") +
                                      kProductFolder + L" (stand-in; closes by itself)."
                                : L"Installing the runtime libraries (stand-in; closes by itself).";

  velmor::win32::UniqueWindow window(OpenWindow(instance, name, line, show));
  if (window.get() == nullptr) {
    standins::Journal(name, L"no window: " + velmor::win32::DescribeError(GetLastError()));
  }
  const std::wstring broadcast = standins::Order(name, L"broadcast", L"");
  if (!broadcast.empty()) Broadcast(name, broadcast);
  PumpFor(standins::OrderNumber(name, L"delay_ms", kDefaultDelayMs));

  bool ok = true;
  if (!missing.empty()) {
    standins::Journal(name, L"the data of " + missing + L" is missing from this program");
    ok = false;
  } else if (isPackage) {
    ok = installer::LayOut(name, kProductFolder, files, standins::Orders(name, L"omit"));
  }
  const long lingerMs = standins::OrderNumber(name, L"linger_ms", 0);
  if (lingerMs > 0) {
    window.reset();
    standins::Journal(name, L"window closed");
    Sleep(static_cast<DWORD>(lingerMs));
  }

  // A failed install reports 1 whatever exit code was ordered, so that it is never taken for
  // success.
  const DWORD exitCode =
      ok ? static_cast<DWORD>(standins::OrderNumber(name, L"exit", kDefaultExitCode)) : 1;
  if (standins::OrderNumber(name, L"query_end_session", 0) != 0) QueryEndSession(name);
  standins::Journal(name, L"end exit=" + std::to_wstring(exitCode));
  return static_cast<int>(exitCode);
}
