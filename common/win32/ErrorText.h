#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "RuntimeError.h"

namespace velmor::win32 {

// The system's description of a Win32 error code or an HRESULT, without the trailing line break.
std::wstring SystemErrorText(std::uint32_t code);

// What the report calls the work that failed: the operation in our words and, in full-width
// parentheses, the system function that failed, as in 「プログラムの起動（ResumeThread）」.
std::wstring OperationAndCall(std::wstring_view operation, std::wstring_view call);

// A RuntimeError for a Win32 error code from the function call, with the system's description.
RuntimeError Win32Error(DWORD code, std::wstring_view call, std::wstring_view operation,
                        std::wstring object);

// A RuntimeError for a failed HRESULT from the function or method call, with the system's
// description.
RuntimeError ComError(HRESULT result, std::wstring_view call, std::wstring_view operation,
                      std::wstring object);

}  // namespace velmor::win32
