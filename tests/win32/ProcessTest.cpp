// Starting a program and waiting for it, as the setup runs its installers: exit codes come back
// whole, a path with spaces starts the program it names and never a decoy at the first space, and
// a missing program is an error naming it.

#include <windows.h>

#include <gtest/gtest.h>

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
  velmor::win32::Win32Platform platform_{L"win32_tests", nullptr, com_};
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

}  // namespace
