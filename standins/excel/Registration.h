#pragma once

// Registration of the stand-in as the local server of the "Excel.Application" class.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace excel {

// One registry view of a classes key, e.g. HKLM\Software\Classes as 64-bit programs see it.
struct ClassesKey {
  HKEY root;
  std::wstring path;
  REGSAM view;  // KEY_WOW64_64KEY, KEY_WOW64_32KEY or 0
};

// HKLM\Software\Classes in the 64-bit and in the 32-bit view, so that clients of either kind find
// the class.
std::vector<ClassesKey> MachineClasses();

std::wstring ClsidText();

struct Outcome {
  bool ok;
  std::wstring message;  // why it failed
};

// Registers the ProgID and the class with serverPath as LocalServer32 in every given classes key.
// Refuses, changing nothing, when any of them holds an "Excel.Application" of another class.
Outcome RegisterServer(const std::vector<ClassesKey>& keys, std::wstring_view serverPath);

// Removes the class, and the ProgID where it names our class; leaves anybody else's keys alone.
Outcome UnregisterServer(const std::vector<ClassesKey>& keys);

}  // namespace excel
