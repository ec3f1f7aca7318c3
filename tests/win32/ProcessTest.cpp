// Starting a program and waiting for it, as the setup runs its installers: exit codes come back
// whole, a path with spaces starts the program it names and never a decoy at the first space, and
// a missing program is an error naming it. And finding the Excel processes that run.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "LongPath.h"
#include "RuntimeError.h"
#include "TempFolder.h"
#include "Utf8.h"
#include "Win32Platform.h"
#include "Win32Support.h"

namespace {

using win32_tests::TempFolder;

std::wstring ProbePath() {
  return velmor::FolderOf(velmor::win32::ModuleFileName()) + L"\\" +
         velmor::WideFromUtf8(VELMOR_EXIT_CODE_PROBE);
}

// The exit-code probe copied to folder\relative.
std::wstring Probe(const TempFolder& folder, const std::wstring& relative) {
  const std::wstring path = folder.File(relative);
  EXPECT_TRUE(CopyFileW(ProbePath().c_str(), path.c_str(), FALSE)) << GetLastError();
  return path;
}

class StartAndWait : public testing::Test {
 protected:
  // The exit code of a run that ended; a run that did not end fails the test.
  static std::uint32_t ExitCode(const velmor::ProgramRun& run) {
    EXPECT_EQ(run.outcome, velmor::ProgramRun::Outcome::kEnded);
    return run.exitCode;
  }

  velmor::win32::ComApartment com_;
  velmor::win32::StepWindow steps_;
  velmor::win32::Win32Platform platform_{L"win32_tests", steps_, com_};
  TempFolder folder_{L"process"};
};

TEST_F(StartAndWait, AnswersTheProgramsExitCodeWhole) {
  EXPECT_EQ(ExitCode(platform_.StartAndWait(Probe(folder_, L"exit0.exe"))), 0u);
  EXPECT_EQ(ExitCode(platform_.StartAndWait(Probe(folder_, L"exit7.exe"))), 7u);
  EXPECT_EQ(ExitCode(platform_.StartAndWait(Probe(folder_, L"exit3221225477.exe"))), 0xC0000005u);
}

TEST_F(StartAndWait, APathWithSpacesStartsTheProgramItNamesNotADecoy) {
  // Taken apart at its first space, the path would start "...\\with.exe", which ends with 99.
  Probe(folder_, L"with.exe");
  const std::wstring program = Probe(folder_, L"with space\\セットアップ 2\\exit12.exe");
  EXPECT_EQ(ExitCode(platform_.StartAndWait(program)), 12u);
  // Through the shell, as for an installer that needs administrator rights (Wine asks no one).
  EXPECT_EQ(ExitCode(platform_.StartElevatedAndWait(program)), 12u);
}

TEST_F(StartAndWait, AMissingProgramIsAnErrorNamingIt) {
  const std::wstring missing = folder_.Path() + L"\\vcredist_x86.exe";
  try {
    platform_.StartAndWait(missing);
    ADD_FAILURE() << "started a missing program";
  } catch (const velmor::RuntimeError& error) {
    EXPECT_EQ(error.Number(), static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(error.Object(), missing);
  }
}

// Every Excel has a top-level main window of class XLMAIN, hidden while it runs for automation.
TEST(ExcelProcesses, AreTheProcessesWithATopLevelExcelMainWindowHiddenOrNotEachOnce) {
  velmor::win32::ComApartment com;
  velmor::win32::StepWindow steps;
  velmor::win32::Win32Platform platform{L"win32_tests", steps, com};
  const DWORD self = GetCurrentProcessId();
  const auto count = [&] {
    const std::vector<std::uint32_t> running = platform.ExcelProcesses();
    return std::count(running.begin(), running.end(), self);
  };
  ASSERT_EQ(count(), 0);

  const HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const wchar_t* name : {L"XLMAIN", L"XLMAIN7"}) {
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &DefWindowProcW;
    window_class.hInstance = instance;
    window_class.lpszClassName = name;
    ASSERT_NE(RegisterClassExW(&window_class), 0) << GetLastError();
  }
  const auto make = [&](const wchar_t* name, HWND parent, DWORD style) {
    return velmor::win32::UniqueWindow(
        CreateWindowExW(0, name, L"", style, 0, 0, 50, 50, parent, nullptr, instance, nullptr));
  };
  // Another class whose name begins alike, and Excel's class as a child window, are no Excel.
  const auto other = make(L"XLMAIN7", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  const auto child = make(L"XLMAIN", other.get(), WS_CHILD);
  ASSERT_TRUE(other && child);
  EXPECT_EQ(count(), 0);
  {
    const auto hidden = make(L"XLMAIN", nullptr, WS_OVERLAPPEDWINDOW);
    const auto shown = make(L"XLMAIN", nullptr, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(hidden && shown);
    EXPECT_EQ(count(), 1);
  }
  EXPECT_EQ(count(), 0);
  for (const wchar_t* name : {L"XLMAIN", L"XLMAIN7"}) UnregisterClassW(name, instance);
}

}  // namespace
