#pragma once

// Late-bound automation: objects created by programmatic identifier in a local server, members
// called by name through IDispatch with LCID 1033.

#include <memory>
#include <string>
#include <string_view>

#include "Platform.h"

struct IDispatch;

namespace velmor::win32 {

// No message filter is registered: a call that the server turns away (a busy Excel) fails at once
// with RPC_E_CALL_REJECTED or RPC_E_SERVERCALL_RETRYLATER, and the caller decides how long to try
// again (ExcelTool.h). A filter would retry inside the call instead, for as long as it allows,
// whatever the caller wants.
std::unique_ptr<AutomationObject> CreateAutomationObject(std::wstring_view progId);

// An automation object for a dispatch interface the caller already holds (it takes a reference of
// its own); name is how error reports name it.
std::unique_ptr<AutomationObject> AutomationObjectFor(IDispatch* dispatch, std::wstring name);

}  // namespace velmor::win32
