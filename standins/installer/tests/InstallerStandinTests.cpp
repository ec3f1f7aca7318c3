// Runs the two installer stand-ins the way the setup does (CreateProcess with a show command and a
// working folder) and checks what they leave behind: journal lines, exit codes, the window, and the
// product folder. It rewrites C:\Velmor and C:\standins, so it runs only inside a Wine prefix.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Handles.h"
#include "StandinFiles.h"
#include "Utf8.h"
#include "Win32Support.h"

namespace {

using velmor::win32::UniqueFind;
using velmor::win32::UniqueHandle;

const std::wstring kState = L"C:\\standins";
const std::wstring kProduct = L"C:\\Velmor";
const std::wstring kWorkFolder = L"C:\\installer test";
const std::vector<std::wstring> kProductFiles = {L"Velmor_Tool.xls", L"CordaleEx.xla",
                                                 L"BriselEx.xla",    L"TorvaneEx.xla",
                                                 L"MalvixEx.xla",    L"QuillonEx.xla"};

void WriteText(const std::wstring& path, const std::string& text) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Empties a folder (files and plain subfolders) and removes it, whatever its attributes.
void RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry;
  {
    UniqueFind search(FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (search) {
      do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
      } while (FindNextFileW(search.get(), &entry));
    }
  }
  RemoveDirectoryW(path.c_str());
}

std::wstring Folder(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

// The product files the package lays out, in order; UnInstall.exe only in builds that have it.
std::vector<std::wstring> AllProductFiles() {
  std::vector<std::wstring> files = kProductFiles;
  if (VELMOR_PACKAGE_CARRIES_UNINSTALL) files.push_back(L"UnInstall.exe");
  return files;
}

std::wstring OwnFolder() { return Folder(velmor::win32::ModuleFileName()); }

struct Outcome {
  DWORD exitCode = 0;
  DWORD pid = 0;
  std::wstring commandLine;
  std::vector<std::wstring> journal;  // lines written while it ran
};

// Starts exe with args in kWorkFolder and the given show command, calls `during` with its process
// while it runs, and waits (at most 30 s) for it to end.
Outcome RunInstaller(const std::wstring& exe, const std::wstring& args, WORD show,
                     const std::function<void(HANDLE)>& during = {}) {
  Outcome outcome;
  const std::string before = standins::ReadFileBytes(kState + L"\\journal.txt");
  outcome.commandLine = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  std::wstring commandLine = outcome.commandLine;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = show;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      kWorkFolder.c_str(), &startup, &info)) {
    ADD_FAILURE() << "cannot start " << velmor::Utf8FromWide(exe);
    return outcome;
  }
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  outcome.pid = info.dwProcessId;
  if (during) during(process.get());
  EXPECT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0)
      << velmor::Utf8FromWide(exe) << " did not end";
  GetExitCodeProcess(process.get(), &outcome.exitCode);

  std::wstring added = velmor::WideFromUtf8(
      standins::ReadFileBytes(kState + L"\\journal.txt").substr(before.size()));
  size_t start = 0;
  while (start < added.size()) {
    size_t end = added.find(L'\n', start);
    if (end == std::wstring::npos) end = added.size();
    std::wstring line = added.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    outcome.journal.push_back(line);
    start = end + 1;
  }
  return outcome;
}

void Orders(const std::wstring& name, const std::string& lines) {
  WriteText(kState + L"\\" + name + L".cfg", lines);
}

void Fresh() {
  RemoveTree(kProduct);
  RemoveTree(kState);
  CreateDirectoryW(kState.c_str(), nullptr);
}

std::vector<std::wstring> ExpectedJournal(const std::wstring& name, const Outcome& outcome,
                                          const std::vector<std::wstring>& middle,
                                          const std::wstring& exit) {
  std::vector<std::wstring> lines = {name + L": start pid=" + std::to_wstring(outcome.pid) +
                                     L" cmdline=" + outcome.commandLine + L" cwd=" + kWorkFolder};
  for (const auto& line : middle) lines.push_back(name + L": " + line);
  lines.push_back(name + L": end exit=" + exit);
  return lines;
}

std::vector<std::wstring> Wrote(const std::vector<std::wstring>& names) {
  std::vector<std::wstring> lines;
  for (const auto& name : names) lines.push_back(L"wrote " + kProduct + L"\\" + name);
  return lines;
}

// Each test starts from an empty product folder and state folder, in a Wine prefix only.
class InstallerStandins : public testing::Test {
 protected:
  static void SetUpTestSuite() { CreateDirectoryW(kWorkFolder.c_str(), nullptr); }
  static void TearDownTestSuite() {
    Fresh();
    RemoveTree(kWorkFolder);
  }
  void SetUp() override {
    ASSERT_TRUE(velmor::win32::RunningUnderWine())
        << "These tests rewrite C:\\Velmor and C:\\standins; run them in a Wine prefix.";
    Fresh();
  }

  const std::wstring redist = OwnFolder() + L"\\vcredist_x86.exe";
  const std::wstring package = OwnFolder() + L"\\Velmor_Pgm.exe";
  const std::wstring redistName = L"vcredist_x86.exe";
  const std::wstring packageName = L"Velmor_Pgm.exe";
};

TEST_F(InstallerStandins, RedistJournalsArgumentsFolderAndExitCodeAndLaysOutNothing) {
  Outcome run = RunInstaller(redist, L"/q /norestart", SW_SHOWNORMAL);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.journal, ExpectedJournal(redistName, run, {}, L"0"));
  EXPECT_FALSE(Exists(kProduct)) << "the redist created C:\\Velmor";

  Orders(redistName, "delay_ms=0\r\nexit=3010\r\n");
  run = RunInstaller(redist, L"", SW_SHOWNORMAL);
  EXPECT_EQ(run.exitCode, 3010u);
  EXPECT_EQ(run.journal, ExpectedJournal(redistName, run, {}, L"3010"));
}

TEST_F(InstallerStandins, PackageLaysOutEveryFileInOrderWithTheCarriedContent) {
  const Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.journal, ExpectedJournal(packageName, run, Wrote(AllProductFiles()), L"0"));
  for (const auto& name : kProductFiles) {
    const std::string bytes = standins::ReadFileBytes(kProduct + L"\\" + name);
    const std::string base = velmor::Utf8FromWide(name.substr(0, name.find(L'.')));
    EXPECT_NE(bytes.find("placeholder"), std::string::npos) << base;
    EXPECT_NE(bytes.find(base), std::string::npos) << base;
  }
  if (VELMOR_PACKAGE_CARRIES_UNINSTALL) {
    EXPECT_EQ(standins::ReadFileBytes(kProduct + L"\\UnInstall.exe").rfind("MZ", 0), 0u)
        << "UnInstall.exe is not a program";
  }
}

TEST_F(InstallerStandins, PackageFollowsOmitOrdersAndOverwritesReadOnlyFiles) {
  CreateDirectoryW(kProduct.c_str(), nullptr);
  const std::wstring oldFile = kProduct + L"\\CordaleEx.xla";
  WriteText(oldFile, "old content");
  SetFileAttributesW(oldFile.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  Orders(packageName, "delay_ms=0\r\nomit=TorvaneEx.xla\r\nomit = briselex.XLA\r\nexit=0\r\n");
  const Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
  std::vector<std::wstring> kept;
  for (const auto& name : AllProductFiles()) {
    if (name != L"TorvaneEx.xla" && name != L"BriselEx.xla") kept.push_back(name);
  }
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(run.journal, ExpectedJournal(packageName, run, Wrote(kept), L"0"));
  EXPECT_FALSE(Exists(kProduct + L"\\TorvaneEx.xla"));
  EXPECT_FALSE(Exists(kProduct + L"\\BriselEx.xla"));
  EXPECT_NE(standins::ReadFileBytes(oldFile).find("CordaleEx"), std::string::npos)
      << "the read-only file was not replaced";
  const DWORD attributes = GetFileAttributesW(oldFile.c_str());
  EXPECT_TRUE(attributes == FILE_ATTRIBUTE_ARCHIVE || attributes == FILE_ATTRIBUTE_NORMAL)
      << "the replaced file kept its old attributes: " << attributes;
}

TEST_F(InstallerStandins, PackageFailsWhenAFileCannotBeWritten) {
  CreateDirectoryW(kProduct.c_str(), nullptr);
  CreateDirectoryW((kProduct + L"\\MalvixEx.xla").c_str(), nullptr);  // a folder in the way
  Orders(packageName, "delay_ms=0\r\nexit=0\r\n");
  Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
  EXPECT_EQ(run.exitCode, 1u);
  ASSERT_EQ(run.journal.size(), 7u);
  const std::wstring prefix = packageName + L": cannot write C:\\Velmor\\MalvixEx.xla: error ";
  EXPECT_EQ(run.journal[5].rfind(prefix, 0), 0u) << velmor::Utf8FromWide(run.journal[5]);
  EXPECT_EQ(run.journal[6], packageName + L": end exit=1");
  EXPECT_FALSE(Exists(kProduct + L"\\QuillonEx.xla")) << "kept going after a failure";

  Fresh();
  WriteText(kProduct, "a file where the product folder belongs");
  Orders(packageName, "delay_ms=0\r\nexit=5\r\n");
  run = RunInstaller(package, L"", SW_SHOWNORMAL);
  EXPECT_EQ(run.exitCode, 1u) << "C:\\Velmor as a file";
  ASSERT_EQ(run.journal.size(), 3u);
  EXPECT_NE(run.journal[1].find(L"cannot create C:\\Velmor"), std::wstring::npos);
}

TEST_F(InstallerStandins, AnOrderFileThatCannotBeReadMeansDefaults) {
  Orders(packageName, "exit=9\r\nomit=MalvixEx.xla\r\n");
  const std::wstring cfg = kState + L"\\" + packageName + L".cfg";
  const UniqueHandle lock(
      CreateFileW(cfg.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  const Outcome run = RunInstaller(package, L"", SW_SHOWNORMAL);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(Exists(kProduct + L"\\MalvixEx.xla")) << "an omit order was read from a locked file";
}

TEST_F(InstallerStandins, TheWindowHasItsTitleAndTheCallersShowCommand) {
  // The stand-in would wait a minute; the test closes its window once it has seen what it checks,
  // which ends the wait.
  Orders(redistName, "delay_ms=60000\r\n");
  const std::wstring title = redistName + L" - stand-in installer";
  struct Case {
    WORD show;
    bool visible;
    bool iconic;
  };
  for (const Case& c : {Case{SW_SHOWNORMAL, true, false}, Case{SW_SHOWMINNOACTIVE, true, true},
                        Case{SW_HIDE, false, false}}) {
    SCOPED_TRACE(testing::Message() << "show " << c.show);
    RunInstaller(redist, L"", c.show, [&](HANDLE process) {
      // The window is created hidden and shown a moment later: wait for the state the show
      // command gives, as long as the stand-in runs (at most 20 s). A hidden window must stay
      // hidden for a second once found.
      HWND window = nullptr;
      bool reached = false;
      bool everVisible = false;
      ULONGLONG hiddenUntil = 0;
      const ULONGLONG deadline = GetTickCount64() + 20000;
      while (!reached && GetTickCount64() < deadline &&
             WaitForSingleObject(process, 20) == WAIT_TIMEOUT) {
        if (window == nullptr) window = FindWindowW(nullptr, title.c_str());
        if (window == nullptr) continue;
        const bool visible = IsWindowVisible(window) != FALSE;
        everVisible = everVisible || visible;
        if (c.visible) {
          reached = visible && (IsIconic(window) != FALSE) == c.iconic;
        } else {
          if (hiddenUntil == 0) hiddenUntil = GetTickCount64() + 1000;
          reached = GetTickCount64() >= hiddenUntil;
        }
      }
      EXPECT_NE(window, nullptr) << "no window titled " << velmor::Utf8FromWide(title);
      if (c.visible) {
        EXPECT_TRUE(reached) << (c.iconic ? "not shown minimized" : "not shown normally");
      } else {
        EXPECT_FALSE(everVisible) << "a hidden window was shown";
      }
      if (window != nullptr) PostMessageW(window, WM_CLOSE, 0, 0);
    });
  }
}

}  // namespace
