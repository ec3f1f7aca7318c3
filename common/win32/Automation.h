#pragma once

// Late-bound automation: objects created by programmatic identifier in a local server, members
// called by name through IDispatch with LCID 1033.

#include <memory>
#include <string>
#include <string_view>

#include "MessageFilter.h"
#include "Platform.h"

struct IDispatch;

namespace velmor::win32 {

// busyRetry: how long COM tries again a call that the server asked to try later (on Windows; see
// MessageFilter.h), for this object and the objects reached through it.
std::unique_ptr<AutomationObject> CreateAutomationObject(std::wstring_view progId,
                                                         RetryLimits busyRetry);

// An automation object for a dispatch interface the caller already holds (it takes a reference of
// its own); name is how error reports name it.
std::unique_ptr<AutomationObject> AutomationObjectFor(IDispatch* dispatch, std::wstring name,
                                                      RetryLimits busyRetry);

}  // namespace velmor::win32
