// The file probes the programs ship, on real files in Wine's file system: plain, read-only, a
// folder, a file another program holds open, Japanese and long paths.

#include <windows.h>

#include <gtest/gtest.h>

#include "Handles.h"
#include "NativeFiles.h"
#include "RuntimeError.h"
#include "TempFolder.h"

namespace {

using velmor::NativeDeleteFile;
using velmor::NativeFileExists;
using velmor::RuntimeError;
using velmor::win32::UniqueHandle;
using win32_tests::TempFolder;

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

// What NativeDeleteFile threw, or a failure when it threw nothing.
RuntimeError DeleteFailure(const std::wstring& path) {
  try {
    NativeDeleteFile(path);
  } catch (const RuntimeError& error) {
    return error;
  }
  ADD_FAILURE() << "no error deleting " << testing::PrintToString(path);
  return RuntimeError(0, L"", L"", L"");
}

TEST(FileProbes, OnlyAnExistingFileExists) {
  const TempFolder folder(L"probes");
  const std::wstring plain = folder.File(L"TorvaneEx.xla");
  const std::wstring japanese = folder.File(L"アドイン フォルダー\\追加機能.xla");
  const std::wstring readOnly = folder.File(L"readonly.xla");
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);

  EXPECT_TRUE(NativeFileExists(plain));
  EXPECT_TRUE(NativeFileExists(japanese));
  EXPECT_TRUE(NativeFileExists(readOnly));
  EXPECT_FALSE(NativeFileExists(folder.Path()));  // a folder is not a file
  EXPECT_FALSE(NativeFileExists(folder.Path() + L"\\アドイン フォルダー"));
  EXPECT_FALSE(NativeFileExists(folder.Path() + L"\\missing.xla"));
  EXPECT_FALSE(NativeFileExists(folder.Path() + L"\\missing\\TorvaneEx.xla"));
  EXPECT_FALSE(NativeFileExists(L""));
}

TEST(FileProbes, DeletesPlainReadOnlyAndJapaneseFiles) {
  const TempFolder folder(L"delete");
  const std::wstring plain = folder.File(L"CordaleEx.xla");
  const std::wstring japanese = folder.File(L"日本語\\追加機能.xla");
  const std::wstring readOnly = folder.File(L"読み取り専用.xla");
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);

  for (const std::wstring& path : {plain, japanese, readOnly}) {
    EXPECT_NO_THROW(NativeDeleteFile(path)) << testing::PrintToString(path);
    EXPECT_EQ(Attributes(path), INVALID_FILE_ATTRIBUTES) << testing::PrintToString(path);
  }
}

TEST(FileProbes, AFailedDeletionNamesThePathAndTheReasonAndChangesNothing) {
  const TempFolder folder(L"refuse");
  const std::wstring missing = folder.Path() + L"\\missing.xla";
  RuntimeError error = DeleteFailure(missing);
  EXPECT_EQ(error.Number(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(error.Object(), missing);
  EXPECT_FALSE(error.Description().empty());

  // A folder is refused, not removed.
  error = DeleteFailure(folder.Path());
  EXPECT_EQ(error.Object(), folder.Path());
  EXPECT_NE(Attributes(folder.Path()), INVALID_FILE_ATTRIBUTES);
}

TEST(FileProbes, AFileHeldOpenByAnotherProgramStaysAsItWas) {
  const TempFolder folder(L"locked");
  const std::wstring plain = folder.File(L"MalvixEx.xla");
  const std::wstring readOnly = folder.File(L"QuillonEx.xla");
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  const DWORD readOnlyAttributes = Attributes(readOnly);
  // Open as Excel holds an add-in: others may read it but not delete it.
  const UniqueHandle holdPlain(CreateFileW(plain.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
  const UniqueHandle holdReadOnly(CreateFileW(readOnly.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(holdPlain);
  ASSERT_TRUE(holdReadOnly);

  RuntimeError error = DeleteFailure(plain);
  EXPECT_EQ(error.Number(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(error.Object(), plain);
  EXPECT_TRUE(NativeFileExists(plain));

  // The read-only mark taken off for the deletion is put back when the deletion fails.
  error = DeleteFailure(readOnly);
  EXPECT_EQ(error.Number(), static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(Attributes(readOnly), readOnlyAttributes);
}

TEST(FileProbes, AFileIsInUseWhileAnotherHandleToItIsOpenWhateverItShares) {
  const TempFolder folder(L"inuse");
  const std::wstring plain = folder.File(L"TorvaneEx.xla");
  const std::wstring readOnly = folder.File(L"BriselEx.xla");
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  const DWORD readOnlyAttributes = Attributes(readOnly);
  EXPECT_FALSE(velmor::NativeFileInUse(plain));
  EXPECT_FALSE(velmor::NativeFileInUse(readOnly));  // a forced deletion removes it all the same

  struct Hold {
    DWORD access;
    DWORD share;
  };
  const Hold holds[] = {
      {GENERIC_READ, FILE_SHARE_READ},  // as Excel holds an add-in it has loaded
      {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
      {GENERIC_WRITE, 0},
  };
  for (const Hold& hold : holds) {
    for (const std::wstring& path : {plain, readOnly}) {
      const UniqueHandle held(
          CreateFileW(path.c_str(), hold.access, hold.share, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(held) << hold.access << " " << hold.share;
      EXPECT_TRUE(velmor::NativeFileInUse(path)) << hold.access << " " << hold.share;
    }
  }
  // Let go again, with nothing changed.
  EXPECT_FALSE(velmor::NativeFileInUse(plain));
  EXPECT_TRUE(NativeFileExists(plain));
  EXPECT_EQ(Attributes(readOnly), readOnlyAttributes);

  const std::wstring missing = folder.Path() + L"\\missing.xla";
  try {
    (void)velmor::NativeFileInUse(missing);
    ADD_FAILURE() << "no error for a missing file";
  } catch (const RuntimeError& error) {
    EXPECT_EQ(error.Object(), missing);
  }
}

TEST(FileProbes, LongPathsAreProbedAndDeleted) {
  const TempFolder folder(L"long");
  std::wstring relative;
  for (int i = 0; i < 6; ++i) relative += std::wstring(40, static_cast<wchar_t>(L'a' + i)) + L"\\";
  relative += L"長い名前のアドイン.xla";
  const std::wstring path = folder.File(relative);
  ASSERT_GT(path.size(), static_cast<std::size_t>(MAX_PATH));
  ASSERT_NE(Attributes(path), INVALID_FILE_ATTRIBUTES) << "the test could not create its file";

  EXPECT_TRUE(NativeFileExists(path));
  EXPECT_NO_THROW(NativeDeleteFile(path));
  EXPECT_FALSE(NativeFileExists(path));
}

}  // namespace
