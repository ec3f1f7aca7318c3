#pragma once

// A platform that records what the logic asked of it, one line per operation, in the order asked.
// Files, exit codes and failures are set up by the test.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "FormModel.h"
#include "Platform.h"
#include "RuntimeError.h"

namespace testing_support {

class FakePlatform;

class FakeAutomationObject : public velmor::AutomationObject {
 public:
  FakeAutomationObject(FakePlatform& platform, std::wstring name)
      : platform_(platform), name_(std::move(name)) {}
  ~FakeAutomationObject() override;

  void Put(std::wstring_view member, const velmor::AutomationArg& value) override;
  std::unique_ptr<velmor::AutomationObject> GetProperty(std::wstring_view member) override;
  std::unique_ptr<velmor::AutomationObject> Call(
      std::wstring_view member, const std::vector<velmor::AutomationArg>& args) override;

 private:
  void Record(std::wstring line, std::wstring_view member);

  FakePlatform& platform_;
  std::wstring name_;
};

class FakePlatform : public velmor::Platform {
 public:
  // What the logic did, e.g. "MsgBox[0|Velmor_Setup] text", "Start C:\dist\Velmor_Pgm.exe",
  // "CheckFile C:\Velmor\Velmor_Tool.xls", "Excel.Application.Run(Addin_Install, C:\Velmor, X)".
  std::vector<std::wstring> log;

  std::wstring appPath = L"C:\\dist";
  std::wstring commandLine;
  std::wstring title = L"Velmor_Setup";
  std::set<std::wstring> files;                                 // paths that exist
  std::map<std::wstring, std::deque<std::uint32_t>> exitCodes;  // by program path; default 0
  std::set<std::wstring> unstartable;     // program paths that cannot be started
  std::set<std::wstring> needsElevation;  // programs that only run with administrator rights
  int elevationDeclines = 0;              // how many elevation prompts the user declines next
  std::wstring failingMember;             // an automation member that throws
  std::set<std::wstring> undeletable;     // files whose deletion fails
  // Called when a program is started, so a test can lay out files as an installer would.
  std::function<void(const std::wstring&)> onStart;
  // The clock: Pause moves it on ("Pause <ms>" in the log).
  std::uint64_t now = 0;
  // Until this time every call on an automation object is turned away (RPC_E_CALL_REJECTED), as
  // a busy Excel does; logged as "Failed 0x80010001 <call>".
  std::uint64_t busyUntil = 0;
  // Failures, by member name (or "CreateObject"), that its next calls meet one after the other
  // before they are answered.
  std::map<std::wstring, std::deque<std::uint32_t>> memberFailures;
  // Called when a message box is shown, with its text.
  std::function<void(std::wstring_view)> onMsgBox;
  // Files another program holds open: FileInUse answers true ("InUse <path>") and their deletion
  // fails.
  std::set<std::wstring> inUse;
  // The running Excel processes ("FindExcel"): the ones the user opened, which the test closes,
  // and the ones CreateObject started, each ending excelEndMs after its Quit.
  std::set<std::uint32_t> userExcels;
  std::uint64_t excelEndMs = 0;
  std::map<std::uint32_t, std::uint64_t> createdExcels;  // process -> when it ends
  // The account the program runs as and the desktop's (none: no shell; empty: unreadable), and
  // the links on the way to a path, by that path.
  std::wstring programAccount = L"S-1-5-21-7-7-7-1001";
  std::optional<std::wstring> desktopAccount = programAccount;
  std::map<std::wstring, std::vector<velmor::PathLink>> links;

  std::wstring AppPath() override { return appPath; }
  std::wstring CommandLine() override { return commandLine; }

  void MsgBox(std::wstring_view prompt, velmor::MsgBoxStyle style,
              std::optional<std::wstring> boxTitle) override {
    log.push_back(L"MsgBox[" + std::to_wstring(static_cast<int>(style)) + L"|" +
                  boxTitle.value_or(title) + L"] " + std::wstring(prompt));
    if (onMsgBox) onMsgBox(prompt);
  }

  velmor::ProgramRun StartAndWait(const std::wstring& path) override {
    log.push_back(L"Start " + path);
    if (unstartable.count(path) != 0) {
      throw velmor::RuntimeError(2, L"not found", L"start", path);
    }
    if (needsElevation.count(path) != 0) return {velmor::ProgramRun::Outcome::kNeedsElevation};
    return Run(path);
  }

  velmor::ProgramRun StartElevatedAndWait(const std::wstring& path) override {
    log.push_back(L"StartElevated " + path);
    if (elevationDeclines > 0) {
      --elevationDeclines;
      return {velmor::ProgramRun::Outcome::kElevationDeclined};
    }
    return Run(path);
  }

  bool FileExists(const std::wstring& path) override {
    log.push_back(L"CheckFile " + path);
    return files.count(path) != 0;
  }

  void DeleteFileForced(const std::wstring& path) override {
    log.push_back(L"RemoveFile " + path);
    if (undeletable.count(path) != 0 || inUse.count(path) != 0 || files.erase(path) == 0) {
      throw velmor::RuntimeError(32, L"in use", L"delete", path);
    }
  }

  bool FileInUse(const std::wstring& path) override {
    log.push_back(L"InUse " + path);
    return inUse.count(path) != 0;
  }

  std::vector<velmor::PathLink> LinksOnPath(const std::wstring& path) override {
    const auto found = links.find(path);
    return found != links.end() ? found->second : std::vector<velmor::PathLink>{};
  }
  std::wstring ProgramAccount() override { return programAccount; }
  std::optional<std::wstring> DesktopAccount() override { return desktopAccount; }
  std::wstring AccountName(const std::wstring& account) override { return L"PC\\" + account; }

  std::vector<std::uint32_t> ExcelProcesses() override {
    log.push_back(L"FindExcel");
    std::vector<std::uint32_t> running(userExcels.begin(), userExcels.end());
    for (const auto& [process, endsAt] : createdExcels) {
      if (now < endsAt) running.push_back(process);
    }
    return running;
  }

  // The Excel that CreateObject started last has been asked to quit.
  void QuitExcel() {
    if (!createdExcels.empty()) createdExcels.rbegin()->second = now + excelEndMs;
  }

  std::unique_ptr<velmor::AutomationObject> CreateObject(std::wstring_view progId) override {
    const std::wstring line = L"CreateObject " + std::wstring(progId);
    FailIfOrdered(L"CreateObject", line, std::wstring(progId));
    log.push_back(line);
    if (progId == L"Excel.Application") {
      createdExcels[static_cast<std::uint32_t>(1000 + createdExcels.size())] = UINT64_MAX;
    }
    return std::make_unique<FakeAutomationObject>(*this, std::wstring(progId));
  }

  std::uint64_t TickCount() override { return now; }
  void Pause(std::uint32_t milliseconds) override {
    log.push_back(L"Pause " + std::to_wstring(milliseconds));
    now += milliseconds;
  }

  // Throws the failure the test ordered for this call, if any, after logging it.
  void FailIfOrdered(const std::wstring& member, const std::wstring& line,
                     const std::wstring& object) {
    std::uint32_t number = now < busyUntil && member != L"CreateObject" ? 0x80010001u : 0;
    auto& queued = memberFailures[member];
    if (number == 0 && !queued.empty()) {
      number = queued.front();
      queued.pop_front();
    }
    if (number == 0) return;
    log.push_back(L"Failed " + velmor::FormatErrorNumber(number) + L" " + line);
    throw velmor::RuntimeError(number, L"system text", L"call", object);
  }

  velmor::ProgramRun Run(const std::wstring& path) {
    if (onStart) onStart(path);
    auto& codes = exitCodes[path];
    if (codes.empty()) return {};
    const std::uint32_t code = codes.front();
    codes.pop_front();
    return {velmor::ProgramRun::Outcome::kEnded, code};
  }

  // The lines of the log that start with prefix.
  std::vector<std::wstring> Lines(std::wstring_view prefix) const {
    std::vector<std::wstring> lines;
    for (const auto& line : log) {
      if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    }
    return lines;
  }
};

inline FakeAutomationObject::~FakeAutomationObject() {
  platform_.log.push_back(L"Release " + name_);
}

inline void FakeAutomationObject::Record(std::wstring line, std::wstring_view member) {
  platform_.FailIfOrdered(std::wstring(member), line, name_ + L"." + std::wstring(member));
  platform_.log.push_back(std::move(line));
  if (member == platform_.failingMember) {
    throw velmor::RuntimeError(0x800A03EC, L"Microsoft Excel: failed", L"call",
                               name_ + L"." + std::wstring(member));
  }
}

inline std::wstring ArgText(const velmor::AutomationArg& arg) {
  if (const bool* flag = std::get_if<bool>(&arg)) return *flag ? L"True" : L"False";
  return std::get<std::wstring>(arg);
}

inline void FakeAutomationObject::Put(std::wstring_view member,
                                      const velmor::AutomationArg& value) {
  Record(name_ + L"." + std::wstring(member) + L"=" + ArgText(value), member);
}

inline std::unique_ptr<velmor::AutomationObject> FakeAutomationObject::GetProperty(
    std::wstring_view member) {
  Record(name_ + L"." + std::wstring(member), member);
  return std::make_unique<FakeAutomationObject>(platform_, std::wstring(member));
}

inline std::unique_ptr<velmor::AutomationObject> FakeAutomationObject::Call(
    std::wstring_view member, const std::vector<velmor::AutomationArg>& args) {
  std::wstring line = name_ + L"." + std::wstring(member) + L"(";
  for (std::size_t i = 0; i < args.size(); ++i) line += (i ? L", " : L"") + ArgText(args[i]);
  Record(line + L")", member);
  if (member == L"Quit" && name_ == L"Excel.Application") platform_.QuitExcel();
  if (member == L"Open") return std::make_unique<FakeAutomationObject>(platform_, L"Workbook");
  return nullptr;
}

// A host that remembers what the window was asked to do.
class FakeHost : public velmor::FormHost {
 public:
  std::vector<std::wstring> events;
  void Load(velmor::Form&) override { events.push_back(L"Load"); }
  void Show(velmor::Form&) override { events.push_back(L"Show"); }
  void Unload(velmor::Form&) override { events.push_back(L"Unload"); }
  void CaptionChanged(velmor::Form& form) override {
    events.push_back(L"Caption " + form.Caption());
  }
  void ControlChanged(velmor::Form&, const velmor::Control& control) override {
    events.push_back(L"Changed " +
                     velmor::ControlDisplayName(control.Spec().name, control.Spec().index));
  }
  void StepBegan(velmor::Form&) override { events.push_back(L"StepBegan"); }
  void StepEnded(velmor::Form&) override { events.push_back(L"StepEnded"); }
};

}  // namespace testing_support
