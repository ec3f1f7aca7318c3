#include <filesystem>
#include <system_error>

#include "NativeFiles.h"
#include "RuntimeError.h"

namespace velmor {
namespace {

std::wstring Describe(const std::error_code& error) {
  const std::string text = error.message();
  return std::wstring(text.begin(), text.end());
}

constexpr wchar_t kDeleteOperation[] = L"ファイルの削除";

}  // namespace

bool NativeFileExists(const std::wstring& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

void NativeDeleteFile(const std::wstring& path) {
  namespace fs = std::filesystem;
  const fs::path file(path);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(file, error);
  if (!fs::exists(status)) {
    throw RuntimeError(static_cast<std::uint32_t>(std::errc::no_such_file_or_directory),
                       L"ファイルが見つかりません。", kDeleteOperation, path);
  }
  if (fs::is_directory(status)) {
    throw RuntimeError(static_cast<std::uint32_t>(std::errc::is_a_directory),
                       L"フォルダーはファイルとして削除できません。", kDeleteOperation, path);
  }
  // A forced deletion: a read-only file is made writable first, as on Windows.
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add, error);
  if (!fs::remove(file, error) || error) {
    throw RuntimeError(static_cast<std::uint32_t>(error.value()), Describe(error), kDeleteOperation,
                       path);
  }
}

}  // namespace velmor
