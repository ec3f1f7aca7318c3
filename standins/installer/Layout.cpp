#include "Layout.h"

#include <sddl.h>

#include <algorithm>

#include "DescribeError.h"
#include "Handles.h"
#include "StandinFiles.h"
#include "Win32Support.h"

namespace installer {
namespace {

using velmor::win32::UniqueHandle;

// The product folder's rights as a package should lay them: administrators and the system may
// change it, users may only read and run what is in it (a folder made in C:\ would otherwise
// inherit rights that let every account change the files in it), and nothing is inherited from
// above.
constexpr wchar_t kProductFolderRights[] =
    L"O:BAG:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Creates the folder, with the product folder's rights, unless a folder of that name is there
// already; that one keeps what it has.
DWORD EnsureFolder(const std::wstring& folder) {
  velmor::win32::UniqueLocal<PSECURITY_DESCRIPTOR> rights;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProductFolderRights, SDDL_REVISION_1,
                                                            rights.put(), nullptr)) {
    return GetLastError();
  }
  SECURITY_ATTRIBUTES attributes{sizeof attributes, rights.get(), FALSE};
  if (CreateDirectoryW(folder.c_str(), &attributes)) return ERROR_SUCCESS;
  const DWORD error = GetLastError();
  if (error != ERROR_ALREADY_EXISTS) return error;
  const DWORD found = GetFileAttributesW(folder.c_str());
  if (found == INVALID_FILE_ATTRIBUTES) return GetLastError();
  // A plain file by that name cannot hold the product.
  return (found & FILE_ATTRIBUTE_DIRECTORY) != 0 ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

// Replaces the file at path with data. A file left read-only, hidden or system by an earlier
// install is reset to normal first, since CREATE_ALWAYS refuses to replace such a file. A file that
// could only be written in part is removed rather than left behind truncated.
DWORD WriteWholeFile(const std::wstring& path, std::span<const std::byte> data) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  constexpr DWORD kBlocking =
      FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
      (attributes & kBlocking) != 0) {
    if (!SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL)) return GetLastError();
  }

  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return GetLastError();

  std::span<const std::byte> rest = data;
  while (!rest.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(rest.size(), 1u << 20));
    DWORD written = 0;
    DWORD error = ERROR_SUCCESS;
    if (!WriteFile(file.get(), rest.data(), chunk, &written, nullptr)) {
      error = GetLastError();
    } else if (written == 0) {
      error = ERROR_WRITE_FAULT;  // no progress without an error would loop for ever
    }
    if (error != ERROR_SUCCESS) {
      file.reset();
      DeleteFileW(path.c_str());
      return error;
    }
    rest = rest.subspan(written);
  }
  if (!FlushFileBuffers(file.get())) {
    const DWORD error = GetLastError();
    file.reset();
    DeleteFileW(path.c_str());
    return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace

std::vector<ProductFile> CarriedFiles(HMODULE module, std::wstring& missing) {
  std::vector<ProductFile> files;
  missing.clear();
  for (UINT id = 1;; ++id) {
    // With a zero buffer size LoadStringW hands out a read-only pointer into the resource.
    const wchar_t* name = nullptr;
    const int length = LoadStringW(module, id, reinterpret_cast<LPWSTR>(&name), 0);
    if (length <= 0 || name == nullptr) break;
    ProductFile file{std::wstring(name, static_cast<size_t>(length)), {}};

    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (bytes == nullptr) {
      missing = file.name;
      break;
    }
    file.data = {static_cast<const std::byte*>(bytes), SizeofResource(module, found)};
    files.push_back(std::move(file));
  }
  return files;
}

bool LayOut(std::wstring_view who, const std::wstring& folder,
            const std::vector<ProductFile>& files, const std::vector<std::wstring>& omit) {
  if (const DWORD error = EnsureFolder(folder); error != ERROR_SUCCESS) {
    standins::Journal(who,
                      L"cannot create " + folder + L": " + velmor::win32::DescribeError(error));
    return false;
  }
  for (const ProductFile& file : files) {
    const bool omitted = std::any_of(omit.begin(), omit.end(), [&](const std::wstring& name) {
      return velmor::win32::EqualsIgnoringCase(name, file.name);
    });
    if (omitted) continue;
    const std::wstring path = folder + L"\\" + file.name;
    if (const DWORD error = WriteWholeFile(path, file.data); error != ERROR_SUCCESS) {
      standins::Journal(who, L"cannot write " + path + L": " + velmor::win32::DescribeError(error));
      return false;
    }
    standins::Journal(who, L"wrote " + path);
  }
  return true;
}

}  // namespace installer
