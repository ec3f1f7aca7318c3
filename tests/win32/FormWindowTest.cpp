// The window that shows a form: it is made when the form loads, owned until the system destroys
// it, and gone when the form unloads, whoever destroyed it.

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <utility>

#include "FormModel.h"
#include "FormWindow.h"
#include "Win32Platform.h"

namespace {

using velmor::ControlKind;
using velmor::ControlSpec;

constexpr std::array<ControlSpec, 2> kControls = {{
    {ControlKind::kLabel, L"Label1", velmor::kNoIndex, L"ラベル", {120, 120, 2000, 300}},
    {.kind = ControlKind::kCommandButton,
     .name = L"Command1",
     .caption = L"終了",
     .box = {120, 600, 1200, 400},
     .tabIndex = 0},
}};

const velmor::FormSpec kForm{
    .caption = L"テスト", .clientWidth = 3000, .clientHeight = 1500, .controls = kControls};

// WM_DESTROY asks the message loop to end; these tests run none, so the request is taken back.
void DropQuitRequest() {
  MSG message{};
  while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

TEST(FormWindow, IsMadeOnLoadAndDestroyedOnUnload) {
  velmor::win32::ComApartment com;
  velmor::win32::Win32Platform platform(L"win32_tests", nullptr, com);
  velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, com);
  velmor::Form form(kForm);
  form.AttachHost(&window);
  EXPECT_EQ(window.Handle(), nullptr);

  form.Load();
  HWND handle = window.Handle();
  ASSERT_TRUE(IsWindow(handle));
  EXPECT_FALSE(IsWindowVisible(handle));
  EXPECT_NE(FindWindowExW(handle, nullptr, L"BUTTON", L"終了"), nullptr);

  form.Unload();
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_EQ(window.Handle(), nullptr);
  DropQuitRequest();
}

TEST(FormWindow, LetsGoOfAWindowTheSystemDestroyed) {
  velmor::win32::ComApartment com;
  velmor::win32::Win32Platform platform(L"win32_tests", nullptr, com);
  HWND handle = nullptr;
  {
    velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, com);
    velmor::Form form(kForm);
    form.AttachHost(&window);
    form.Load();
    handle = window.Handle();
    ASSERT_TRUE(IsWindow(handle));
    DestroyWindow(handle);
    EXPECT_EQ(window.Handle(), nullptr);  // released at WM_NCDESTROY
    form.AttachHost(nullptr);
  }
  EXPECT_FALSE(IsWindow(handle));
  DropQuitRequest();
}

// The icons are handed over while the window is being made, before the window system builds its
// frame; they must be the window's own from then on, big and small, and absent for a form without.
TEST(FormWindow, HasItsFormsIconsFromTheStartAndNoneWithout) {
  velmor::win32::ComApartment com;
  velmor::win32::Win32Platform platform(L"win32_tests", nullptr, com);
  const auto iconsOf = [&](int iconId) {
    velmor::FormSpec spec = kForm;
    spec.iconId = iconId;
    velmor::win32::FormWindow window(GetModuleHandleW(nullptr), platform, com);
    velmor::Form form(spec);
    form.AttachHost(&window);
    form.Load();
    const auto big = SendMessageW(window.Handle(), WM_GETICON, ICON_BIG, 0);
    const auto small = SendMessageW(window.Handle(), WM_GETICON, ICON_SMALL, 0);
    form.Unload();
    form.AttachHost(nullptr);
    DropQuitRequest();
    return std::pair{big != 0, small != 0};
  };
  EXPECT_EQ(iconsOf(1), std::pair(true, true));
  EXPECT_EQ(iconsOf(0), std::pair(false, false));
}

}  // namespace
