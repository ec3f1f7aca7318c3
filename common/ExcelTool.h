#pragma once

// Running one macro of the product's tool workbook in a new Excel instance, the way both programs
// do it: Visible, DisplayAlerts, Workbooks.Open, Run, (the caller's step), Workbooks.Close, Quit,
// then release the workbook before the application.
//
// A real Excel answers like a server, not like a library: while it starts, loads its add-ins,
// shows a dialog or recalculates it turns calls away, and it may end before its answer to Quit
// reaches us. The Excel step therefore retries turned-away calls for a while, takes an Excel gone
// during Quit for the end it asked for, and reports Excel's common failures in plain words.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Platform.h"
#include "RuntimeError.h"

namespace velmor {

inline constexpr wchar_t kProductFolder[] = L"C:\\Velmor";
inline constexpr wchar_t kToolWorkbookName[] = L"Velmor_Tool.xls";

// folder & "\" & baseName & ".xla"
std::wstring AddinFilePath(const std::wstring& folder, const std::wstring& baseName);

struct ToolMacroCall {
  std::wstring workbookPath;  // the tool workbook to open
  std::wstring macro;         // "Addin_Install" or "Addin_UnInstall"
  std::wstring folder;        // first macro argument: the product folder
  std::wstring baseName;      // second macro argument: the add-in base name
};

// Every Excel reads its add-in list when it starts and writes it back when it ends. An Excel the
// user has open therefore undoes, when it is closed, whatever another instance registered or
// released meanwhile: no Excel may run while ours does its work. Ours, once quit, takes a moment to
// end; it is waited for, not taken for the user's.
class ExcelWatch {
 public:
  explicit ExcelWatch(Platform& platform) : platform_(platform) {}

  // True when no Excel runs, once the ones this program started have ended (each is waited for up
  // to kOwnExcelEndLimitMs). Otherwise the user is asked to save their work and close Excel, and
  // the answer is false: nothing may be started.
  [[nodiscard]] bool NoneOpen();

  // Takes every Excel running now for this program's own; called while the Excel it started still
  // runs, before its Quit.
  void NoteOurs();

 private:
  Platform& platform_;
  std::vector<std::uint32_t> ours_;
};

// How long an Excel this program has quit may take to end before it counts as open.
inline constexpr std::uint64_t kOwnExcelEndLimitMs = 10000;

// What the user is told when an Excel is open.
inline constexpr wchar_t kExcelOpenMessage[] =
    L"Excel が起動しています。\n\n"
    L"Excel が起動したままだと、Excel を終了したときにアドインの設定が元に戻ってしまいます。\n"
    L"開いているブックを保存して Excel をすべて終了してから、もう一度「開始」を押してください。\n\n"
    L"Excel のウィンドウが見えなくても、Excel が起動していることがあります。\n"
    L"その場合は、タスク マネージャーで Excel を終了してください。";

// Starts Excel, runs the macro and quits Excel. Just before Excel is started, excels makes sure no
// other Excel runs; when one does, the user has been told, nothing was started, and the answer is
// false. afterMacro, when given, runs once the macro has returned and before the workbooks are
// closed, while Excel still runs. Every call to Excel, its creation included, is made patiently:
// tried again while Excel turns it away. A failure to create Excel that ExcelFailureWords has no
// words for is told as Excel not starting, with what to check. An Excel gone during Quit has ended
// as asked. Any other failure is thrown; an Excel already started that still answers is first made
// to close its workbooks without saving and quit, waiting kCleanUpBusyLimitMs at most for a busy
// one, so that no Excel is left behind with its alerts off. The failure thrown is always the
// original one.
[[nodiscard]] bool RunToolMacro(Platform& platform, ExcelWatch& excels, const ToolMacroCall& call,
                                const std::function<void()>& afterMacro = {});

// How long a turned-away call is tried again, counted from its first attempt, and the pause
// between two attempts.
inline constexpr std::uint64_t kBusyLimitMs = 60000;
inline constexpr std::uint32_t kBusyPauseMs = 250;

// How long the clean-up after a failure waits for a busy Excel, in all, before the user sees the
// report.
inline constexpr std::uint64_t kCleanUpBusyLimitMs = 5000;

}  // namespace velmor
