#include "MessageFilter.h"

#include "ComObject.h"
#include "SystemLibrary.h"

namespace velmor::win32 {
namespace {

constexpr DWORD kCancel = static_cast<DWORD>(-1);

DWORD RetryDelayFor(RetryLimits limits, DWORD rejectType, DWORD elapsedMs) {
  // SERVERCALL_REJECTED means the server will not take the call at all; only "later" is worth a
  // wait. A value of 100 or more is the pause in milliseconds before COM tries again.
  if (rejectType != SERVERCALL_RETRYLATER || elapsedMs >= limits.totalMs) return kCancel;
  return limits.pauseMs;
}

// Only RetryRejectedCall matters to a client; incoming calls are served and window messages that
// arrive during a call are handled the default way.
class RetryingFilter final : public ComObject<IMessageFilter> {
 public:
  explicit RetryingFilter(RetryLimits limits) : limits_(limits) {}
  DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override {
    return SERVERCALL_ISHANDLED;
  }
  DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override {
    return RetryDelayFor(limits_, rejectType, elapsedMs);
  }
  DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override {
    return PENDINGMSG_WAITDEFPROCESS;
  }

 private:
  RetryLimits limits_;
};

}  // namespace

MessageFilterScope::MessageFilterScope(RetryLimits limits) {
  Microsoft::WRL::ComPtr<IMessageFilter> filter(new RetryingFilter(limits));
  registered_ = SUCCEEDED(ole::CoRegisterMessageFilter(filter.Get(), previous_.GetAddressOf()));
}

MessageFilterScope::~MessageFilterScope() {
  if (!registered_) return;
  // CoRegisterMessageFilter hands back our own filter with the reference the apartment held.
  Microsoft::WRL::ComPtr<IMessageFilter> ours;
  ole::CoRegisterMessageFilter(previous_.Get(), ours.GetAddressOf());
}

}  // namespace velmor::win32
