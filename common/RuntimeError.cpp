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

bool IsSystemHresult(std::uint32_t number) {
  constexpr std::uint32_t kFacilityItf = 4;
  constexpr std::uint32_t kFacilityControl = 10;
  constexpr std::uint32_t kFirstInterfaceCode = 0x200;  // below: COM's own FACILITY_ITF codes
  if ((number & 0x80000000u) == 0) return false;        // no failure at all
  const std::uint32_t facility = (number >> 16) & 0x1FFFu;
  if (facility == kFacilityControl) return false;
  return facility != kFacilityItf || (number & 0xFFFFu) < kFirstInterfaceCode;
}

std::wstring UndescribedServerError(std::wstring_view server, std::uint32_t number) {
  return std::wstring(server) + L" からエラー " + FormatErrorNumber(number) +
         L" が報告されました。" + kNoErrorDescription;
}

std::wstring FormatReport(const RuntimeError& error) {
  std::wstring report = L"実行時エラー '" + FormatErrorNumber(error.Number()) + L"':\n\n";
  report += error.Description().empty() ? kNoErrorDescription : error.Description();
  report += L"\n\n処理: " + error.Operation();
  if (!error.Object().empty()) report += L"\n対象: " + error.Object();
  report += L"\n\nプログラムを終了します。";
  return report;
}

}  // namespace velmor
