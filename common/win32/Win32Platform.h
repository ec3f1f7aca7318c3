#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "ComOwners.h"
#include "Platform.h"

namespace velmor::win32 {

class Win32Platform final : public Platform {
 public:
  // title: the program title; messageOwner answers the window that message boxes belong to (or
  // null); com is the thread's apartment, which CreateObject starts if it has not started yet.
  Win32Platform(std::wstring title, std::function<HWND()> messageOwner, ComApartment& com);

  std::wstring AppPath() override;
  std::wstring CommandLine() override;
  void MsgBox(std::wstring_view prompt, MsgBoxStyle style,
              std::optional<std::wstring> title) override;
  ProgramRun StartAndWait(const std::wstring& path) override;
  ProgramRun StartElevatedAndWait(const std::wstring& path) override;
  bool FileExists(const std::wstring& path) override;
  void DeleteFileForced(const std::wstring& path) override;
  std::unique_ptr<AutomationObject> CreateObject(std::wstring_view progId) override;
  std::uint64_t TickCount() override;
  void Pause(std::uint32_t milliseconds) override;

 private:
  std::wstring title_;
  std::function<HWND()> messageOwner_;
  ComApartment& com_;
};

}  // namespace velmor::win32
