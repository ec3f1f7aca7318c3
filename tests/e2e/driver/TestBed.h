#pragma once

// What a scenario lays out around the program under test before it drives it: folders and files
// (the product folder, the distribution folder with programs of the build), the stand-ins'
// orders, Excel's add-in list, files held open as another program would; the programs it starts;
// and what keeps a desk safe: the user's add-in list saved and put back, and no program started
// while Excel.Application names a real Excel. TestBed.cpp lists the steps that lay out the state.

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

// The files and folders a pattern ("C:\\Velmor\\*.xla") matches; none when its folder is missing.
std::vector<WIN32_FIND_DATAW> FilesMatching(const std::wstring& pattern);

// Every byte of a file; fails the step when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);

// Writes a file (and the folders above it), replacing what it held; fails the step when it cannot.
void WriteBytes(const std::wstring& path, const std::string& bytes);

// Excel's add-in values as "NAME=DATA" (OPEN="C:\Velmor\TorvaneEx.xla"), sorted by name.
std::vector<std::wstring> AddinValues();

// Makes Excel's add-in list hold exactly these "NAME=DATA" values.
void SetAddinValues(const std::vector<std::wstring>& values);

// The server command line Excel.Application names for the programs the driver starts, as COM
// finds it for them: the machine's classes only when they run elevated (COM then ignores the
// user's classes) and under Wine (whose COM reads no others); else the user's classes before the
// machine's. Empty when nothing is registered.
std::wstring ExcelServer();

// Excel's add-in list of the user, kept safe while a scenario runs: saved before the first step to
// a file in the user's profile (Folder(), $TESTBED_DATA), or put back first from the file a stopped
// run left; put back, and the file removed, when the run ends or is stopped from the console
// (PutBack, once). A driver started by a scenario keeps a file of its own, one level deeper. With
// keep (the demo, under Wine only), the list is only put back from a file left behind.
class SavedAddins {
 public:
  explicit SavedAddins(bool keep);
  ~SavedAddins();
  SavedAddins(const SavedAddins&) = delete;
  SavedAddins& operator=(const SavedAddins&) = delete;
  static std::wstring Folder();
  void PutBack();

 private:
  std::wstring file_;
  bool keep_;
};

// A process the driver started, with its id.
struct StartedProcess {
  velmor::win32::UniqueHandle process;
  DWORD pid = 0;
};

class TestBed {
 public:
  explicit TestBed(std::wstring buildFolder);

  // A program of the build by its bare file name (found in the build folder), or else the path
  // as it is given.
  std::wstring Program(const std::wstring& nameOrPath);

  // Starts "<program> [arguments]" in the program's own folder, as Explorer does; with
  // shareOutput, it writes to the driver's stdout and stderr. Stops the run when Excel.Application
  // names a server other than the build's Excel stand-in: the program could start it.
  StartedProcess Start(const std::wstring& command, bool shareOutput = false);

  // Stops the run unless Excel.Application names the build's Excel stand-in, or, with
  // noneToo, nothing.
  void RequireStandin(bool noneToo);

  // Holds the file open, sharing reading only, until the case ends, as another program that has
  // it open would.
  void Hold(const std::wstring& path);
  void ReleaseHeld() { held_.clear(); }

 private:
  std::wstring build_;
  std::optional<std::map<std::wstring, std::wstring>> programs_;  // lower-case name -> path
  std::vector<velmor::win32::UniqueHandle> held_;                 // files held open ("lock")
};

}  // namespace e2e
