#pragma once

// The steps that check the outcome (Checks.cpp), and what the driver reports of it after a
// failure.

#include <string>
#include <vector>

namespace e2e {

// The stand-ins' journal's lines as they stand.
std::vector<std::wstring> JournalLines();

}  // namespace e2e
