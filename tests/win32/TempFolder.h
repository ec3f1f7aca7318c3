#pragma once

// A folder of the test's own under the temporary folder, removed with everything in it (read-only
// files included) at the end.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Handles.h"

namespace win32_tests {

class TempFolder {
 public:
  explicit TempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + L"velmor-" + name + L"-" + std::to_wstring(GetCurrentProcessId());
    Remove(path_);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() { Remove(path_); }

  const std::wstring& Path() const { return path_; }

  // A file below the folder with the given contents; the folders on the way are made.
  std::wstring File(const std::wstring& relative, const std::string& contents = "x") const {
    const std::wstring full = path_ + L"\\" + relative;
    for (std::size_t at = full.find(L'\\', path_.size() + 1); at != std::wstring::npos;
         at = full.find(L'\\', at + 1)) {
      CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
    }
    const velmor::win32::UniqueHandle file(CreateFileW(
        full.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_TRUE(file) << "cannot create the test file";
    DWORD written = 0;
    if (file) {
      WriteFile(file.get(), contents.data(), static_cast<DWORD>(contents.size()), &written,
                nullptr);
    }
    return full;
  }

 private:
  static void Remove(const std::wstring& folder) {
    RemoveContents(folder);
    RemoveDirectoryW(folder.c_str());
  }

  static void RemoveContents(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    const velmor::win32::UniqueFind search(FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) return;
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = folder + L"\\" + name;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        Remove(full);
      } else {
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(full.c_str());
      }
    } while (FindNextFileW(search.get(), &entry));
  }

  std::wstring path_;
};

}  // namespace win32_tests
