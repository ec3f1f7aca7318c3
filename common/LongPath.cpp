#include "LongPath.h"

namespace velmor {
namespace {

constexpr std::wstring_view kExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view kExtendedUncPrefix = L"\\\\?\\UNC\\";

bool IsDrivePath(std::wstring_view path) {
  return path.size() >= 3 &&
         ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
         path[1] == L':' && path[2] == L'\\';
}

}  // namespace

bool IsLongPath(std::wstring_view path) { return path.size() + 1 > kMaxPath; }

std::wstring ExtendedLengthPath(std::wstring_view path) {
  if (path.starts_with(kExtendedPrefix)) return std::wstring(path);
  if (IsDrivePath(path)) return std::wstring(kExtendedPrefix) + std::wstring(path);
  if (path.starts_with(L"\\\\") && path.size() > 2 && path[2] != L'.' && path[2] != L'\\') {
    return std::wstring(kExtendedUncPrefix) + std::wstring(path.substr(2));
  }
  return std::wstring(path);
}

std::wstring WithoutExtendedPrefix(std::wstring_view path) {
  if (path.starts_with(kExtendedUncPrefix)) {
    return L"\\\\" + std::wstring(path.substr(kExtendedUncPrefix.size()));
  }
  if (path.starts_with(kExtendedPrefix)) return std::wstring(path.substr(kExtendedPrefix.size()));
  return std::wstring(path);
}

std::wstring FolderOf(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L'\\');
  return std::wstring(path.substr(0, slash == std::wstring_view::npos ? 0 : slash));
}

RuntimeError PathTooLongError(std::wstring_view programPath) {
  return RuntimeError(
      kErrorPathTooLong,
      L"フォルダーのパスが長すぎるため、そのフォルダーにあるプログラムを起動"
      L"できません。\nフォルダーをパスの短い場所（たとえば C:\\Velmor_CD）にコピーし、"
      L"そこから実行してください。",
      L"プログラムの起動", FolderOf(programPath));
}

}  // namespace velmor
