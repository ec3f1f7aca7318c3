#include "RuntimeError.h"

#include <utility>

#include "NumberText.h"

namespace velmor {

RuntimeError::RuntimeError(std::uint32_t number, std::wstring description, std::wstring operation,
                           std::wstring object)
    : number_(number),
      description_(std::move(description)),
      operation_(std::move(operation)),
      object_(std::move(object)) {}

std::wstring FormatErrorNumber(std::uint32_t number) {
  return number < 0x10000u ? DecimalText(number) : HexText8(number);
}

std::wstring FormatReport(const RuntimeError& error) {
  std::wstring report = L"実行時エラー '" + FormatErrorNumber(error.Number()) + L"':\n\n";
  report += error.Description().empty() ? L"(説明はありません)" : error.Description();
  report += L"\n\n処理: " + error.Operation();
  if (!error.Object().empty()) report += L"\n対象: " + error.Object();
  report += L"\n\nプログラムを終了します。";
  return report;
}

}  // namespace velmor
