#pragma once

// What every stand-in shares: the journal all of them append to, and the small order files that
// tell a stand-in how to behave. Both live in C:\standins\ of the Wine prefix, so that the programs
// under test never learn that they are being tested.

#include <string>
#include <string_view>
#include <vector>

namespace standins {

// The folder of the journal and the order files, without a trailing backslash.
std::wstring StateFolder();

// Appends "<who>: <text>" as one UTF-8 line to C:\standins\journal.txt, creating folder and file
// when needed. Writing the whole line in one call keeps lines from different processes apart.
void Journal(std::wstring_view who, std::wstring_view text);

// Every byte of the file at path, read while others may still write it; empty when it cannot be
// opened. The tests read the journal and the files the stand-ins lay out with it.
std::string ReadFileBytes(const std::wstring& path);

// The values of every "key=value" line of C:\standins\<name>.cfg for the given key, in file order.
// A missing file or key gives an empty list. The file is read afresh on every call, so a test can
// change it while the stand-in runs.
std::vector<std::wstring> Orders(std::wstring_view name, std::wstring_view key);

// The last value of key, or fallback when the key is not given.
std::wstring Order(std::wstring_view name, std::wstring_view key, std::wstring_view fallback);

// The last value of key as an integer, or fallback when the key is missing or not a number.
long OrderNumber(std::wstring_view name, std::wstring_view key, long fallback);

}  // namespace standins
