#pragma once

// A COM message filter for the time the programs talk to Excel. A busy Excel answers calls with
// SERVERCALL_RETRYLATER; on Windows, COM then asks the client's filter whether to try again, and
// without a filter the call fails at once. This filter asks for another try after a short pause
// until the call has waited as long as its caller allows. (Wine never asks a client filter, so the
// Excel step retries turned-away calls itself as well.)

#include <objbase.h>
#include <windows.h>
#include <wrl/client.h>

namespace velmor::win32 {

// How long a call that the server asked to try later is tried again, counted from its first
// attempt, and the pause before each new try.
struct RetryLimits {
  DWORD totalMs;
  DWORD pauseMs;
};

// Registers the filter for the calling thread while it lives and puts the previous one back
// afterwards. Scopes on one thread must end in the reverse order of their start. When the thread
// cannot take a filter (it is not in a single-threaded apartment) nothing is registered.
class MessageFilterScope {
 public:
  explicit MessageFilterScope(RetryLimits limits);
  MessageFilterScope(const MessageFilterScope&) = delete;
  MessageFilterScope& operator=(const MessageFilterScope&) = delete;
  ~MessageFilterScope();

 private:
  bool registered_ = false;
  Microsoft::WRL::ComPtr<IMessageFilter> previous_;
};

}  // namespace velmor::win32
