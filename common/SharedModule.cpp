#include "SharedModule.h"

#include "AddinTable.h"
#include "MessageText.h"
#include "NumberText.h"
#include "Ownership.h"
#include "RuntimeError.h"

namespace velmor {

void ThrowRowOutOfRange(const wchar_t* what, std::int16_t row) {
  constexpr std::uint32_t kSubscriptOutOfRange = 9;
  throw RuntimeError(kSubscriptOutOfRange, L"インデックスが有効範囲にありません。", what,
                     DecimalText(row));
}

const std::wstring& AddinNameTable::operator()(std::int16_t index) const {
  if (index < kFirst || index > kLast) ThrowRowOutOfRange(L"AddinNames の参照", index);
  return rows_[static_cast<std::size_t>(index - kFirst)];
}

std::wstring& AddinNameTable::operator()(std::int16_t index) {
  const auto& table = *this;
  return const_cast<std::wstring&>(table(index));
}

void SharedModule::SetAddinNames() {
  // Rows 6 to 10 are reserved: they are written empty.
  for (std::int16_t i = AddinNameTable::kFirst; i <= AddinNameTable::kLast; ++i) {
    AddinNames(i).clear();
  }
  for (const Addin& addin : kAddins) AddinNames(addin.row) = addin.baseName;
}

bool SharedModule::CheckFile(const std::wstring& path) { return platform_.FileExists(path); }

void SharedModule::RemoveFile(const std::wstring& path) { platform_.DeleteFileForced(path); }

bool SharedModule::RunsAsDesktopUser(std::wstring (*message)(std::wstring_view accountName)) {
  // Without a shell nothing more is asked: the program starts as fast as before.
  const std::optional<std::wstring> desktop = platform_.DesktopAccount();
  const std::wstring account = desktop ? platform_.ProgramAccount() : std::wstring();
  if (RunsAsDesktopAccount(account, desktop)) return true;
  platform_.MsgBox(message(platform_.AccountName(account)), MsgBoxStyle::kOkOnly);
  exitCode_ = kExitOtherAccount;
  return false;
}

bool SharedModule::LinksTrusted(const std::vector<std::wstring>& paths) {
  const std::optional<PathLink> link = UntrustedLink(platform_, paths);
  if (!link) return true;
  platform_.MsgBox(UntrustedLinkMessage(link->path), MsgBoxStyle::kOkOnly);
  return false;
}

}  // namespace velmor
