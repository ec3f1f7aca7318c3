#include "SingleCopy.h"

#include <iterator>

namespace velmor::win32 {
namespace {

constexpr DWORD kLookEveryMs = 100;
constexpr ULONGLONG kGiveUpAfterMs = 10000;

struct Search {
  const wchar_t* property;
  HWND found;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() && GetPropW(window, search->property) != nullptr) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The caption of another process's window. GetWindowTextW reads it from the system for such a
// window, without sending a message that a busy first copy would answer late.
std::wstring CaptionOf(HWND window) {
  wchar_t caption[256] = {};
  const int length = GetWindowTextW(window, caption, static_cast<int>(std::size(caption)));
  return std::wstring(caption, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void BringForward(HWND window) {
  // A busy first copy must not hold up this one: nothing here waits for its answer.
  if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);
  HWND popup = GetLastActivePopup(window);  // the message box it shows, if any
  SetForegroundWindow(popup != nullptr ? popup : window);
}

}  // namespace

SingleCopy::SingleCopy(const std::wstring& title)
    : property_(L"Velmor.Program." + title),
      mutex_(CreateMutexW(nullptr, TRUE, (L"Local\\Velmor." + title + L".Running").c_str())) {
  // Without a mutex (an unlikely failure) the program runs as before, unguarded.
  owned_ = !mutex_ || GetLastError() != ERROR_ALREADY_EXISTS;
}

SingleCopy::~SingleCopy() {
  if (owned_ && mutex_) ReleaseMutex(mutex_.get());
}

bool SingleCopy::Claim(
    const std::function<void(const std::wstring& runningCaption)>& beforeBringingForward) {
  const ULONGLONG deadline = GetTickCount64() + kGiveUpAfterMs;
  while (!owned_) {
    const DWORD wait = WaitForSingleObject(mutex_.get(), kLookEveryMs);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
      owned_ = true;  // the first copy has ended
      break;
    }
    Search search{property_.c_str(), nullptr};
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
      if (beforeBringingForward) beforeBringingForward(CaptionOf(search.found));
      BringForward(search.found);
      return false;
    }
    if (GetTickCount64() >= deadline) return false;
  }
  return true;
}

void SingleCopy::MarkWindow(HWND window) const {
  if (window != nullptr) SetPropW(window, property_.c_str(), reinterpret_cast<HANDLE>(1));
}

}  // namespace velmor::win32
