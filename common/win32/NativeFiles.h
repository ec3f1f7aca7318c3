#pragma once

// The file probes behind Platform::FileExists, Platform::DeleteFileForced and Platform::FileInUse,
// tested on real files under Wine (tests/win32).

#include <string>

namespace velmor {

// True when path names an existing file; a folder of that name is not a file. Never throws.
bool NativeFileExists(const std::wstring& path);

// Deletes the file at path, also when it is read-only. Throws RuntimeError, naming the path and the
// reason, when the file does not exist, is a folder, or cannot be deleted.
void NativeDeleteFile(const std::wstring& path);

// True when another program has the file open, so that it cannot be deleted now. The file is
// opened for deletion sharing nothing, which fails while any other handle to it is open, and is let
// go at once: nothing about it changes, and a read-only file is no obstacle. Throws RuntimeError,
// naming the path, when the file cannot be opened for any other reason.
bool NativeFileInUse(const std::wstring& path);

}  // namespace velmor
