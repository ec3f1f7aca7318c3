#pragma once

// The one error type of both programs. Nothing in the programs traps errors: a failed platform call
// throws a RuntimeError, and the single catch at the top of event dispatch shows it to the user and
// ends the program. The report has to let a person tell which step failed and why, so besides the
// number and the system's description it carries what was being done and to what.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace velmor {

class RuntimeError : public std::exception {
 public:
  // number: a Win32 error code or an HRESULT; description: the system's (or the server's) words for
  // it; operation: what the program was doing; object: the path, program identifier or member
  // concerned.
  RuntimeError(std::uint32_t number, std::wstring description, std::wstring operation,
               std::wstring object);

  std::uint32_t Number() const noexcept { return number_; }
  const std::wstring& Description() const noexcept { return description_; }
  const std::wstring& Operation() const noexcept { return operation_; }
  const std::wstring& Object() const noexcept { return object_; }

  const char* what() const noexcept override { return "velmor::RuntimeError"; }

 private:
  std::uint32_t number_;
  std::wstring description_;
  std::wstring operation_;
  std::wstring object_;
};

// The error number as the report shows it: small codes in decimal, HRESULTs in hexadecimal.
std::wstring FormatErrorNumber(std::uint32_t number);

// Whether number, as an automation server reports it (EXCEPINFO's scode), is one of the system's
// own HRESULTs, which the system's message table describes. A server's own error numbers are not:
// a small code (EXCEPINFO's wCode, such as Excel's 1004), a FACILITY_CONTROL HRESULT (0x800Axxxx,
// how Office reports its run-time errors) and an interface's own FACILITY_ITF code (0x80040200 and
// up) mean what that server says they mean, and the system's text for the same number is another
// error's.
bool IsSystemHresult(std::uint32_t number);

// What the programs say wherever an error comes without a description: the system has no text for
// its number, a server gave none, or a failure left it empty.
inline constexpr wchar_t kNoErrorDescription[] = L"このエラーの説明は見つかりませんでした。";

// The words for an error that a server reported without a description of its own.
std::wstring UndescribedServerError(std::wstring_view server, std::uint32_t number);

// The text of the run-time error report.
std::wstring FormatReport(const RuntimeError& error);

}  // namespace velmor
