#pragma once

// Functions of system DLLs looked up at run time, from the system folder only.
// - uxtheme.dll is not on the loader's list of known DLLs: importing it would let a DLL of that
// name
//   in the program's folder (a download folder, say) be loaded instead.
// - mpr.dll is not on that list either; it is needed only for an installer on a network drive.
// - shell32.dll is on that list, but it is large and pulls in more DLLs, and the programs need it
//   only to ask for administrator rights.
// - ole32.dll and oleaut32.dll are on the list too, but loading them, and starting COM, would delay
//   every window, while the programs need them only to decode their pictures (which happens at the
//   first paint, once the window shows) and to reach Excel.
// - oleacc.dll is not on the list, as uxtheme.dll is not, and only a screen reader or another
//   assistive program needs it, when it first asks a window for its accessible object.
// - user32.dll's functions for the DPI of each monitor came with Windows 10 (1607): importing them
//   would keep the programs from starting on older systems.
// Each DLL is loaded on first use and kept until the program ends.

#include <windows.h>

#include <objbase.h>
#include <oleacc.h>
#include <oleauto.h>
#include <shellapi.h>

#include <string>

namespace velmor::win32 {

// SetWindowTheme of uxtheme.dll. Returns false when the theme library or the function is missing
// (the control then keeps its theme, which changes how it looks, not what it does).
bool SetWindowThemeFromSystem(HWND window, const wchar_t* subAppName, const wchar_t* subIdList);

// ShellExecuteExW of shell32.dll, with its result and last error. When shell32 or the function
// cannot be had, FALSE with the loader's error.
BOOL ShellExecuteExFromSystem(SHELLEXECUTEINFOW* info);

// The UNC form (\\server\share\...) of a path on a mapped network drive, through
// WNetGetUniversalNameW of mpr.dll; empty when the path has none or mpr cannot be had.
std::wstring UniversalNameFromSystem(const std::wstring& path);

// The ole32 and oleaut32 functions that the support library uses, with the system's signatures.
// Code that links this library calls these rather than the imports, so that a program does not load
// either DLL before it needs it; the programs do not link ole32 or oleaut32 at all, so the linker
// refuses a direct call. When a DLL or function cannot be had, a function returning an HRESULT
// returns ERROR_PROC_NOT_FOUND as one, SysAllocStringLen returns null and SysStringLen 0.
namespace ole {
HRESULT CoInitializeEx(void* reserved, DWORD concurrencyModel);
void CoUninitialize();
HRESULT CLSIDFromProgID(const wchar_t* progId, CLSID* clsid);
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid, void** object);
HRESULT CoAllowSetForegroundWindow(IUnknown* object, void* reserved);
void CoTaskMemFree(void* memory);
HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, IStream** stream);
HRESULT OleLoadPicture(IStream* stream, LONG size, BOOL runMode, REFIID iid, void** picture);
BSTR SysAllocStringLen(const wchar_t* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
HRESULT VariantClear(VARIANT* value);
// VariantInit only marks the VARIANT empty, which needs no DLL.
inline void VariantInit(VARIANT* value) { V_VT(value) = VT_EMPTY; }
}  // namespace ole

// Functions of oleacc.dll: LresultFromObject, which hands a window's accessible object to the
// program that asked for it with WM_GETOBJECT, and AccessibleObjectFromWindow, which gives the
// system's object for a window (the parent of the window's own client object). When the DLL or the
// function cannot be had, ERROR_PROC_NOT_FOUND as an HRESULT, as they return their own failures.
namespace oleacc {
LRESULT LresultFromObject(REFIID iid, WPARAM wParam, IUnknown* object);
HRESULT AccessibleObjectFromWindow(HWND window, DWORD objectId, REFIID iid, void** object);
// The system's identity string (IAccPropServices::ComposeHwndIdentityString, through COM) of a
// window's client object (child CHILDID_SELF) or of one of its simple children, allocated with
// CoTaskMemAlloc; the system's failure when it composes none.
HRESULT ClientIdentityString(HWND window, DWORD child, BYTE** string, DWORD* length);
}  // namespace oleacc

// Functions of user32.dll that older systems lack. Where Windows has no DPI for each monitor,
// every window is at the system DPI, and these answer for it.
namespace user32 {
// GetDpiForWindow: the DPI of the window (of its monitor, for a per-monitor aware window).
UINT DpiForWindow(HWND window);
// AdjustWindowRectExForDpi, for a window without a menu: the window rectangle around a client
// rectangle, the frame measured at dpi.
BOOL AdjustWindowRectForDpi(RECT* rect, DWORD style, DWORD exStyle, UINT dpi);
// GetSystemMetricsForDpi: a system metric (SM_...) at dpi.
int SystemMetricForDpi(int index, UINT dpi);
}  // namespace user32

}  // namespace velmor::win32
