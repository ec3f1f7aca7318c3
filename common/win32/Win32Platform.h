#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ComOwners.h"
#include "Platform.h"

namespace velmor::win32 {

// Told when the program starts to wait for work done outside it (an installer runs, Excel is in
// use) and when that work has ended: the window then refuses to let the session end.
class ExternalWorkObserver {
 public:
  virtual void ExternalWorkBegan() = 0;
  virtual void ExternalWorkEnded() = 0;

 protected:
  ~ExternalWorkObserver() = default;
};

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
  bool FileInUse(const std::wstring& path) override;
  std::vector<std::uint32_t> ExcelProcesses() override;
  std::unique_ptr<AutomationObject> CreateObject(std::wstring_view progId) override;
  std::uint64_t TickCount() override;
  void Pause(std::uint32_t milliseconds) override;

  void ObserveExternalWork(ExternalWorkObserver* observer) { workObserver_ = observer; }

 private:
  // Tells the observer, if any, that external work runs for as long as it exists.
  class ExternalWork {
   public:
    explicit ExternalWork(ExternalWorkObserver* observer) : observer_(observer) {
      if (observer_ != nullptr) observer_->ExternalWorkBegan();
    }
    ExternalWork(const ExternalWork&) = delete;
    ExternalWork& operator=(const ExternalWork&) = delete;
    ~ExternalWork() {
      if (observer_ != nullptr) observer_->ExternalWorkEnded();
    }

   private:
    ExternalWorkObserver* observer_;
  };
  class ObservedObject;

  HWND MessageOwner() const { return messageOwner_ ? messageOwner_() : nullptr; }

  ExternalWorkObserver* workObserver_ = nullptr;
  std::wstring title_;
  std::function<HWND()> messageOwner_;
  ComApartment& com_;
};

}  // namespace velmor::win32
