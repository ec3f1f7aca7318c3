#include "SystemLibrary.h"

#include <oleacc.h>
#include <olectl.h>
#include <winnetwk.h>
#include <wrl/client.h>

#include "Handles.h"

namespace velmor::win32 {
namespace {

// A DLL of the system folder, never a copy beside the program or on the PATH. The caller keeps it
// in a static, so that it is loaded on first use and kept until the program ends.
UniqueModule LoadFromSystem(const wchar_t* name) {
  return UniqueModule(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

HMODULE UxTheme() {
  static const UniqueModule library = LoadFromSystem(L"uxtheme.dll");
  return library.get();
}

HMODULE Mpr() {
  static const UniqueModule library = LoadFromSystem(L"mpr.dll");
  return library.get();
}

HMODULE Shell32() {
  static const UniqueModule library = LoadFromSystem(L"shell32.dll");
  return library.get();
}

// A function of a loaded DLL by name. GetProcAddress returns a generic function pointer; void (*)()
// is the cast that compilers accept between function pointer types without a warning.
template <typename Function>
Function FunctionOf(HMODULE library, const char* name) {
  if (library == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// What an HRESULT function answers when its DLL or the function itself cannot be had.
constexpr HRESULT kNotAvailable = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

// The functions of ole32 and oleaut32 that the support library uses, looked up together when the
// first of them is called. The declarations of the system headers give each its type, calling
// convention included; a missing one is null.
struct Ole32Functions {
  decltype(&::CoInitializeEx) coInitializeEx;
  decltype(&::CoUninitialize) coUninitialize;
  decltype(&::CLSIDFromProgID) clsidFromProgId;
  decltype(&::CoCreateInstance) coCreateInstance;
  decltype(&::CoAllowSetForegroundWindow) coAllowSetForegroundWindow;
  decltype(&::CreateStreamOnHGlobal) createStreamOnHGlobal;
  decltype(&::CoTaskMemFree) coTaskMemFree;
};

const Ole32Functions& Ole32() {
  static const UniqueModule library = LoadFromSystem(L"ole32.dll");
  static const Ole32Functions functions{
      FunctionOf<decltype(&::CoInitializeEx)>(library.get(), "CoInitializeEx"),
      FunctionOf<decltype(&::CoUninitialize)>(library.get(), "CoUninitialize"),
      FunctionOf<decltype(&::CLSIDFromProgID)>(library.get(), "CLSIDFromProgID"),
      FunctionOf<decltype(&::CoCreateInstance)>(library.get(), "CoCreateInstance"),
      FunctionOf<decltype(&::CoAllowSetForegroundWindow)>(library.get(),
                                                          "CoAllowSetForegroundWindow"),
      FunctionOf<decltype(&::CreateStreamOnHGlobal)>(library.get(), "CreateStreamOnHGlobal"),
      FunctionOf<decltype(&::CoTaskMemFree)>(library.get(), "CoTaskMemFree"),
  };
  return functions;
}

struct OleAut32Functions {
  decltype(&::OleLoadPicture) oleLoadPicture;
  decltype(&::SysAllocStringLen) sysAllocStringLen;
  decltype(&::SysFreeString) sysFreeString;
  decltype(&::SysStringLen) sysStringLen;
  decltype(&::VariantClear) variantClear;
};

const OleAut32Functions& OleAut32() {
  static const UniqueModule library = LoadFromSystem(L"oleaut32.dll");
  static const OleAut32Functions functions{
      FunctionOf<decltype(&::OleLoadPicture)>(library.get(), "OleLoadPicture"),
      FunctionOf<decltype(&::SysAllocStringLen)>(library.get(), "SysAllocStringLen"),
      FunctionOf<decltype(&::SysFreeString)>(library.get(), "SysFreeString"),
      FunctionOf<decltype(&::SysStringLen)>(library.get(), "SysStringLen"),
      FunctionOf<decltype(&::VariantClear)>(library.get(), "VariantClear"),
  };
  return functions;
}

HMODULE OleAcc() {
  static const UniqueModule library = LoadFromSystem(L"oleacc.dll");
  return library.get();
}

}  // namespace

bool SetWindowThemeFromSystem(HWND window, const wchar_t* subAppName, const wchar_t* subIdList) {
  using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  const auto setWindowTheme = FunctionOf<SetWindowThemeFunction>(UxTheme(), "SetWindowTheme");
  return setWindowTheme != nullptr && SUCCEEDED(setWindowTheme(window, subAppName, subIdList));
}

BOOL ShellExecuteExFromSystem(SHELLEXECUTEINFOW* info) {
  using ShellExecuteExFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOW*);
  const auto shellExecuteEx = FunctionOf<ShellExecuteExFunction>(Shell32(), "ShellExecuteExW");
  // GetLastError still holds the loader's reason when the library or the function is missing.
  return shellExecuteEx != nullptr ? shellExecuteEx(info) : FALSE;
}

std::wstring UniversalNameFromSystem(const std::wstring& path) {
  using GetUniversalNameFunction = DWORD(WINAPI*)(LPCWSTR, DWORD, LPVOID, LPDWORD);
  const auto getUniversalName =
      FunctionOf<GetUniversalNameFunction>(Mpr(), "WNetGetUniversalNameW");
  if (getUniversalName == nullptr) return {};
  // The answer is a UNIVERSAL_NAME_INFOW followed by the string it points to. A name that does not
  // fit is not one an installer could be started by anyway.
  union {
    UNIVERSAL_NAME_INFOW info;
    wchar_t text[2048];
  } answer{};
  DWORD size = sizeof(answer);
  if (getUniversalName(path.c_str(), UNIVERSAL_NAME_INFO_LEVEL, &answer, &size) != NO_ERROR ||
      answer.info.lpUniversalName == nullptr) {
    return {};
  }
  return answer.info.lpUniversalName;
}

namespace ole {

HRESULT CoInitializeEx(void* reserved, DWORD concurrencyModel) {
  const auto function = Ole32().coInitializeEx;
  return function != nullptr ? function(reserved, concurrencyModel) : kNotAvailable;
}

void CoUninitialize() {
  if (const auto function = Ole32().coUninitialize) function();
}

HRESULT CLSIDFromProgID(const wchar_t* progId, CLSID* clsid) {
  const auto function = Ole32().clsidFromProgId;
  return function != nullptr ? function(progId, clsid) : kNotAvailable;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID iid,
                         void** object) {
  const auto function = Ole32().coCreateInstance;
  return function != nullptr ? function(clsid, outer, context, iid, object) : kNotAvailable;
}

HRESULT CoAllowSetForegroundWindow(IUnknown* object, void* reserved) {
  const auto function = Ole32().coAllowSetForegroundWindow;
  return function != nullptr ? function(object, reserved) : kNotAvailable;
}

HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, IStream** stream) {
  const auto function = Ole32().createStreamOnHGlobal;
  return function != nullptr ? function(memory, deleteOnRelease, stream) : kNotAvailable;
}

void CoTaskMemFree(void* memory) {
  // Without ole32 no memory was ever allocated through it.
  if (const auto function = Ole32().coTaskMemFree) function(memory);
}

HRESULT OleLoadPicture(IStream* stream, LONG size, BOOL runMode, REFIID iid, void** picture) {
  const auto function = OleAut32().oleLoadPicture;
  return function != nullptr ? function(stream, size, runMode, iid, picture) : kNotAvailable;
}

BSTR SysAllocStringLen(const wchar_t* text, UINT length) {
  const auto function = OleAut32().sysAllocStringLen;
  return function != nullptr ? function(text, length) : nullptr;
}

void SysFreeString(BSTR text) {
  // Without oleaut32 no string was ever allocated, so there is nothing to free.
  if (const auto function = OleAut32().sysFreeString) function(text);
}

UINT SysStringLen(BSTR text) {
  const auto function = OleAut32().sysStringLen;
  return function != nullptr ? function(text) : 0;
}

HRESULT VariantClear(VARIANT* value) {
  const auto function = OleAut32().variantClear;
  return function != nullptr ? function(value) : kNotAvailable;
}

}  // namespace ole

namespace oleacc {

LRESULT LresultFromObject(REFIID iid, WPARAM wParam, IUnknown* object) {
  const auto function = FunctionOf<decltype(&::LresultFromObject)>(OleAcc(), "LresultFromObject");
  return function != nullptr ? function(iid, wParam, object) : kNotAvailable;
}

HRESULT AccessibleObjectFromWindow(HWND window, DWORD objectId, REFIID iid, void** object) {
  *object = nullptr;
  const auto function =
      FunctionOf<decltype(&::AccessibleObjectFromWindow)>(OleAcc(), "AccessibleObjectFromWindow");
  return function != nullptr ? function(window, objectId, iid, object) : kNotAvailable;
}

HRESULT ClientIdentityString(HWND window, DWORD child, BYTE** string, DWORD* length) {
  *string = nullptr;
  *length = 0;
  // CLSID_AccPropServices and IID_IAccPropServices, which not every SDK's import libraries carry.
  constexpr GUID kServices = {
      0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
  constexpr GUID kServicesInterface = {
      0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
  Microsoft::WRL::ComPtr<IAccPropServices> services;
  const HRESULT created =
      ole::CoCreateInstance(kServices, nullptr, CLSCTX_INPROC_SERVER, kServicesInterface,
                            reinterpret_cast<void**>(services.GetAddressOf()));
  if (FAILED(created)) return created;
  return services->ComposeHwndIdentityString(window, static_cast<DWORD>(OBJID_CLIENT), child,
                                             string, length);
}

}  // namespace oleacc

namespace user32 {
namespace {

// user32 is loaded with every program that has a window; only its newer functions are looked up.
HMODULE User32() { return GetModuleHandleW(L"user32.dll"); }

UINT SystemDpi() {
  const WindowDC screen(nullptr);
  return static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSY));
}

}  // namespace

UINT DpiForWindow(HWND window) {
  static const auto function =
      FunctionOf<decltype(&::GetDpiForWindow)>(User32(), "GetDpiForWindow");
  const UINT dpi = function != nullptr ? function(window) : 0;
  return dpi != 0 ? dpi : SystemDpi();
}

BOOL AdjustWindowRectForDpi(RECT* rect, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto function =
      FunctionOf<decltype(&::AdjustWindowRectExForDpi)>(User32(), "AdjustWindowRectExForDpi");
  if (function != nullptr) return function(rect, style, FALSE, exStyle, dpi);
  return AdjustWindowRectEx(rect, style, FALSE, exStyle);
}

int SystemMetricForDpi(int index, UINT dpi) {
  static const auto function =
      FunctionOf<decltype(&::GetSystemMetricsForDpi)>(User32(), "GetSystemMetricsForDpi");
  if (function != nullptr) return function(index, dpi);
  return GetSystemMetrics(index);
}

}  // namespace user32
}  // namespace velmor::win32
