#pragma once

// Paths longer than the classic Windows limit of 260 characters. Distribution folders on deep
// network shares or with long Japanese folder names reach it; process creation takes such a program
// path only in a short (8.3) or an extended-length ("\\?\") form, and where neither serves, the
// user is told that the folder's path is too long.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "RuntimeError.h"

namespace velmor {

// The classic limit on a path, terminating null included.
inline constexpr std::size_t kMaxPath = 260;

// Error number of the report for a program whose path is too long (the system's "file name too
// long").
inline constexpr std::uint32_t kErrorPathTooLong = 206;

// Whether a path is too long to be used as it is: with its terminating null it exceeds kMaxPath.
bool IsLongPath(std::wstring_view path);

// The extended-length form of a full path: "\\?\C:\..." for a drive path,
// "\\?\UNC\server\share\..." for a network path. A path already in that form, or one that is not a
// full path, stays as it is.
std::wstring ExtendedLengthPath(std::wstring_view path);

// The usual form of a path that may be in extended-length form (the reverse of ExtendedLengthPath).
std::wstring WithoutExtendedPrefix(std::wstring_view path);

// The folder of a file path: everything before the last backslash.
std::wstring FolderOf(std::wstring_view path);

// The report for a program that exists but could not be started because the path of its folder is
// too long. It names the folder and says what to do.
RuntimeError PathTooLongError(std::wstring_view programPath);

}  // namespace velmor
