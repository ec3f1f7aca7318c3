#pragma once

// What the driver reads of other processes' windows: texts, classes, owners, message boxes and
// check states, without ever waiting on a program that does not answer.

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

std::wstring WindowText(HWND hwnd);
std::wstring ClassName(HWND hwnd);
DWORD WindowProcessId(HWND hwnd);
std::vector<HWND> VisibleTopLevelWindows();
std::vector<HWND> ChildWindows(HWND parent);

// A button caption without its mnemonic markers ("終了(&X)" -> "終了(X)", "&&" -> "&").
std::wstring StripMnemonic(std::wstring_view s);

// A title pattern is exact, unless it ends with '*', which matches any rest.
bool TitleMatches(std::wstring_view pattern, std::wstring_view title);

struct MessageBoxInfo {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring text;
};

// A message box is a dialog (#32770) with the message text in its static control 0xFFFF.
std::optional<MessageBoxInfo> AsMessageBox(HWND hwnd);

std::wstring Describe(const MessageBoxInfo& box);

// The file name of the program a process runs; empty when it cannot be read.
std::wstring ProcessImageName(DWORD pid);

// The check state of a check box or option button, read with a time limit so a blocked program
// cannot hang the driver; empty when the program does not answer.
std::optional<LRESULT> CheckState(HWND button);

}  // namespace e2e
