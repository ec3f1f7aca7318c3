#pragma once

// Who laid what the programs rely on, and whose desktop they run on.
//
// Any account may create a folder in C:\, and links (junctions, symbolic links, mount points) lead
// a path to wherever their maker chose. A link that another ordinary account laid on the way to the
// product folder or the tool workbook hands that account the files the programs open, run or
// delete. A link's owner tells who laid it: the account itself, or, for a member of the
// Administrators group working with full rights, the Administrators group.
//
// "Run as administrator" with another account's credentials runs a program as that account: Excel
// started by it reads and writes that account's add-in list, not that of the user at the desk.

#include <optional>
#include <string>
#include <vector>

#include "Platform.h"

namespace velmor {

// Well-known accounts, by their security identifiers.
inline constexpr wchar_t kAdministratorsAccount[] = L"S-1-5-32-544";
inline constexpr wchar_t kSystemAccount[] = L"S-1-5-18";
inline constexpr wchar_t kTrustedInstallerAccount[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Whether a link that owner laid may be followed by a program running as programAccount: one the
// program's own account laid, or the Administrators group, the system or the Windows installer
// service. An unreadable owner (empty) is no such account.
bool IsTrustedLinkOwner(const std::wstring& owner, const std::wstring& programAccount);

// The first link on the way to any of paths whose owner is not trusted; none when there is none.
std::optional<PathLink> UntrustedLink(Platform& platform, const std::vector<std::wstring>& paths);

// Whether the program runs as the account of its desktop: the same account (elevated or not), or a
// desktop without a shell, where there is no one else to tell apart.
bool RunsAsDesktopAccount(const std::wstring& programAccount,
                          const std::optional<std::wstring>& desktopAccount);

}  // namespace velmor
