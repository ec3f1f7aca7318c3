#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "RuntimeError.h"

namespace velmor::win32 {

// The system's description of a Win32 error code or an HRESULT, without the trailing line break.
std::wstring SystemErrorText(std::uint32_t code);

// A RuntimeError for a Win32 error code, with the system's description.
RuntimeError Win32Error(DWORD code, std::wstring operation, std::wstring object);

// A RuntimeError for a failed HRESULT, with the system's description.
RuntimeError ComError(HRESULT result, std::wstring operation, std::wstring object);

}  // namespace velmor::win32
