#pragma once

// Late-bound automation: objects created by programmatic identifier in a local server, members
// called by name through IDispatch with LCID 1033.

#include <memory>
#include <string_view>

#include "Platform.h"

namespace velmor::win32 {

std::unique_ptr<AutomationObject> CreateAutomationObject(std::wstring_view progId);

}  // namespace velmor::win32
