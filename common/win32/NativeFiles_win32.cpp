#include <windows.h>

#include "ErrorText.h"
#include "Handles.h"
#include "NativeFiles.h"

namespace velmor {
namespace {

constexpr wchar_t kDeleteOperation[] = L"ファイルの削除";

}  // namespace

bool NativeFileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void NativeDeleteFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    throw win32::Win32Error(GetLastError(), L"GetFileAttributesW", kDeleteOperation, path);
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    throw RuntimeError(ERROR_ACCESS_DENIED, L"ファイルではなくフォルダーのため、削除できません。",
                       kDeleteOperation, path);
  }
  // A forced deletion removes a read-only file too; if the deletion then fails, the file keeps its
  // read-only mark, so nothing about it changes.
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    throw win32::Win32Error(GetLastError(), L"SetFileAttributesW", kDeleteOperation, path);
  }
  if (!DeleteFileW(path.c_str())) {
    const DWORD error = GetLastError();
    if (readOnly) SetFileAttributesW(path.c_str(), attributes);
    throw win32::Win32Error(error, L"DeleteFileW", kDeleteOperation, path);
  }
}

bool NativeFileInUse(const std::wstring& path) {
  const win32::UniqueHandle file(
      CreateFileW(path.c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) return false;
  const DWORD error = GetLastError();
  if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
  throw win32::Win32Error(error, L"CreateFileW", L"ファイルを削除できるかどうかの確認", path);
}

}  // namespace velmor
