// The stand-in's entry point: registers or unregisters the class, or serves it when COM starts the
// program with -Embedding.

#include <objbase.h>
#include <shellapi.h>
#include <windows.h>

#include <string>
#include <string_view>

#include "ComOwners.h"
#include "Dispatch.h"
#include "ExcelObjects.h"
#include "Handles.h"
#include "Registration.h"
#include "ServerWindow.h"
#include "StandinFiles.h"
#include "Text.h"
#include "UserExcel.h"
#include "Utf8.h"
#include "Win32Support.h"

namespace {

// Messages go to stderr when there is one (a script ran us), otherwise to a message box.
void Tell(const std::wstring& message, bool failure = true) {
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE) {
    const std::string bytes = velmor::Utf8FromWide(message + L"\n");
    DWORD written = 0;
    if (WriteFile(error, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return;
  }
  MessageBoxW(nullptr, message.c_str(), L"Excel stand-in",
              MB_OK | (failure ? MB_ICONERROR : MB_ICONINFORMATION));
}

excel::ServerWindow* serverWindow = nullptr;

void CALLBACK EndNow(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  PostQuitMessage(0);
}

// Ends the server once no object or lock is left and the window is not on the screen. With the
// order end_delay_ms=N it takes N ms more to end, its hidden window still there, as an Excel does
// that saves its settings on the way out.
void EndWhenIdle() {
  if (excel::server_lock::Count() != 0 || (serverWindow != nullptr && serverWindow->IsShown())) {
    return;
  }
  static bool ending = false;
  if (ending) return;
  ending = true;
  const long endDelayMs = standins::OrderNumber(L"excel", L"end_delay_ms", 0);
  if (endDelayMs > 0 && SetTimer(nullptr, 0, static_cast<UINT>(endDelayMs), &EndNow) != 0) {
    standins::Journal(L"excel", L"#ending in " + std::to_wstring(endDelayMs) + L" ms");
    return;
  }
  PostQuitMessage(0);
}

int Serve(HINSTANCE instance) {
  const std::wstring pid = std::to_wstring(GetCurrentProcessId());
  standins::Journal(L"excel", L"#start pid=" + pid);
  int exitCode = 0;
  {
    velmor::win32::ComApartment apartment;
    if (FAILED(apartment.Result())) {
      exitCode = 1;
    } else {
      excel::ServerWindow window(instance, &EndWhenIdle);
      serverWindow = &window;
      excel::server_lock::SetIdleHandler(&EndWhenIdle);
      const auto factory = excel::CreateClassFactory(excel::ServerEnvironment(&window));
      // A slow start: the class object is offered only after start_delay_ms.
      const long startDelayMs = standins::OrderNumber(L"excel", L"start_delay_ms", 0);
      if (startDelayMs > 0) Sleep(static_cast<DWORD>(startDelayMs));
      const velmor::win32::ClassObjectRegistration registration(
          excel::kClsid, factory.Get(), CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE);
      if (FAILED(registration.Result())) {
        exitCode = 1;
      } else {
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
          TranslateMessage(&message);
          DispatchMessageW(&message);
        }
      }
      excel::server_lock::SetIdleHandler(nullptr);
      serverWindow = nullptr;
    }
  }
  standins::Journal(L"excel", L"#exit pid=" + pid);
  return exitCode;
}

constexpr wchar_t kUsage[] =
    L"Usage: ExcelStandin.exe [/RegServer [/force] | /UnregServer | -Embedding]\n"
    L"/RegServer registers the stand-in as Excel.Application: under Wine and when elevated for "
    L"the machine, otherwise for this user. It never replaces another Excel.Application; /force "
    L"registers it in front of one for this user. /UnregServer removes the registration. With no "
    L"argument it is an Excel the user opened.";

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int count = 0;
  const velmor::win32::UniqueLocal<wchar_t**> arguments(
      CommandLineToArgvW(GetCommandLineW(), &count));
  bool registerServer = false;
  bool unregisterServer = false;
  bool embedding = false;
  bool force = false;
  for (int i = 1; arguments && i < count; ++i) {
    std::wstring_view argument = arguments.get()[i];
    if (argument.size() < 2 || (argument.front() != L'/' && argument.front() != L'-')) {
      Tell(kUsage);
      return 2;
    }
    argument.remove_prefix(1);
    if (excel::EqualsIgnoringCase(argument, L"RegServer")) {
      registerServer = true;
    } else if (excel::EqualsIgnoringCase(argument, L"UnregServer")) {
      unregisterServer = true;
    } else if (excel::EqualsIgnoringCase(argument, L"Embedding") ||
               excel::EqualsIgnoringCase(argument, L"Automation")) {
      embedding = true;
    } else if (excel::EqualsIgnoringCase(argument, L"force")) {
      force = true;
    } else {
      Tell(kUsage);
      return 2;
    }
  }

  if (count <= 1) return excel::RunUserExcel(instance);
  if (registerServer == unregisterServer && (registerServer || !embedding)) {
    Tell(kUsage);
    return 2;
  }
  if (force && !registerServer) {
    Tell(kUsage);
    return 2;
  }
  const excel::Scope scope = excel::ScopeForThisProcess();
  if (registerServer) {
    const excel::Outcome outcome =
        excel::RegisterServer(scope, velmor::win32::ModuleFileName(), force);
    Tell(outcome.ok ? outcome.message : L"Registration refused: " + outcome.message, !outcome.ok);
    return outcome.ok ? 0 : 1;
  }
  if (unregisterServer) {
    const excel::Outcome outcome = excel::UnregisterServer(scope.keys);
    Tell(outcome.ok ? L"The Excel stand-in's registration under " + scope.name + L" is removed."
                    : L"Unregistration failed: " + outcome.message,
         !outcome.ok);
    return outcome.ok ? 0 : 1;
  }
  return Serve(instance);
}
