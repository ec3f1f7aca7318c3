#include "EventDispatch.h"

#include <cstdint>
#include <exception>
#include <new>
#include <string>
#include <utility>

#include "InternalFailure.h"
#include "RuntimeError.h"
#include "Utf8.h"

namespace velmor {
namespace {

constexpr wchar_t kRunningProgram[] = L"プログラムの実行";

// A failure from inside the program has no system error number. The report gives it the number
// and the words that the platform's run-time error report gives the same kind of failure, which
// users and support already know; 0 would read as "no error".
struct InternalError {
  std::uint32_t number;
  const wchar_t* description;
};
constexpr InternalError kInvalidCall = {5, L"プロシージャの呼び出し、または引数が不正です。"};
constexpr InternalError kOverflow = {6, L"オーバーフローしました。"};
constexpr InternalError kOutOfMemory = {7, L"メモリが不足しています。"};
constexpr InternalError kOutOfRange = {9, L"インデックスが有効範囲にありません。"};

const InternalError& InternalErrorOf(InternalFailureKind kind) {
  switch (kind) {
    case InternalFailureKind::kTooLarge:
      return kOverflow;
    case InternalFailureKind::kOutOfRange:
      return kOutOfRange;
    case InternalFailureKind::kOther:
      break;
  }
  return kInvalidCall;
}

void Report(Platform& platform, const RuntimeError& error) noexcept {
  try {
    platform.MsgBox(FormatReport(error), MsgBoxStyle::kOkOnly);
  } catch (...) {
    // Nothing is left to tell the user with; the program ends all the same.
  }
}

// A failure from inside the program: its number and words, then the C++ library's own text (when
// there is one), which only support reads.
void ReportInternal(Platform& platform, const InternalError& kind, const char* what) noexcept {
  try {
    std::wstring description = kind.description;
    // The libraries' texts are UTF-8 (or plain ASCII); widening byte by byte would garble them.
    if (what != nullptr) description += L"（内部エラー: " + WideFromUtf8(what) + L"）";
    Report(platform, RuntimeError(kind.number, std::move(description), kRunningProgram, L""));
  } catch (...) {
    // Memory has run out even for the report; the program ends all the same.
  }
}

}  // namespace

bool RunEventHandler(Platform& platform, const std::function<void()>& handler) noexcept {
  try {
    handler();
    return true;
  } catch (const RuntimeError& error) {
    Report(platform, error);
  } catch (const std::bad_alloc& error) {
    ReportInternal(platform, kOutOfMemory, error.what());
  } catch (const InternalFailure& error) {
    ReportInternal(platform, InternalErrorOf(error.Kind()), error.what());
  } catch (const std::exception& error) {
    ReportInternal(platform, kInvalidCall, error.what());
  } catch (...) {
    ReportInternal(platform, kInvalidCall, nullptr);
  }
  return false;
}

}  // namespace velmor
