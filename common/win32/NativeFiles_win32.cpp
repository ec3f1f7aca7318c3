#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "Accounts.h"
#include "ErrorText.h"
#include "Handles.h"
#include "LongPath.h"
#include "NativeFiles.h"
#include "Win32Support.h"

namespace velmor {
namespace {

using win32::UniqueFind;
using win32::UniqueHandle;

constexpr wchar_t kDeleteOperation[] = L"ファイルの削除";
constexpr wchar_t kInUseOperation[] = L"ファイルを削除できるかどうかの確認";
constexpr wchar_t kLinkOperation[] = L"リンクの確認";
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// How many links one way may pass, as many as Windows follows in one path.
constexpr std::size_t kMostLinks = 63;

// The form of a path that the file functions take whatever its length.
std::wstring ApiPath(const std::wstring& path) {
  return IsLongPath(path) ? ExtendedLengthPath(path) : path;
}

// Opens what is at path, a folder too; the link itself where a link is (Wine follows it all the
// same). Invalid, with the last error, when it cannot.
UniqueHandle OpenItself(const std::wstring& path, DWORD access, DWORD share) {
  return UniqueHandle(CreateFileW(ApiPath(path).c_str(), access, share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                  nullptr));
}

// A path that a system function writes into a buffer: write(buffer, room) answers the length
// without the null when the path fits, the room needed (null included) when it does not, and 0
// when it fails. Empty on failure.
template <class Write>
std::wstring WrittenPath(Write write) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = write(path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return path.substr(0, length);
    path.resize(length);
  }
}

// Where what is open lies, every link resolved ("C:\..."); empty when the system cannot say.
std::wstring FinalPath(HANDLE object) {
  return WithoutExtendedPrefix(WrittenPath([object](wchar_t* buffer, DWORD room) {
    return GetFinalPathNameByHandleW(object, buffer, room, 0);
  }));
}

// Where a path leads, every link resolved; empty when nothing is there.
std::wstring FinalPathOf(const std::wstring& path) {
  const UniqueHandle object(CreateFileW(ApiPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                        nullptr));
  return object ? FinalPath(object.get()) : std::wstring();
}

// Where what is open lies: its volume's serial number and its path within the volume, every link
// resolved. GetFinalPathNameByHandleW says as much, but under Wine 8 it fails for a path of more
// than about 270 characters however large the buffer. An empty path when the system cannot say.
struct Place {
  DWORD volume = 0;
  std::wstring path;
};
Place PlaceOf(HANDLE object) {
  BY_HANDLE_FILE_INFORMATION info{};
  std::vector<BYTE> buffer(sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t));
  auto* const name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
  if (!GetFileInformationByHandle(object, &info) ||
      !GetFileInformationByHandleEx(object, FileNameInfo, name,
                                    static_cast<DWORD>(buffer.size()))) {
    return {};
  }
  return {info.dwVolumeSerialNumber,
          std::wstring(name->FileName, name->FileNameLength / sizeof(wchar_t))};
}

// A reparse point that leads a path elsewhere: a junction or mount point, a symbolic link, or any
// other kind that stands for a name. Wine shows a Unix symbolic link to a folder as a reparse point
// of no kind (0): a link as well.
bool IsLinkTag(DWORD tag) { return tag == 0 || IsReparseTagNameSurrogate(tag); }

// How far the root of a full path reaches: "C:\", "\\server\share\", "\\?\Volume{...}\".
std::size_t RootLength(const std::wstring& path) {
  std::size_t end = std::wstring::npos;
  if (path.starts_with(L"\\\\?\\")) {
    end = path.find(L'\\', 4);
  } else if (path.starts_with(L"\\\\")) {
    end = path.find(L'\\', path.find(L'\\', 2) + 1);
  } else if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') {
    end = 2;
  }
  return end == std::wstring::npos ? path.size() : end + 1;
}

// The full form of path (".." and "." resolved); the path itself when the system cannot give one.
std::wstring FullPath(const std::wstring& path) {
  std::wstring full = WrittenPath([&path](wchar_t* buffer, DWORD room) {
    return GetFullPathNameW(path.c_str(), room, buffer, nullptr);
  });
  return full.empty() ? path : full;
}

WORD WordAt(const std::vector<BYTE>& data, std::size_t offset) {
  WORD value = 0;
  std::memcpy(&value, data.data() + offset, sizeof value);
  return value;
}

// What a link names, read from its reparse data: the documented REPARSE_DATA_BUFFER, which the
// user-mode headers do not carry (tag, sizes, then the offsets and lengths of the substitute and
// print names; a symbolic link's flags; the names). Empty when it cannot be read (Wine).
std::wstring LinkTarget(HANDLE link, const std::wstring& linkPath) {
  std::vector<BYTE> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD size = 0;
  if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                       static_cast<DWORD>(data.size()), &size, nullptr) ||
      size < 20) {
    return {};
  }
  DWORD tag = 0;
  std::memcpy(&tag, data.data(), sizeof tag);
  std::size_t names = 0;
  if (tag == IO_REPARSE_TAG_MOUNT_POINT) names = 16;
  if (tag == IO_REPARSE_TAG_SYMLINK) names = 20;
  const std::size_t offset = names + WordAt(data, 8);
  const std::size_t length = WordAt(data, 10);
  if (names == 0 || offset + length > size) return {};
  std::wstring target(length / sizeof(wchar_t), L'\0');
  std::memcpy(target.data(), data.data() + offset, target.size() * sizeof(wchar_t));

  constexpr DWORD kRelative = 1;  // SYMLINK_FLAG_RELATIVE
  DWORD flags = 0;
  if (tag == IO_REPARSE_TAG_SYMLINK) std::memcpy(&flags, data.data() + 16, sizeof flags);
  if ((flags & kRelative) != 0) return FullPath(FolderOf(linkPath) + L"\\" + target);
  // The system's own form of a full path: \??\C:\..., \??\UNC\server\share, \??\Volume{...}\.
  if (target.starts_with(L"\\??\\")) target[1] = L'\\';
  return WithoutExtendedPrefix(target);
}

// Changes the attributes of an open file, leaving its times as they are (0).
bool SetAttributes(HANDLE file, DWORD attributes) {
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

// Whether the open file lies in the folder that path names, under the name path gives it.
bool IsInFolder(HANDLE file, const std::wstring& path) {
  const UniqueHandle folder(CreateFileW(ApiPath(FolderOf(path)).c_str(), FILE_READ_ATTRIBUTES,
                                        kShareAll, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return false;
  const Place there = PlaceOf(folder.get());
  const Place here = PlaceOf(file);
  return !there.path.empty() && here.volume == there.volume &&
         win32::EqualsIgnoringCase(here.path, there.path + L"\\" + win32::FileNameOf(path));
}

// Makes sure, through the file's own handle, that it is a plain file with that one name, lying
// where the folder of path leads: not a link, not a name of a file that has others elsewhere
// (taking off its read-only mark would change it there too), and not a file that some other link at
// the name leads to. Answers its attributes; throws what it is instead.
DWORD ConfirmPlainFile(HANDLE file, const std::wstring& path, const wchar_t* operation) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) {
    throw win32::Win32Error(GetLastError(), L"GetFileInformationByHandle", operation, path);
  }
  FILE_ATTRIBUTE_TAG_INFO tag{};
  const bool isLink =
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) ||
       IsLinkTag(tag.ReparseTag));
  const wchar_t* refusal = nullptr;
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    refusal = L"ファイルではなくフォルダーのため、削除できません。";
  } else if (isLink || !IsInFolder(file, path)) {
    refusal =
        L"このパスはフォルダーの中のファイルではなく、ほかの場所を指すリンクのため、"
        L"削除しません。";
  } else if (info.nNumberOfLinks != 1) {
    refusal = L"このファイルは、ほかの場所にも名前（ハード リンク）を持つため、削除しません。";
  }
  if (refusal != nullptr) throw RuntimeError(ERROR_ACCESS_DENIED, refusal, operation, path);
  return info.dwFileAttributes;
}

}  // namespace

bool NativeFileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void NativeDeleteFile(const std::wstring& path) {
  // One opening for the checks, the read-only mark and the deletion: a link swapped in at the path
  // meanwhile cannot turn any of them to another file.
  const UniqueHandle file =
      OpenItself(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kShareAll);
  if (!file) throw win32::Win32Error(GetLastError(), L"CreateFileW", kDeleteOperation, path);
  const DWORD attributes = ConfirmPlainFile(file.get(), path, kDeleteOperation);
  // A forced deletion removes a read-only file too; if the deletion then fails, the file keeps its
  // read-only mark, so nothing about it changes.
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly && !SetAttributes(file.get(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    throw win32::Win32Error(GetLastError(), L"SetFileInformationByHandle", kDeleteOperation, path);
  }
  // The file goes when this handle is closed.
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (!SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                  sizeof disposition)) {
    const DWORD error = GetLastError();
    if (readOnly) SetAttributes(file.get(), attributes);
    throw win32::Win32Error(error, L"SetFileInformationByHandle", kDeleteOperation, path);
  }
}

bool NativeFileInUse(const std::wstring& path) {
  const UniqueHandle file = OpenItself(path, DELETE | FILE_READ_ATTRIBUTES, 0);
  if (!file) {
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return true;
    throw win32::Win32Error(error, L"CreateFileW", kInUseOperation, path);
  }
  // A file the deletion would refuse is refused now, before anything has changed.
  (void)ConfirmPlainFile(file.get(), path, kInUseOperation);
  return false;
}

std::vector<PathLink> NativeLinksOnPath(const std::wstring& path) {
  std::vector<PathLink> links;
  std::wstring way = path;
  std::size_t walked = RootLength(way);
  while (walked < way.size()) {
    std::size_t end = way.find(L'\\', walked);
    if (end == std::wstring::npos) end = way.size();
    const std::wstring here = way.substr(0, end);
    // The folder's listing tells a link without following it.
    WIN32_FIND_DATAW entry{};
    const UniqueFind found(FindFirstFileExW(ApiPath(here).c_str(), FindExInfoBasic, &entry,
                                            FindExSearchNameMatch, nullptr, 0));
    if (!found) break;  // nothing there, and so nothing beyond
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 ||
        !IsLinkTag(entry.dwReserved0)) {
      walked = end + 1;
      continue;
    }
    const UniqueHandle link = OpenItself(here, READ_CONTROL | FILE_READ_ATTRIBUTES, kShareAll);
    if (!link) throw win32::Win32Error(GetLastError(), L"CreateFileW", kLinkOperation, here);
    links.push_back({here, win32::OwnerOf(link.get())});
    if (links.size() > kMostLinks) {
      throw RuntimeError(ERROR_CANT_RESOLVE_FILENAME,
                         win32::SystemErrorText(ERROR_CANT_RESOLVE_FILENAME), kLinkOperation, path);
    }
    // The way goes on from where the link leads, a link there included.
    std::wstring target = LinkTarget(link.get(), here);
    if (target.empty()) target = FinalPathOf(here);
    if (target.empty()) break;  // a link to nothing
    if (!target.ends_with(L'\\')) target += L'\\';
    way = end < way.size() ? target + way.substr(end + 1) : target;
    walked = RootLength(way);
  }
  return links;
}

}  // namespace velmor
