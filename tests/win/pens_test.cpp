#include <gtest/gtest.h>

#include <vector>

#include "render/palette_win.h"
#include "render/pens_win.h"
#include "settings/settings.h"

namespace {

// A stand-in for the configuration dialog: a window with the ten colour buttons, whose
// WM_DRAWITEM handler records what it was given, as the real dialog would paint it.
struct DrawItemCall {
  WPARAM id;
  HDC dc;
  HWND dcWindow;  // the window the device context belongs to, while it is valid
  RECT rect;
  uint32_t color;  // colors[id - 103] at that moment
  DRAWITEMSTRUCT whole;
};

std::vector<DrawItemCall> drawItemCalls;

LRESULT CALLBACK ColourDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DRAWITEM) {
    const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    const int index = static_cast<int>(wParam) - kFirstColorButtonId;
    drawItemCalls.push_back({wParam, item->hDC, WindowFromDC(item->hDC), item->rcItem,
                             index >= 0 && index < 10 ? colors[index] : 0u, *item});
    return TRUE;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

class ColourButtons : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ColourDialogProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "LumerinColourButtonsTest";
    RegisterClassA(&wc);
    dialog_ = CreateWindowExA(0, wc.lpszClassName, "colours", WS_OVERLAPPEDWINDOW, 0, 0, 400, 200,
                              nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(dialog_, nullptr);
    for (int i = 0; i < 10; ++i) {
      // Buttons of different sizes, so that each rectangle is recognisably its own.
      buttons_[i] = CreateWindowExA(
          0, "BUTTON", "", WS_CHILD | BS_OWNERDRAW, 10 + 30 * i, 10, 20 + i, 15 + 2 * i, dialog_,
          reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstColorButtonId + i)), wc.hInstance,
          nullptr);
      ASSERT_NE(buttons_[i], nullptr);
    }
    drawItemCalls.clear();
  }
  void TearDown() override {
    if (dialog_ != nullptr) DestroyWindow(dialog_);
    drawItemCalls.clear();
  }

  void ExpectEveryButtonRepaintedWith(const uint32_t (&expected)[10]) {
    ASSERT_EQ(drawItemCalls.size(), 10u);
    for (int i = 0; i < 10; ++i) {
      const DrawItemCall& call = drawItemCalls[i];
      SCOPED_TRACE(i);
      EXPECT_EQ(call.id, static_cast<WPARAM>(kFirstColorButtonId + i));
      EXPECT_NE(call.dc, nullptr);
      EXPECT_EQ(call.dcWindow, buttons_[i]);
      RECT client;
      GetClientRect(buttons_[i], &client);
      EXPECT_TRUE(EqualRect(&call.rect, &client));
      EXPECT_EQ(call.rect.right, 20 + i);
      EXPECT_EQ(call.rect.bottom, 15 + 2 * i);
      EXPECT_EQ(call.color, expected[i]);  // the colours were in place before the repaint
      // Nothing but the device context and the rectangle is handed over.
      EXPECT_EQ(call.whole.CtlType, 0u);
      EXPECT_EQ(call.whole.CtlID, 0u);
      EXPECT_EQ(call.whole.hwndItem, nullptr);
    }
  }

  HWND dialog_ = nullptr;
  HWND buttons_[10] = {};
};

TEST_F(ColourButtons, LoadingAPaletteRepaintsTheTenButtonsInOrder) {
  ApplyPalette(3, dialog_);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(colors[i], kBuiltInPalettes[3][i]);
  ExpectEveryButtonRepaintedWith(kBuiltInPalettes[3]);
}

TEST_F(ColourButtons, AnUnknownPaletteKeepsTheColoursButStillRepaints) {
  ApplyPalette(1, nullptr);
  ASSERT_TRUE(drawItemCalls.empty());
  ApplyPalette(7, dialog_);
  ExpectEveryButtonRepaintedWith(kBuiltInPalettes[1]);
}

TEST_F(ColourButtons, AMissingButtonIsSkipped) {
  DestroyWindow(buttons_[4]);
  ApplyPalette(0, dialog_);
  ASSERT_EQ(drawItemCalls.size(), 9u);
  EXPECT_EQ(drawItemCalls[3].id, static_cast<WPARAM>(106));
  EXPECT_EQ(drawItemCalls[4].id, static_cast<WPARAM>(108));  // 107 is gone
}

TEST(Pens, SolidPensOfTheLineWidthInTheCurrentColours) {
  for (int width : {1, 3, 5}) {
    SCOPED_TRACE(width);
    Settings.LineWidth = width;
    ApplyPalette(2);
    CreatePens();
    ApplyPalette(0);  // later changes leave existing pens alone
    for (int i = 0; i < 10; ++i) {
      ASSERT_NE(pens[i], nullptr) << i;
      LOGPEN pen = {};
      ASSERT_EQ(GetObjectA(pens[i], sizeof pen, &pen), static_cast<int>(sizeof pen)) << i;
      EXPECT_EQ(pen.lopnStyle, static_cast<UINT>(PS_SOLID)) << i;
      EXPECT_EQ(pen.lopnWidth.x, width) << i;
      EXPECT_EQ(pen.lopnColor, kBuiltInPalettes[2][i]) << i;
    }
    DeletePens();
  }
}

TEST(Pens, DeletingFreesThePensAndTwiceIsHarmless) {
  Settings.LineWidth = 2;
  ApplyPalette(4);
  CreatePens();
  HPEN made[10];
  for (int i = 0; i < 10; ++i) made[i] = pens[i];
  DeletePens();
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(pens[i], nullptr);
    LOGPEN pen;
    EXPECT_EQ(GetObjectA(made[i], sizeof pen, &pen), 0) << "pen " << i << " still exists";
  }
  DeletePens();
  for (HPEN pen : pens) EXPECT_EQ(pen, nullptr);
}

}  // namespace
