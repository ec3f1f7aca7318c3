#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ComOwners.h"
#include "Platform.h"
#include "StepWindow.h"

namespace velmor::win32 {

class Win32Platform final : public Platform {
 public:
  // title: the program title; steps: what the program's window does during a step, told of every
  // message box, installer and Excel, and the window that message boxes belong to (if any); com is
  // the thread's apartment, which CreateObject starts if it has not started yet.
  Win32Platform(std::wstring title, StepWindow& steps, ComApartment& com);

  std::wstring AppPath() override;
  std::wstring CommandLine() override;
  void MsgBox(std::wstring_view prompt, MsgBoxStyle style,
              std::optional<std::wstring> title) override;
  ProgramRun StartAndWait(const std::wstring& path) override;
  ProgramRun StartElevatedAndWait(const std::wstring& path) override;
  bool FileExists(const std::wstring& path) override;
  void DeleteFileForced(const std::wstring& path) override;
  bool FileInUse(const std::wstring& path) override;
  std::vector<PathLink> LinksOnPath(const std::wstring& path) override;
  std::wstring ProgramAccount() override;
  std::optional<std::wstring> DesktopAccount() override;
  std::wstring AccountName(const std::wstring& account) override;
  std::vector<std::uint32_t> ExcelProcesses() override;
  std::unique_ptr<AutomationObject> CreateObject(std::wstring_view progId) override;
  std::uint64_t TickCount() override;
  void Pause(std::uint32_t milliseconds) override;

 private:
  class ObservedObject;

  StepWindow& steps_;
  std::wstring title_;
  ComApartment& com_;
};

}  // namespace velmor::win32
