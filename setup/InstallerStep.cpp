#include "InstallerStep.h"

#include <cstdint>
#include <optional>
#include <string>

#include "Module1.h"
#include "RuntimeError.h"

namespace setup {
namespace {

// Windows Installer's codes for an installation that did not happen, with what the user can do
// about each; an NTSTATUS error code (0xC0000005 and the like) is an installer that crashed.
struct InstallerFailure {
  std::uint32_t code;
  const wchar_t* what;
  const wchar_t* remedy;
};

constexpr std::uint32_t kCrashed = 0xC0000000u;  // any code with both top bits set
constexpr wchar_t kTryAgain[] = L"もう一度「開始」を押すと、インストールをやり直します。";
constexpr InstallerFailure kInstallerFailures[] = {
    {1602,
     L"インストールが取り消されたため、このインストーラーでは何もインストールされていません。",
     L"もう一度「開始」を押すと、インストーラーを改めて起動します。"},
    {1618, L"別のインストールが実行中のため、インストールできませんでした。",
     L"実行中のインストールが終わってから、もう一度「開始」を押してください。"},
    {1603, L"インストール中にエラーが発生しました。", kTryAgain},
    {kCrashed, L"インストーラーが異常終了しました。", kTryAgain},
};
constexpr InstallerFailure kOtherFailure = {0, L"インストーラーが正常に終了しませんでした。",
                                            kTryAgain};

// How a box names the installer: on a line of its own, after a label.
std::wstring InstallerLine(const std::wstring& path) { return L"インストーラー: " + path; }

const InstallerFailure& FailureOf(std::uint32_t code) {
  const std::uint32_t key = (code & kCrashed) == kCrashed ? kCrashed : code;
  for (const InstallerFailure& failure : kInstallerFailures) {
    if (failure.code == key) return failure;
  }
  return kOtherFailure;
}

}  // namespace

InstallerResult RunInstaller(Module1& module, velmor::Platform& platform, const wchar_t* fileName,
                             bool isRuntime) {
  const std::wstring path = module.InstallerPath(fileName);
  const std::optional<std::uint32_t> code = module.RunAndWait(path);
  if (!code) {
    platform.MsgBox(
        L"管理者として実行する許可が得られなかったため、"
        L"インストーラーを実行できませんでした。\n"
        L"このインストーラーでは何もインストールされていません。\n\n" +
        InstallerLine(path) +
        L"\n\nもう一度「開始」を押すと、許可を求める画面が再び表示されます。");
    return InstallerResult::kNotDone;
  }
  switch (*code) {
    case 0:
    // 1638: this or a newer version is already installed. The Excel step's own file probes then
    // make sure the product files are there.
    case 1638:
      return InstallerResult::kDone;
    case 5100:
      // The runtime redistributable's code for a newer runtime of its line being installed: as
      // good as done. Any other installer's 5100 is no such promise.
      if (isRuntime) return InstallerResult::kDone;
      break;
    case 3010:  // done, but Windows must restart before the software is used
      return InstallerResult::kDoneRestartNeeded;
    case 1641:  // done, and the installer has already started the restart
      return InstallerResult::kDoneRestarting;
    default:
      break;
  }
  const InstallerFailure& failure = FailureOf(*code);
  platform.MsgBox(std::wstring(failure.what) + L"\n\n" + InstallerLine(path) + L"\n終了コード: " +
                  velmor::FormatErrorNumber(*code) + L"\n\n" + failure.remedy);
  return InstallerResult::kNotDone;
}

}  // namespace setup
