#pragma once

// Registration of the stand-in as the local server of the "Excel.Application" class, where the
// programs under test find it: under Wine, which reads COM classes from HKLM\Software\Classes
// only, per machine; on Windows per user (HKCU\Software\Classes, no administrator needed), or per
// machine when run elevated, since elevated programs do not use per-user classes.

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

// Where a registration goes, and what it must not put itself in front of.
struct Scope {
  std::wstring name;             // for messages, e.g. "HKCU\Software\Classes"
  std::vector<ClassesKey> keys;  // where the registration is written
  std::vector<ClassesKey> seen;  // where COM also looks for this user (the merged view)
  bool mayShadow = false;        // /force may register in front of another Excel.Application
  std::wstring why;              // why this scope, for the message
};

// The scope for this process: Wine or an elevated process per machine, otherwise per user.
Scope ScopeForThisProcess();

std::wstring ClsidText();

struct Outcome {
  bool ok;
  std::wstring message;  // why it failed
};

// Registers the ProgID and the class with serverPath as LocalServer32 in every key of the scope.
// Refuses, changing nothing, when Excel.Application names another class (a real Excel) in any key
// of the scope or where COM also looks; with force, a scope that may shadow it (per user)
// registers in front of it, which UnregisterServer undoes. A per-machine one would be replaced,
// so force does not apply there.
Outcome RegisterServer(const Scope& scope, std::wstring_view serverPath, bool force);

// Removes the class, and the ProgID where it names our class; leaves anybody else's keys alone.
Outcome UnregisterServer(const std::vector<ClassesKey>& keys);

}  // namespace excel
