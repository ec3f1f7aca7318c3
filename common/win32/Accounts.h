#pragma once

// The accounts behind Platform::ProgramAccount, DesktopAccount and AccountName, and the owner of a
// file system object, each as a security identifier in string form ("S-1-5-21-...").

#include <windows.h>

#include <optional>
#include <string>

namespace velmor::win32 {

// The identifier in string form; empty when it cannot be converted.
std::wstring SidText(PSID sid);

// The account of this process. Throws RuntimeError when its token cannot be read.
std::wstring ProcessAccount();

// The account of the shell's process, whose window is the desktop's (GetShellWindow): none when
// there is no shell; empty when the process or its token may not be read, as another account's
// may not (OpenProcessToken: a process of another account needs the debug privilege enabled).
std::optional<std::wstring> ShellAccount();

// DOMAIN\name of an account, or the identifier itself when the system knows no name for it.
std::wstring AccountNameOf(const std::wstring& account);

// The owner of the object open with READ_CONTROL; empty when it cannot be read.
std::wstring OwnerOf(HANDLE object);

}  // namespace velmor::win32
