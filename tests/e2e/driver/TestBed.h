#pragma once

// What a scenario lays out around the program under test before it drives it: folders and files
// (the product folder, the distribution folder with programs of the build), the stand-ins'
// orders, Excel's add-in list, files held open as another program would; and the programs it
// starts beside the one under test.

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "Handles.h"

namespace e2e {

// Where the stand-ins keep their state: every stand-in appends to the journal and reads its
// orders from <name>.cfg beside it.
inline constexpr wchar_t kStandinsFolder[] = L"C:\\standins";
inline constexpr wchar_t kJournalPath[] = L"C:\\standins\\journal.txt";
// Excel's add-in list (values OPEN, OPEN1, ...), under HKEY_CURRENT_USER.
inline constexpr wchar_t kAddinKey[] = L"Software\\Microsoft\\Office\\16.0\\Excel\\Options";

// The full path of a path, whatever its length; empty when the system cannot make one.
std::wstring FullPathName(const std::wstring& path);

// The full path in the form file functions take whatever its length: "\\?\" before it once it
// reaches 248 characters, where CreateDirectoryW's limit lies.
std::wstring FileApiPath(const std::wstring& path);

// Creates a folder and every folder above it that is missing.
void CreateFolders(const std::wstring& folder);

// Every byte of a file that others may still be writing; nothing when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path, std::wstring& error);

// Writes a file (and the folders above it), replacing what it held; fails the step when it cannot.
void WriteBytes(const std::wstring& path, const std::string& bytes);

// Excel's add-in values as "NAME=DATA" (OPEN="C:\Velmor\TorvaneEx.xla"), sorted by name.
std::vector<std::wstring> AddinValues();

// A process the driver started, with its id.
struct StartedProcess {
  velmor::win32::UniqueHandle process;
  DWORD pid = 0;
};

// Starts a program with the arguments in the program's own folder, as Explorer does. With
// shareOutput, the program writes to the driver's stdout and stderr.
StartedProcess StartProgram(const std::wstring& path, const std::wstring& args,
                            bool shareOutput = false);

class TestBed {
 public:
  explicit TestBed(std::wstring buildFolder);

  // A program of the build by its bare file name (found in the build folder), or else the path
  // as it is given.
  std::wstring Program(const std::wstring& nameOrPath);

  // "remove <path>": the file, or the folder with everything in it, read-only files too (a link to
  // a folder only itself); nothing there is fine.
  static void Remove(const std::wstring& path);

  // "copy <file> ... | <folder>\" copies files into a folder; "copy <file> | <file>" copies one
  // file to another name. Programs of the build are named by their file names; missing folders
  // are created.
  void Copy(const std::wstring& rest);

  // "read-only <file>".
  static void MakeReadOnly(const std::wstring& path);

  // "write <file> | <text>": the text ("\n" for a line break) and a line break, in UTF-8.
  static void Write(const std::wstring& rest);

  // "order <stand-in> | <order> | ...": the stand-in's order file with one order a line.
  static void Order(const std::wstring& rest);

  // "set-addins NAME=DATA | ...": Excel's add-in list holds exactly these values ("set-addins"
  // alone empties it).
  static void SetAddins(const std::wstring& rest);

  // "lock <file>": holds the file open, sharing reading only, until the case ends, as another
  // program that has it open would.
  void Hold(const std::wstring& path);
  void ReleaseHeld() { held_.clear(); }

  // "link <new> | <existing>": a link at <new> to <existing>, laid by the user running the driver:
  // to a folder a junction, or under Wine, which lays none, a Unix symbolic link (which Wine shows
  // as a folder's reparse point); to a file a hard link, another name for the same file.
  void Link(const std::wstring& rest);

  // "run <program> [arguments]": runs it to its end within the time limit; it must end with 0.
  void Run(const std::wstring& rest, unsigned long timeoutMs);

 private:
  std::wstring build_;
  std::optional<std::map<std::wstring, std::wstring>> programs_;  // lower-case name -> path
  std::vector<velmor::win32::UniqueHandle> held_;
};

// A program and its arguments as a step gives them: a program path in double quotes may hold
// spaces.
std::pair<std::wstring, std::wstring> SplitCommand(const std::wstring& command);

}  // namespace e2e
