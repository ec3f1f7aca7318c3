#include "Ownership.h"

namespace velmor {

bool IsTrustedLinkOwner(const std::wstring& owner, const std::wstring& programAccount) {
  if (owner.empty()) return false;
  return owner == programAccount || owner == kAdministratorsAccount || owner == kSystemAccount ||
         owner == kTrustedInstallerAccount;
}

std::optional<PathLink> UntrustedLink(Platform& platform, const std::vector<std::wstring>& paths) {
  const std::wstring programAccount = platform.ProgramAccount();
  for (const std::wstring& path : paths) {
    for (const PathLink& link : platform.LinksOnPath(path)) {
      if (!IsTrustedLinkOwner(link.owner, programAccount)) return link;
    }
  }
  return std::nullopt;
}

bool RunsAsDesktopAccount(const std::wstring& programAccount,
                          const std::optional<std::wstring>& desktopAccount) {
  return !desktopAccount || *desktopAccount == programAccount;
}

}  // namespace velmor
