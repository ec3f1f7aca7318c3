#pragma once

// The automation objects: Application, its Workbooks collection and the Workbook, plus the class
// factory that COM asks for a new Application.

#include <unknwn.h>
#include <windows.h>
#include <wrl/client.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace excel {

// {59B98C01-D4BA-4D19-887E-1B0D74130B70}
inline constexpr CLSID kClsid = {
    0x59b98c01, 0xd4ba, 0x4d19, {0x88, 0x7e, 0x1b, 0x0d, 0x74, 0x13, 0x0b, 0x70}};

// What the visible application shows: its window and the workbooks listed in it.
class ApplicationView {
 public:
  virtual ~ApplicationView() = default;
  virtual void Show(bool visible) = 0;
  virtual bool IsShown() const = 0;
  virtual void ListWorkbooks(const std::vector<std::wstring>& fullNames) = 0;
};

// Where the objects write their traces, read their orders and keep the add-in list.
struct Environment {
  std::function<void(std::wstring_view)> journal;
  // Every value given for a key in the order file, read afresh on each call.
  std::function<std::vector<std::wstring>(std::wstring_view)> orders;
  HKEY addinRoot = HKEY_CURRENT_USER;
  std::wstring addinKey;
  ApplicationView* view = nullptr;
  // The clock in milliseconds. With the order busy_ms=N, every call in the first N ms from the
  // first call the application receives is turned away: the client came while it was starting.
  std::function<ULONGLONG()> clock;
  // Lets time pass inside a call (macro_delay_ms=N: the macro takes N ms).
  std::function<void(DWORD)> sleep;
  // Ends the server inside a call without answering it (end_in=<member>), as a crash would.
  std::function<void()> endProcess;
};

// The environment of the running server: the shared journal and order file, HKCU and the window.
Environment ServerEnvironment(ApplicationView* view);

// A new Application object.
Microsoft::WRL::ComPtr<IDispatch> CreateApplication(const Environment& environment);

// The class factory registered for kClsid. Each Application it creates is independent.
Microsoft::WRL::ComPtr<IClassFactory> CreateClassFactory(Environment environment);

}  // namespace excel
