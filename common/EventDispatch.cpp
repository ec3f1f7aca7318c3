#include "EventDispatch.h"

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
constexpr wchar_t kInternalErrorWords[] = L"プログラムの内部でエラーが発生しました。";

const wchar_t* InternalFailureWords(InternalFailureKind kind) {
  switch (kind) {
    case InternalFailureKind::kTooLarge:
      return L"データが大きすぎるため、処理を続けられません。";
    case InternalFailureKind::kOutOfRange:
      return L"プログラムが範囲外のデータを参照しました。";
    case InternalFailureKind::kOther:
      break;
  }
  return kInternalErrorWords;
}

void Report(Platform& platform, const RuntimeError& error) noexcept {
  try {
    platform.MsgBox(FormatReport(error), MsgBoxStyle::kOkOnly);
  } catch (...) {
    // Nothing is left to tell the user with; the program ends all the same.
  }
}

// A failure from inside the program: what happened in the user's words, then the C++ library's
// own text (when there is one), which only support reads.
void ReportInternal(Platform& platform, const wchar_t* words, const char* what) noexcept {
  try {
    std::wstring description = words;
    // The libraries' texts are UTF-8 (or plain ASCII); widening byte by byte would garble them.
    if (what != nullptr) description += L"（内部エラー: " + WideFromUtf8(what) + L"）";
    Report(platform, RuntimeError(0, std::move(description), kRunningProgram, L""));
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
    ReportInternal(platform, L"メモリが不足しています。", error.what());
  } catch (const InternalFailure& error) {
    ReportInternal(platform, InternalFailureWords(error.Kind()), error.what());
  } catch (const std::exception& error) {
    ReportInternal(platform, kInternalErrorWords, error.what());
  } catch (...) {
    ReportInternal(platform, L"プログラムの内部で原因不明のエラーが発生しました。", nullptr);
  }
  return false;
}

}  // namespace velmor
