#include "ExcelTool.h"

#include <algorithm>
#include <utility>

namespace velmor {
namespace {

constexpr std::uint32_t kCallRejected = 0x80010001u;       // RPC_E_CALL_REJECTED
constexpr std::uint32_t kRetryLater = 0x8001010Au;         // RPC_E_SERVERCALL_RETRYLATER
constexpr std::uint32_t kServerUnavailable = 0x800706BAu;  // RPC_S_SERVER_UNAVAILABLE
constexpr std::uint32_t kCallFailed = 0x800706BEu;         // RPC_S_CALL_FAILED
constexpr std::uint32_t kDisconnected = 0x80010108u;       // RPC_E_DISCONNECTED

constexpr wchar_t kExcelDoesNotStart[] =
    L"Excel を起動できませんでした。\n"
    L"Excel をスタート メニューから起動できるかどうか確認してください。\n"
    L"起動できない場合は、Excel を修復するかインストールし直してから、もう一度お試しください。";

// The server turned the call away without running it (RPC_E_CALL_REJECTED,
// RPC_E_SERVERCALL_RETRYLATER): trying it again is safe.
bool IsTurnedAway(std::uint32_t number) { return number == kCallRejected || number == kRetryLater; }

// The server process is gone or cut off (RPC_S_SERVER_UNAVAILABLE, RPC_S_CALL_FAILED,
// RPC_E_DISCONNECTED).
bool IsServerGone(std::uint32_t number) {
  return number == kServerUnavailable || number == kCallFailed || number == kDisconnected;
}

// Our own words for Excel's common failures, for which the system has no text or only a technical
// one; null for any other number.
const wchar_t* ExcelFailureWords(std::uint32_t number) {
  // Short and polite: what happened, then what the user can do about it, each on a line of its own
  // so that the report does not break a sentence where it happens to be too wide.
  switch (number) {
    case 0x800401F3u:  // CO_E_CLASSSTRING: no such programmatic identifier
      return L"Excel が見つかりませんでした。\n"
             L"Excel をインストールしてから、もう一度お試しください。";
    case 0x80040154u:  // REGDB_E_CLASSNOTREG
      return L"Excel が正しくインストールされていない可能性があります。\n"
             L"Excel を修復するかインストールし直してから、もう一度お試しください。";
    case 0x80080005u:  // CO_E_SERVER_EXEC_FAILURE
      return L"Excel を起動できませんでした。\n"
             L"起動している Excel をすべて終了してから、もう一度お試しください。\n"
             L"問題が解決しない場合は、Excel をインストールし直してください。";
    case kCallRejected:
    case kRetryLater:
      // Only reported once the calls have been turned away for kBusyLimitMs.
      return L"60 秒待ちましたが、Excel から応答がありませんでした。\n"
             L"Excel に表示されているメッセージを閉じるか、Excel を終了してから、"
             L"もう一度お試しください。";
    case kServerUnavailable:
    case kCallFailed:
    case kDisconnected:
      return L"Excel との接続が途中で切れました。Excel が終了した可能性があります。\n"
             L"Excel が起動している場合は、終了してから、もう一度お試しください。";
    default:
      return nullptr;
  }
}

// The same failure, told in our words when we have words for it.
RuntimeError InPlainWords(const RuntimeError& error) {
  const wchar_t* words = ExcelFailureWords(error.Number());
  if (words == nullptr) return error;
  return RuntimeError(error.Number(), words, error.Operation(), error.Object());
}

// Makes an attempt until Excel answers it, or until it has been turned away for limitMs counted
// from since. A turned-away call did not run, so running it again cannot do anything twice. This is
// the one place that waits for a busy Excel: no message filter retries inside the calls
// (Automation.h).
template <typename Attempt>
auto Patiently(Platform& platform, const Attempt& attempt, std::uint64_t limitMs,
               std::uint64_t since) -> decltype(attempt()) {
  for (;;) {
    try {
      return attempt();
    } catch (const RuntimeError& error) {
      if (!IsTurnedAway(error.Number())) throw InPlainWords(error);
      const std::uint64_t waited = platform.TickCount() - since;
      if (waited >= limitMs) throw InPlainWords(error);
      platform.Pause(
          static_cast<std::uint32_t>(std::min<std::uint64_t>(kBusyPauseMs, limitMs - waited)));
    }
  }
}

// The step's calls: each is tried for kBusyLimitMs from its own first attempt.
template <typename Attempt>
auto Patiently(Platform& platform, const Attempt& attempt) -> decltype(attempt()) {
  return Patiently(platform, attempt, kBusyLimitMs, platform.TickCount());
}

// Starts Excel. A failure to start it that ExcelFailureWords has no words for (a damaged
// registration, a server program that never offers its class) is told as Excel not starting, with
// what to check.
std::unique_ptr<AutomationObject> CreateExcel(Platform& platform) {
  try {
    return Patiently(platform, [&] { return platform.CreateObject(L"Excel.Application"); });
  } catch (const RuntimeError& error) {
    if (ExcelFailureWords(error.Number()) != nullptr) throw;
    throw RuntimeError(error.Number(), kExcelDoesNotStart, error.Operation(), error.Object());
  }
}

class PatientObject final : public AutomationObject {
 public:
  PatientObject(Platform& platform, std::unique_ptr<AutomationObject> inner)
      : platform_(platform), owned_(std::move(inner)), inner_(*owned_) {}
  // Patience for an object that stays its owner's.
  PatientObject(Platform& platform, AutomationObject& inner) : platform_(platform), inner_(inner) {}

  void Put(std::wstring_view member, const AutomationArg& value) override {
    Patiently(platform_, [&] { inner_.Put(member, value); });
  }

  std::unique_ptr<AutomationObject> GetProperty(std::wstring_view member) override {
    return Wrap(Patiently(platform_, [&] { return inner_.GetProperty(member); }));
  }

  std::unique_ptr<AutomationObject> Call(std::wstring_view member,
                                         const std::vector<AutomationArg>& args) override {
    return Wrap(Patiently(platform_, [&] { return inner_.Call(member, args); }));
  }

 private:
  std::unique_ptr<AutomationObject> Wrap(std::unique_ptr<AutomationObject> object) {
    if (!object) return nullptr;
    return std::make_unique<PatientObject>(platform_, std::move(object));
  }

  Platform& platform_;
  std::unique_ptr<AutomationObject> owned_;
  AutomationObject& inner_;
};

// After a failure, while Excel may still run with its alerts off and the tool workbook open:
// closes the workbooks without saving (the alerts are off by the time a workbook is open, so
// nothing asks) and quits Excel. The user waits for this before the report, so a busy Excel is
// waited for kCleanUpBusyLimitMs in all, not for the step's minute; an Excel that still turns the
// calls away then, or is gone, is left as it is. Nothing here may take the place of the failure
// being reported.
void CloseAfterFailure(Platform& platform, AutomationObject& application,
                       std::uint32_t failure) noexcept {
  const auto stillAnswers = [](std::uint32_t number) {
    return !IsTurnedAway(number) && !IsServerGone(number);
  };
  if (!stillAnswers(failure)) return;
  const std::uint64_t since = platform.TickCount();
  // Whether Excel still answers after the attempt.
  const auto briefly = [&](const auto& attempt) {
    try {
      Patiently(platform, attempt, kCleanUpBusyLimitMs, since);
      return true;
    } catch (const RuntimeError& error) {
      return stillAnswers(error.Number());
    } catch (...) {
      return false;
    }
  };
  if (briefly([&] { application.GetProperty(L"Workbooks")->Call(L"Close", {}); })) {
    // Excel may end before its answer, or stay; either way the original failure is reported.
    briefly([&] { application.Call(L"Quit", {}); });
  }
}

}  // namespace

std::wstring AddinFilePath(const std::wstring& folder, const std::wstring& baseName) {
  return folder + L"\\" + baseName + L".xla";
}

bool ExcelWatch::NoneOpen() {
  const std::uint64_t first = platform_.TickCount();
  for (;;) {
    const std::vector<std::uint32_t> running = platform_.ExcelProcesses();
    // Ours that have ended are forgotten: their process numbers may be given to new programs.
    std::erase_if(ours_, [&](std::uint32_t process) {
      return std::find(running.begin(), running.end(), process) == running.end();
    });
    if (running.empty()) return true;
    const bool onlyOurs = running.size() == ours_.size();
    const std::uint64_t waited = platform_.TickCount() - first;
    if (!onlyOurs || waited >= kOwnExcelEndLimitMs) {
      platform_.MsgBox(kExcelOpenMessage);
      return false;
    }
    platform_.Pause(static_cast<std::uint32_t>(
        std::min<std::uint64_t>(kBusyPauseMs, kOwnExcelEndLimitMs - waited)));
  }
}

void ExcelWatch::NoteOurs() {
  for (const std::uint32_t process : platform_.ExcelProcesses()) {
    if (std::find(ours_.begin(), ours_.end(), process) == ours_.end()) ours_.push_back(process);
  }
}

bool RunToolMacro(Platform& platform, ExcelWatch& excels, const ToolMacroCall& call,
                  const std::function<void()>& afterMacro) {
  if (!excels.NoneOpen()) return false;
  // Released last, after the workbook, on every path.
  const std::unique_ptr<AutomationObject> application = CreateExcel(platform);
  PatientObject excel(platform, *application);
  std::unique_ptr<AutomationObject> workbook;
  try {
    excel.Put(L"Visible", true);
    excel.Put(L"DisplayAlerts", false);
    // The Workbooks collection is fetched afresh for each use and released right after it.
    workbook = excel.GetProperty(L"Workbooks")->Call(L"Open", {call.workbookPath});
    excel.Call(L"Run", {call.macro, call.folder, call.baseName});
    if (afterMacro) afterMacro();
    excel.GetProperty(L"Workbooks")->Call(L"Close", {});
  } catch (const RuntimeError& error) {
    CloseAfterFailure(platform, *application, error.Number());
    throw;
  }
  excels.NoteOurs();
  try {
    excel.Call(L"Quit", {});
  } catch (const RuntimeError& error) {
    // Excel may end before its answer to Quit reaches us: that is the end we asked for.
    if (!IsServerGone(error.Number())) throw;
  }
  workbook.reset();
  return true;
}

}  // namespace velmor
