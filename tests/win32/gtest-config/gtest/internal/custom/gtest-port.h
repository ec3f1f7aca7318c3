#pragma once

// GoogleTest's own configuration hook, for the MinGW-w64 compilers of the win32 thread model. Their
// C++ library (GCC 12) has no std::mutex, so GoogleTest is built single-threaded, as the tests
// run. Its Windows death tests still want the handle owner it otherwise defines only for
// threading; it is given here.

#if defined(__MINGW32__) && !defined(_GLIBCXX_HAS_GTHREADS)

#define GTEST_IS_THREADSAFE 0

#include <windows.h>

namespace testing::internal {

class AutoHandle {
 public:
  using Handle = HANDLE;
  AutoHandle() : handle_(INVALID_HANDLE_VALUE) {}
  explicit AutoHandle(Handle handle) : handle_(handle) {}
  AutoHandle(const AutoHandle&) = delete;
  AutoHandle& operator=(const AutoHandle&) = delete;
  ~AutoHandle() { Reset(); }

  Handle Get() const { return handle_; }
  void Reset() { Reset(INVALID_HANDLE_VALUE); }
  void Reset(Handle handle) {
    if (handle_ == handle) return;
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_;
};

}  // namespace testing::internal

#endif
