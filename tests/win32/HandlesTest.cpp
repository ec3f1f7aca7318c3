// The owners: what counts as empty, what is freed, and that freeing leaves the last error alone.

#include <windows.h>

#include <gtest/gtest.h>

#include "Handles.h"

namespace {

using velmor::win32::UniqueFind;
using velmor::win32::UniqueHandle;
using velmor::win32::UniqueWindow;

TEST(Owners, AFailedOpenIsEmptyAndAnOwnedHandleIsClosedOnce) {
  const UniqueHandle failed(
      CreateFileW(L"C:\\no such folder\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  EXPECT_FALSE(failed);
  WIN32_FIND_DATAW entry{};
  const UniqueFind search(FindFirstFileW(L"C:\\no such folder\\*", &entry));
  EXPECT_FALSE(search);

  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  HANDLE raw = event.get();
  UniqueHandle moved(std::move(event));
  EXPECT_FALSE(event);  // NOLINT(bugprone-use-after-move): the moved-from owner is empty
  EXPECT_EQ(moved.get(), raw);
  moved.reset();
  DWORD flags = 0;
  EXPECT_FALSE(GetHandleInformation(raw, &flags));  // closed
}

TEST(Owners, FreeingKeepsTheLastErrorOfTheCallBefore) {
  UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(event);
  SetLastError(ERROR_SHARING_VIOLATION);
  event.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  // Freeing that itself fails (here a window its user closed already) does not leak its error.
  UniqueWindow closed(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
  ASSERT_TRUE(closed);
  DestroyWindow(closed.get());
  SetLastError(ERROR_ACCESS_DENIED);
  closed.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST(Owners, AWindowIsDestroyedUnlessItsUserDestroyedItFirst) {
  const auto make = [] {
    return CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  };
  UniqueWindow owned(make());
  ASSERT_TRUE(owned);
  HWND raw = owned.get();
  owned.reset();
  EXPECT_FALSE(IsWindow(raw));

  UniqueWindow gone(make());
  ASSERT_TRUE(gone);
  DestroyWindow(gone.get());
  gone.reset();  // nothing left to destroy
  EXPECT_FALSE(gone);
}

}  // namespace
