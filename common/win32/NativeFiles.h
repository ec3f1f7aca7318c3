#pragma once

// The file probes behind Platform::FileExists and Platform::DeleteFileForced, tested on real files
// under Wine (tests/win32).

#include <string>

namespace velmor {

// True when path names an existing file; a folder of that name is not a file. Never throws.
bool NativeFileExists(const std::wstring& path);

// Deletes the file at path, also when it is read-only. Throws RuntimeError, naming the path and the
// reason, when the file does not exist, is a folder, or cannot be deleted.
void NativeDeleteFile(const std::wstring& path);

}  // namespace velmor
