// What the driver reads of other processes' windows (declared in Driver.h).

#include "Driver.h"

namespace e2e {
namespace {

constexpr int kMessageTextId = 0xFFFF;  // the static control holding a message box's text

// Window enumeration callback: collects into the std::vector<HWND> passed as the parameter.
BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

}  // namespace

std::wstring WindowText(HWND hwnd) {
  // For a window of another process this reads the stored text without sending WM_GETTEXT, so a
  // busy program cannot block the driver.
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, text.data(), n + 1);
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return text;
}

std::wstring ClassName(HWND hwnd) {
  wchar_t buf[256] = {};
  const int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

DWORD WindowProcessId(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

std::vector<HWND> VisibleTopLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&windows));
  std::erase_if(windows, [](HWND hwnd) { return !IsWindowVisible(hwnd); });
  return windows;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&children));
  return children;
}

std::optional<MessageBoxInfo> AsMessageBox(HWND hwnd) {
  if (ClassName(hwnd) != L"#32770") return std::nullopt;
  HWND text = GetDlgItem(hwnd, kMessageTextId);
  if (text == nullptr) return std::nullopt;
  return MessageBoxInfo{hwnd, WindowText(hwnd), WithoutCR(WindowText(text))};
}

std::wstring Describe(const MessageBoxInfo& box) {
  return L"title " + Quote(box.title) + L", text " + Quote(box.text);
}

std::wstring StripMnemonic(std::wstring_view s) {
  std::wstring out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == L'&' && s.substr(i + 1, 1) != L"&") continue;
    out += s[i];
    if (s[i] == L'&') ++i;  // "&&" is one "&"
  }
  return out;
}

bool TitleMatches(std::wstring_view pattern, std::wstring_view title) {
  if (!pattern.empty() && pattern.back() == L'*') {
    pattern.remove_suffix(1);
    return title.substr(0, pattern.size()) == pattern;
  }
  return title == pattern;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

std::optional<LRESULT> CheckState(HWND button) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(button, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000,
                           &result)) {
    return std::nullopt;
  }
  return static_cast<LRESULT>(result);
}

}  // namespace e2e
