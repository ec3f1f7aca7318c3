// The add-in catalogue, the file probes on real files, and the run-time error report.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "EventDispatch.h"
#include "FakePlatform.h"
#include "FormModel.h"
#include "NativeFiles.h"
#include "NumberText.h"
#include "RuntimeError.h"
#include "SharedModule.h"

namespace {

using testing_support::FakePlatform;

TEST(AddinCatalogue, HoldsFiveNamesInRowsOneToFiveAndNothingElse) {
  FakePlatform platform;
  velmor::SharedModule module(platform);
  module.SetAddinNames();
  module.SetAddinNames();  // a second call writes the same values
  EXPECT_EQ(module.AddinNames(1), L"CordaleEx");
  EXPECT_EQ(module.AddinNames(2), L"BriselEx");
  EXPECT_EQ(module.AddinNames(3), L"TorvaneEx");
  EXPECT_EQ(module.AddinNames(4), L"MalvixEx");
  EXPECT_EQ(module.AddinNames(5), L"QuillonEx");
  for (std::int16_t row = 6; row <= 10; ++row) EXPECT_EQ(module.AddinNames(row), L"") << row;
  EXPECT_THROW(module.AddinNames(0), std::out_of_range);
  EXPECT_THROW(module.AddinNames(11), std::out_of_range);
}

class NativeFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("velmor-probes-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(folder_, ignored);
  }
  std::wstring Make(const char* name) {
    const auto path = folder_ / name;
    std::ofstream(path) << "placeholder";
    return path.wstring();
  }
  std::filesystem::path folder_;
};

TEST_F(NativeFilesTest, ExistenceIsTrueOnlyForFiles) {
  const std::wstring file = Make("TorvaneEx.xla");
  EXPECT_TRUE(velmor::NativeFileExists(file));
  EXPECT_FALSE(velmor::NativeFileExists((folder_ / "missing.xla").wstring()));
  std::filesystem::create_directory(folder_ / "Folder.xla");
  EXPECT_FALSE(velmor::NativeFileExists((folder_ / "Folder.xla").wstring()));
}

TEST_F(NativeFilesTest, DeletesPlainAndReadOnlyFiles) {
  const std::wstring plain = Make("plain.xla");
  const std::wstring readOnly = Make("readonly.xla");
  std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read |
                                             std::filesystem::perms::group_read |
                                             std::filesystem::perms::others_read);
  velmor::NativeDeleteFile(plain);
  velmor::NativeDeleteFile(readOnly);
  EXPECT_FALSE(std::filesystem::exists(plain));
  EXPECT_FALSE(std::filesystem::exists(readOnly));
}

TEST_F(NativeFilesTest, AFailedDeletionIsAnErrorNamingThePath) {
  const std::wstring missing = (folder_ / "missing.xla").wstring();
  try {
    velmor::NativeDeleteFile(missing);
    FAIL() << "deleting a missing file must fail";
  } catch (const velmor::RuntimeError& error) {
    EXPECT_EQ(error.Object(), missing);
    EXPECT_NE(error.Number(), 0u);
  }
  // A folder is not a file: it is neither deleted nor reported as deleted.
  std::filesystem::create_directory(folder_ / "Folder.xla");
  EXPECT_THROW(velmor::NativeDeleteFile((folder_ / "Folder.xla").wstring()), velmor::RuntimeError);
  EXPECT_TRUE(std::filesystem::is_directory(folder_ / "Folder.xla"));
}

TEST(RemoveFile, PassesAFailureOnInsteadOfAnsweringFalse) {
  FakePlatform platform;
  velmor::SharedModule module(platform);
  platform.files = {L"C:\\Velmor\\a.xla"};
  EXPECT_TRUE(module.RemoveFile(L"C:\\Velmor\\a.xla"));
  EXPECT_THROW(module.RemoveFile(L"C:\\Velmor\\a.xla"), velmor::RuntimeError);
}

TEST(RuntimeErrorReport, NamesNumberDescriptionOperationAndObject) {
  const velmor::RuntimeError error(0x800401F3, L"Invalid class string",
                                   L"オートメーション オブジェクトの作成", L"Excel.Application");
  const std::wstring report = velmor::FormatReport(error);
  EXPECT_NE(report.find(L"0x800401F3"), std::wstring::npos);
  EXPECT_NE(report.find(L"Invalid class string"), std::wstring::npos);
  EXPECT_NE(report.find(L"Excel.Application"), std::wstring::npos);
  EXPECT_NE(report.find(L"オートメーション オブジェクトの作成"), std::wstring::npos);
  EXPECT_EQ(velmor::FormatErrorNumber(53), L"53");
}

// The numbers are written out by hand rather than by printf; the edges are where such code slips.
TEST(NumberText, DecimalAndHexadecimalAtTheirEdges) {
  EXPECT_EQ(velmor::DecimalText(0), L"0");
  EXPECT_EQ(velmor::DecimalText(7), L"7");
  EXPECT_EQ(velmor::DecimalText(-1), L"-1");
  EXPECT_EQ(velmor::DecimalText(65535), L"65535");
  EXPECT_EQ(velmor::DecimalText(INT64_MIN), L"-9223372036854775808");
  EXPECT_EQ(velmor::DecimalText(INT64_MAX), L"9223372036854775807");
  EXPECT_EQ(velmor::HexText8(0), L"0x00000000");
  EXPECT_EQ(velmor::HexText8(0x800706BA), L"0x800706BA");
  EXPECT_EQ(velmor::HexText8(0xFFFFFFFF), L"0xFFFFFFFF");

  // The report switches from decimal to hexadecimal where Win32 codes end and HRESULTs begin.
  EXPECT_EQ(velmor::FormatErrorNumber(0), L"0");
  EXPECT_EQ(velmor::FormatErrorNumber(0xFFFF), L"65535");
  EXPECT_EQ(velmor::FormatErrorNumber(0x10000), L"0x00010000");
  EXPECT_EQ(velmor::ControlDisplayName(L"Label1", 4), L"Label1(4)");
  EXPECT_EQ(velmor::ControlDisplayName(L"Check1", velmor::kNoIndex), L"Check1");
}

TEST(EventDispatch, ReportsAnyEscapingErrorUnderTheProgramTitleAndAsksToEnd) {
  FakePlatform platform;
  EXPECT_TRUE(velmor::RunEventHandler(platform, [] {}));
  EXPECT_TRUE(platform.log.empty());

  EXPECT_FALSE(velmor::RunEventHandler(platform, [] {
    throw velmor::RuntimeError(32, L"The file is in use", L"ファイルの削除", L"C:\\Velmor\\x.xla");
  }));
  ASSERT_EQ(platform.log.size(), 1u);
  EXPECT_EQ(platform.log[0].rfind(L"MsgBox[0|Velmor_Setup] ", 0), 0u);
  EXPECT_NE(platform.log[0].find(L"C:\\Velmor\\x.xla"), std::wstring::npos);

  EXPECT_FALSE(velmor::RunEventHandler(platform, [] { throw std::out_of_range("row 0"); }));
  EXPECT_NE(platform.log.back().find(L"row 0"), std::wstring::npos);
}

}  // namespace
