// Choosing a swatch colour through the system's colour chooser: it opens full, on the
// swatch's colour; a confirmed colour is taken and shown at once, a cancelled one is
// not; every chooser works on the one process-wide set of custom colours.
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <colordlg.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "ui/configure_win.h"
#include "win_test_support.h"

namespace {

std::function<void(HWND)> chooserAction;
HWND chooserOwner = nullptr;
bool chooserSeen = false;

BOOL CALLBACK FindChooser(HWND window, LPARAM found) {
  if (GetWindow(window, GW_OWNER) == chooserOwner && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

// The chooser is the visible window of this thread that the dialog owns.
HWND Chooser() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindChooser, reinterpret_cast<LPARAM>(&found));
  return found;
}

void CALLBACK ActOnChooser(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND chooser = Chooser();
  if (chooser == nullptr) return;
  KillTimer(nullptr, timer);
  chooserSeen = true;
  chooserAction(chooser);
}

// A chooser the action failed to close is cancelled instead of hanging the tests.
void CALLBACK CancelStuckChooser(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND chooser = Chooser()) EndDialog(chooser, IDCANCEL);
}

// Clicks swatch `id` (which opens the modal chooser) and does `action` in the chooser.
void ChooseWith(const ConfigureDialog& dialog, int id, std::function<void(HWND)> action) {
  chooserAction = std::move(action);
  chooserOwner = dialog.window;
  chooserSeen = false;
  SetTimer(nullptr, 0, 20, ActOnChooser);
  const UINT_PTR rescue = SetTimer(nullptr, 0, 10000, CancelStuckChooser);
  dialog.Command(id);
  KillTimer(nullptr, rescue);
  EXPECT_TRUE(chooserSeen);
}

int Field(HWND chooser, int id) {
  return static_cast<int>(GetDlgItemInt(chooser, id, nullptr, FALSE));
}

void SetColour(HWND chooser, COLORREF colour) {
  SetDlgItemInt(chooser, COLOR_RED, GetRValue(colour), FALSE);
  SetDlgItemInt(chooser, COLOR_GREEN, GetGValue(colour), FALSE);
  SetDlgItemInt(chooser, COLOR_BLUE, GetBValue(colour), FALSE);
}

void Press(HWND chooser, int id) { SendMessageA(GetDlgItem(chooser, id), BM_CLICK, 0, 0); }

COLORREF ShownColour(const ConfigureDialog& dialog, int id) {
  HWND swatch = dialog.Item(id);
  RECT rect;
  GetClientRect(swatch, &rect);
  HDC dc = GetDC(swatch);
  const COLORREF colour = GetPixel(dc, rect.right / 2, rect.bottom / 2);
  ReleaseDC(swatch, dc);
  return colour;
}

class ColourChooser : public SettingsKeyTest {
 protected:
  void SetUp() override {
    SettingsKeyTest::SetUp();
    std::fill(std::begin(customColours), std::end(customColours), 0);
    StoreSettings(SampleSettings());
  }
};

TEST_F(ColourChooser, OpensFullOnTheSwatchColourAndTakesTheConfirmedOne) {
  ConfigureDialog dialog;
  ShowWindow(dialog.window, SW_SHOW);
  const int ids[] = {103, 107, 112, 116};
  for (int id : ids) {
    SCOPED_TRACE(id);
    const COLORREF before = id == 116 ? Settings.Background : colors[id - 103];
    const COLORREF chosen = RGB(12, 34, id - 50);
    COLORREF offered = 0;
    bool full = false;
    ChooseWith(dialog, id, [&](HWND chooser) {
      offered =
          RGB(Field(chooser, COLOR_RED), Field(chooser, COLOR_GREEN), Field(chooser, COLOR_BLUE));
      full = IsWindowVisible(GetDlgItem(chooser, COLOR_RED)) != FALSE;
      SetColour(chooser, chosen);
      Press(chooser, IDOK);
    });
    EXPECT_EQ(offered, before);
    EXPECT_TRUE(full);
    EXPECT_EQ(id == 116 ? Settings.Background : colors[id - 103], chosen);
    EXPECT_EQ(ShownColour(dialog, id), chosen);
  }
  EXPECT_EQ(Settings.CurPalette, SampleSettings().CurPalette);  // no palette was loaded
}

TEST_F(ColourChooser, CancelledColourIsNotTaken) {
  ConfigureDialog dialog;
  ShowWindow(dialog.window, SW_SHOW);
  for (int id : {104, 116}) {
    const COLORREF before = id == 116 ? Settings.Background : colors[id - 103];
    ChooseWith(dialog, id, [&](HWND chooser) {
      SetColour(chooser, RGB(200, 100, 50));
      Press(chooser, IDCANCEL);
    });
    EXPECT_EQ(id == 116 ? Settings.Background : colors[id - 103], before) << id;
    EXPECT_EQ(ShownColour(dialog, id), before) << id;
  }
}

TEST_F(ColourChooser, CustomColoursAreSharedByEveryChooser) {
  ConfigureDialog dialog;
  const COLORREF first = RGB(1, 2, 3);
  ChooseWith(dialog, 105, [&](HWND chooser) {
    SetColour(chooser, first);
    Press(chooser, COLOR_ADD);
    Press(chooser, IDOK);
  });
  ASSERT_EQ(customColours[0], first);

  // The background's chooser offers it: picking the first custom colour shows it.
  COLORREF picked = 0;
  ChooseWith(dialog, 116, [&](HWND chooser) {
    RECT cells;
    GetWindowRect(GetDlgItem(chooser, COLOR_CUSTOM1), &cells);
    POINT inFirstCell = {cells.left + 4, cells.top + 4};
    ScreenToClient(chooser, &inFirstCell);
    SendMessageA(chooser, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(inFirstCell.x, inFirstCell.y));
    SendMessageA(chooser, WM_LBUTTONUP, 0, MAKELPARAM(inFirstCell.x, inFirstCell.y));
    picked =
        RGB(Field(chooser, COLOR_RED), Field(chooser, COLOR_GREEN), Field(chooser, COLOR_BLUE));
    Press(chooser, IDOK);
  });
  EXPECT_EQ(picked, first);
  EXPECT_EQ(Settings.Background, first);
}

}  // namespace
