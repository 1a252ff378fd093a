// The About box: every way of closing it ends it with 0, and only its web-site button
// shows a hand, without changing the cursor of the button class every button shares.
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "res/resource.h"
#include "ui/about_win.h"
#include "win_test_support.h"

namespace {

std::function<void(HWND)> pendingAction;

// Finds the About box once its modal loop runs, and does the pending action to it.
void CALLBACK ActOnAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
  const std::string caption = std::string("About \"Lumerin v") + LUMERIN_VERSION + "\"";
  HWND about = FindWindowA(nullptr, caption.c_str());
  if (about == nullptr || !IsWindowVisible(about)) return;
  KillTimer(nullptr, timer);
  pendingAction(about);
}

// A box that the action failed to close is ended with 99 instead of hanging the tests.
void CALLBACK EndStuckAboutBox(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  const std::string caption = std::string("About \"Lumerin v") + LUMERIN_VERSION + "\"";
  if (HWND about = FindWindowA(nullptr, caption.c_str())) EndDialog(about, 99);
}

INT_PTR RunAboutBox(std::function<void(HWND)> action) {
  pendingAction = std::move(action);
  SetTimer(nullptr, 0, 20, ActOnAboutBox);
  const UINT_PTR rescue = SetTimer(nullptr, 0, 10000, EndStuckAboutBox);
  const INT_PTR result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT),
                                         nullptr, AboutDialogProc, 0);
  KillTimer(nullptr, rescue);
  return result;
}

TEST(AboutBox, EveryWayOfClosingItEndsItWithZero) {
  const struct {
    const char* what;
    std::function<void(HWND)> action;
  } ways[] = {
      {"OK button", [](HWND about) { PostMessageA(GetDlgItem(about, IDOK), BM_CLICK, 0, 0); }},
      {"Esc key",
       [](HWND about) {
         HWND focus = GetDlgItem(about, IDOK);
         PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
         PostMessageA(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);
       }},
      {"Enter key (OK is the default)",
       [](HWND about) {
         HWND focus = GetDlgItem(about, IDOK);
         PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0x001C0001);
         PostMessageA(focus, WM_KEYUP, VK_RETURN, 0xC01C0001);
       }},
      {"close box", [](HWND about) { PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& way : ways) {
    EXPECT_EQ(RunAboutBox(way.action), 0) << way.what;
  }
}

TEST(AboutBox, OtherCommandsLeaveItOpen) {
  HWND about = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), nullptr,
                                  AboutDialogProc, 0);
  ASSERT_NE(about, nullptr);
  ShowWindow(about, SW_SHOW);
  for (WORD id : {0, 3, 1021, 0xFFFF}) {
    EXPECT_EQ(AboutDialogProc(about, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0), FALSE) << id;
    EXPECT_TRUE(IsWindowVisible(about)) << id;
  }
  DestroyWindow(about);
}

TEST(AboutBox, OnlyTheWebSiteButtonShowsAHand) {
  HWND about = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), nullptr,
                                  AboutDialogProc, 0);
  ASSERT_NE(about, nullptr);
  HWND web = GetDlgItem(about, IDC_WEBSITE);
  HWND ok = GetDlgItem(about, IDOK);
  const HCURSOR hand = LoadCursor(nullptr, IDC_HAND);
  const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
  const LONG_PTR buttonClassCursor = GetClassLongPtrA(ok, GCLP_HCURSOR);

  // What the system sends when the pointer rests on a control: the control passes it
  // to its dialog first.
  SendMessageA(web, WM_SETCURSOR, reinterpret_cast<WPARAM>(web),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), hand);
  SendMessageA(ok, WM_SETCURSOR, reinterpret_cast<WPARAM>(ok), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), arrow);

  // The class cursor of every button, the web-site button's included, is untouched.
  EXPECT_EQ(GetClassLongPtrA(web, GCLP_HCURSOR), buttonClassCursor);
  EXPECT_EQ(GetClassLongPtrA(ok, GCLP_HCURSOR), buttonClassCursor);
  EXPECT_EQ(reinterpret_cast<HCURSOR>(buttonClassCursor), arrow);
  DestroyWindow(about);
}

}  // namespace
