#pragma once

// The file probes on the file system of the machine the code runs on: NativeFiles_posix.cpp for the
// native build (unit tests on real temporary files), win32/NativeFiles_win32.cpp for the programs.

#include <string>

namespace velmor {

// True when path names an existing file; a folder of that name is not a file. Never throws.
bool NativeFileExists(const std::wstring& path);

// Deletes the file at path, also when it is read-only. Throws RuntimeError, naming the path and the
// reason, when the file does not exist, is a folder, or cannot be deleted.
void NativeDeleteFile(const std::wstring& path);

}  // namespace velmor
