#pragma once

#include <windows.h>

#include <string>

namespace velmor::win32 {

// "error <code>: <the system's words>", for journals and diagnostics.
std::wstring DescribeError(DWORD error);

}  // namespace velmor::win32
