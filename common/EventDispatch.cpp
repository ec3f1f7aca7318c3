#include "EventDispatch.h"

#include <exception>
#include <string>

#include "RuntimeError.h"
#include "Utf8.h"

namespace velmor {
namespace {

void Report(Platform& platform, const RuntimeError& error) noexcept {
  try {
    platform.MsgBox(FormatReport(error), MsgBoxStyle::kOkOnly);
  } catch (...) {
    // Nothing is left to tell the user with; the program ends all the same.
  }
}

}  // namespace

bool RunEventHandler(Platform& platform, const std::function<void()>& handler) noexcept {
  try {
    handler();
    return true;
  } catch (const RuntimeError& error) {
    Report(platform, error);
  } catch (const std::exception& error) {
    // The libraries' texts are UTF-8 (or plain ASCII); widening byte by byte would garble them.
    Report(platform,
           RuntimeError(0, L"内部エラー: " + WideFromUtf8(error.what()), L"プログラムの実行", L""));
  } catch (...) {
    Report(platform, RuntimeError(0, L"不明な内部エラー", L"プログラムの実行", L""));
  }
  return false;
}

}  // namespace velmor
