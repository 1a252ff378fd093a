// The configuration dialog's behaviour, driven the way a user's actions reach it: lists
// picked, track bars moved, boxes clicked, swatches painted, OK and Cancel.
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/catalogue.h"
#include "render/palette.h"
#include "settings/settings.h"
#include "ui/configure_win.h"
#include "win_test_support.h"

namespace {

const int kFixedFractalGroup[] = {1023, 101,  1015, 113,  1016, 118,  1017, 119, 1019, 120,
                                  1011, 1006, 1012, 1020, 1013, 1002, 1014, 117, 1018, 103,
                                  104,  105,  106,  107,  108,  109,  110,  111, 112};

bool InFixedFractalGroup(int id) {
  for (int member : kFixedFractalGroup) {
    if (member == id) return true;
  }
  return false;
}

std::vector<std::string> Numbers(int first, int last) {
  std::vector<std::string> texts;
  for (int k = first; k <= last; ++k) texts.push_back(std::to_string(k));
  return texts;
}

// Every child's enabled state must be: off exactly for the fixed-fractal group when
// `slideshow`, on for everything else.
void ExpectGroupEnabled(const ConfigureDialog& dialog, bool slideshow) {
  int children = 0;
  for (HWND child = GetWindow(dialog.window, GW_CHILD); child;
       child = GetWindow(child, GW_HWNDNEXT), ++children) {
    const int id = GetDlgCtrlID(child);
    const bool want = !(slideshow && InFixedFractalGroup(id));
    EXPECT_EQ(IsWindowEnabled(child) != FALSE, want) << "control " << id;
  }
  EXPECT_EQ(children, 57);
}

class ConfigureDialogTest : public SettingsKeyTest {};

TEST_F(ConfigureDialogTest, OpensWithTheStoredSettings) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;

  std::vector<std::string> titles;
  for (const FractalRecord& entry : FractalCatalogue) titles.push_back(entry.title);
  EXPECT_EQ(dialog.Items(101), titles);
  EXPECT_EQ(dialog.Items(113), (std::vector<std::string>{"Blue", "Autumn", "Raspberry palette",
                                                         "White gradient", "New Year"}));
  // Entry 4 offers 16 generations, listed from 1.
  EXPECT_EQ(dialog.Items(118), Numbers(1, 16));
  EXPECT_EQ(dialog.Items(119), Numbers(1, 16));

  EXPECT_EQ(dialog.Selection(101), 4);
  EXPECT_EQ(dialog.Selection(113), 2);
  EXPECT_EQ(dialog.Selection(118), 2);
  EXPECT_EQ(dialog.Selection(119), 9);
  EXPECT_EQ(dialog.Text(115), "3.7");
  EXPECT_EQ(dialog.Text(1002), "3");
  EXPECT_EQ(dialog.Text(1006), "275");
  EXPECT_EQ(dialog.Position(114), 37);
  EXPECT_EQ(dialog.Position(117), 3);
  EXPECT_EQ(dialog.Position(120), 275);
  EXPECT_EQ(IsDlgButtonChecked(dialog.window, 102), static_cast<UINT>(BST_UNCHECKED));
  ExpectGroupEnabled(dialog, false);

  // The track bars offer exactly the setting ranges.
  const struct { int id, low, high; } ranges[] = {{114, 0, 50}, {117, 1, 5}, {120, 0, 360}};
  for (const auto& r : ranges) {
    EXPECT_EQ(SendMessageA(dialog.Item(r.id), TBM_GETRANGEMIN, 0, 0), r.low) << r.id;
    EXPECT_EQ(SendMessageA(dialog.Item(r.id), TBM_GETRANGEMAX, 0, 0), r.high) << r.id;
  }
}

TEST_F(ConfigureDialogTest, FirstRunShowsTheDefaults) {
  ConfigureDialog dialog;
  EXPECT_EQ(dialog.Selection(101), 13);
  EXPECT_EQ(dialog.Items(118), Numbers(1, 5));
  EXPECT_EQ(dialog.Selection(118), 0);
  EXPECT_EQ(dialog.Selection(119), 4);
  EXPECT_EQ(dialog.Text(115), "2.");
  EXPECT_EQ(dialog.Text(1002), "2");
  EXPECT_EQ(dialog.Text(1006), "0");
  EXPECT_EQ(dialog.Selection(113), 1);
  EXPECT_EQ(IsDlgButtonChecked(dialog.window, 102), static_cast<UINT>(BST_CHECKED));
}

TEST_F(ConfigureDialogTest, SlideshowGreysExactlyTheFixedFractalGroup) {
  SettingsRecord stored = SampleSettings();
  stored.DefaultMode = 1;
  StoreSettings(stored);
  ConfigureDialog dialog;
  EXPECT_EQ(IsDlgButtonChecked(dialog.window, 102), static_cast<UINT>(BST_CHECKED));
  ExpectGroupEnabled(dialog, true);
  for (int id : {1, 2, 2000, 1008, 102, 114, 115, 116}) EXPECT_TRUE(dialog.Enabled(id)) << id;
}

TEST_F(ConfigureDialogTest, TickingSlideshowTwiceLeavesTheGroupEnabledAndTheModeAlone) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  SendMessageA(dialog.Item(102), BM_CLICK, 0, 0);
  EXPECT_EQ(IsDlgButtonChecked(dialog.window, 102), static_cast<UINT>(BST_CHECKED));
  ExpectGroupEnabled(dialog, true);
  EXPECT_EQ(Settings.DefaultMode, 0);  // taken from the box only at OK
  SendMessageA(dialog.Item(102), BM_CLICK, 0, 0);
  ExpectGroupEnabled(dialog, false);
  EXPECT_EQ(Settings.DefaultMode, 0);
}

TEST_F(ConfigureDialogTest, ChoosingAFractalResetsRangeAndAngle) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  const SettingsRecord before = Settings;
  dialog.Choose(101, 2);  // 4 generations, start heading 90

  EXPECT_EQ(Settings.NumFractal, 2);
  EXPECT_EQ(dialog.Items(118), Numbers(1, 4));
  EXPECT_EQ(dialog.Items(119), Numbers(1, 4));
  EXPECT_EQ(dialog.Selection(118), 0);
  EXPECT_EQ(dialog.Selection(119), 3);
  EXPECT_EQ(Settings.iterFrom, 0);
  EXPECT_EQ(Settings.iterTo, 3);
  EXPECT_EQ(Settings.Angle, 90);
  EXPECT_EQ(dialog.Position(120), 90);
  EXPECT_EQ(dialog.Text(1006), "90");
  // The pause, the line width, the colours and the palette are left alone.
  EXPECT_EQ(Settings.TimeOut, before.TimeOut);
  EXPECT_EQ(Settings.LineWidth, before.LineWidth);
  EXPECT_EQ(Settings.CurPalette, before.CurPalette);
  EXPECT_EQ(Settings.Background, before.Background);
  EXPECT_EQ(std::memcmp(colors, before.colors, sizeof colors), 0);
}

TEST_F(ConfigureDialogTest, OtherListNotificationsChangeNothing) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  const SettingsRecord before = Settings;
  for (int id : {101, 113, 118, 119}) {
    SendMessageA(dialog.Item(id), CB_SETCURSEL, 0, 0);
    dialog.Command(id, CBN_DROPDOWN);
    dialog.Command(id, CBN_CLOSEUP);
  }
  EXPECT_EQ(std::memcmp(&Settings, &before, sizeof Settings), 0);
}

TEST_F(ConfigureDialogTest, IterationRangeNeverShowsReversed) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  const struct {
    int list, index;       // the user's pick
    int wantFrom, wantTo;  // both lists' selections afterwards (= the settings)
  } steps[] = {
      {119, 2, 2, 2},  // to "3" while from shows "3": nothing moves
      {118, 4, 4, 4},  // from "5" while to shows "3": to jumps to "5"
      {119, 9, 4, 9},    {118, 3, 3, 9},
      {119, 1, 1, 1},  // to "2" while from shows "4": from jumps to "2"
      {118, 15, 15, 15}, {119, 0, 0, 0},
  };
  for (const auto& step : steps) {
    dialog.Choose(step.list, step.index);
    SCOPED_TRACE(std::to_string(step.list) + " -> " + std::to_string(step.index));
    EXPECT_EQ(dialog.Selection(118), step.wantFrom);
    EXPECT_EQ(dialog.Selection(119), step.wantTo);
    EXPECT_EQ(Settings.iterFrom, step.wantFrom);
    EXPECT_EQ(Settings.iterTo, step.wantTo);
  }
}

TEST_F(ConfigureDialogTest, PauseLabelFollowsTheTrackBar) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  const struct {
    int position;
    const char* text;
  } cases[] = {{0, "0."}, {1, "0.1"}, {5, "0.5"}, {10, "1."}, {15, "1.5"}, {25, "2.5"}, {50, "5."}};
  for (const auto& c : cases) {
    dialog.Slide(114, c.position, TB_THUMBTRACK);
    EXPECT_EQ(dialog.Text(115), c.text);
    EXPECT_EQ(Settings.TimeOut, c.position);
  }
}

TEST_F(ConfigureDialogTest, TrackBarsActOnMovesAndIgnoreTheRelease) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  const struct {
    WORD code;
    bool acted;
  } codes[] = {{TB_LINEUP, true},
               {TB_LINEDOWN, true},
               {TB_PAGEUP, true},
               {TB_PAGEDOWN, true},
               {TB_THUMBPOSITION, false},
               {TB_THUMBTRACK, true},
               {TB_TOP, true},
               {TB_BOTTOM, true},
               {TB_ENDTRACK, false},
               {9, false},
               {0xFFFF, false}};
  int position = 1;
  for (const auto& c : codes) {
    SCOPED_TRACE("code " + std::to_string(c.code));
    position = position % 4 + 1;  // a new value every time: 2, 3, 4, 1, ...
    const SettingsRecord before = Settings;
    const std::string pause = dialog.Text(115), width = dialog.Text(1002),
                      angle = dialog.Text(1006);

    dialog.Slide(114, position * 10, c.code);
    dialog.Slide(117, position, c.code, true);
    dialog.Slide(120, position * 90, c.code);
    if (c.acted) {
      EXPECT_EQ(Settings.TimeOut, position * 10);
      EXPECT_EQ(Settings.LineWidth, position);
      EXPECT_EQ(Settings.Angle, position * 90);
      EXPECT_EQ(dialog.Text(115), std::to_string(position) + ".");
      EXPECT_EQ(dialog.Text(1002), std::to_string(position));
      EXPECT_EQ(dialog.Text(1006), std::to_string(position * 90));
    } else {
      EXPECT_EQ(std::memcmp(&Settings, &before, sizeof Settings), 0);
      EXPECT_EQ(dialog.Text(115), pause);
      EXPECT_EQ(dialog.Text(1002), width);
      EXPECT_EQ(dialog.Text(1006), angle);
    }
  }
}

// Paints one control through WM_DRAWITEM into a memory bitmap holding only hDC and
// rcItem, as palette loading does, and returns the pixel in the middle.
COLORREF PaintedCentre(const ConfigureDialog& dialog, int id, LRESULT* result) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 40, 20);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  RECT all = {0, 0, 40, 20};
  HBRUSH marker = CreateSolidBrush(RGB(1, 2, 3));
  FillRect(memory, &all, marker);
  DeleteObject(marker);

  DRAWITEMSTRUCT item;
  std::memset(&item, 0xCD, sizeof item);  // nothing but hDC and rcItem may be relied on
  item.hDC = memory;
  SetRect(&item.rcItem, 4, 2, 36, 18);
  // The procedure's own answer: SendMessage would return the dialog's message result.
  *result = ConfigureDialogProc(dialog.window, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item));
  const COLORREF centre = GetPixel(memory, 20, 10);
  const COLORREF outside = GetPixel(memory, 1, 1);
  EXPECT_EQ(outside, RGB(1, 2, 3)) << "painted outside rcItem, control " << id;

  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  return centre;
}

TEST_F(ConfigureDialogTest, SwatchesPaintTheirColourAndNothingElseIsPainted) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  colors[3] = RGB(200, 10, 30);  // a colour changed while the dialog is open
  for (int id = 103; id <= 112; ++id) {
    LRESULT result = 0;
    EXPECT_EQ(PaintedCentre(dialog, id, &result), colors[id - 103]) << id;
    EXPECT_EQ(result, TRUE);
  }
  LRESULT result = 0;
  EXPECT_EQ(PaintedCentre(dialog, 116, &result), Settings.Background);
  EXPECT_EQ(result, TRUE);
  for (int id : {1, 101, 102, 113, 0, 999}) {
    EXPECT_EQ(PaintedCentre(dialog, id, &result), RGB(1, 2, 3)) << id;
    EXPECT_EQ(result, TRUE) << id;
  }
}

TEST_F(ConfigureDialogTest, LoadingAPaletteReplacesTheTenColoursOnly) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  ShowWindow(dialog.window, SW_SHOW);
  UpdateWindow(dialog.window);
  colors[0] = RGB(9, 9, 9);  // hand-picked before the palette is loaded
  dialog.Choose(113, 3);
  EXPECT_EQ(Settings.CurPalette, 3);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(colors[i], kBuiltInPalettes[3][i]) << i;
  EXPECT_EQ(Settings.Background, SampleSettings().Background);
  // The swatches show the new colours at once.
  for (int id = 103; id <= 112; ++id) {
    HWND swatch = dialog.Item(id);
    RECT rect;
    GetClientRect(swatch, &rect);
    HDC dc = GetDC(swatch);
    EXPECT_EQ(GetPixel(dc, rect.right / 2, rect.bottom / 2), kBuiltInPalettes[3][id - 103]) << id;
    ReleaseDC(swatch, dc);
  }
}

TEST_F(ConfigureDialogTest, OkSavesEverythingAsShownGreyedValuesIncluded) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  dialog.Choose(101, 2);
  dialog.Choose(118, 1);
  dialog.Slide(114, 15, TB_THUMBTRACK);
  dialog.Slide(117, 5, TB_BOTTOM, true);
  dialog.Choose(113, 4);
  SendMessageA(dialog.Item(102), BM_CLICK, 0, 0);  // greys the group; its values still count
  dialog.Command(IDOK);

  SettingsRecord want = SampleSettings();
  want.NumFractal = 2;
  want.DefaultMode = 1;
  want.CurPalette = 4;
  want.TimeOut = 15;
  want.LineWidth = 5;
  want.iterFrom = 1;
  want.iterTo = 3;
  want.Angle = 90;
  for (int i = 0; i < 10; ++i) want.colors[i] = kBuiltInPalettes[4][i];
  const int32_t* fields = reinterpret_cast<const int32_t*>(&want);
  EXPECT_EQ(StoredSettings().size(), size_t(kSettingsValueCount));
  for (int i = 0; i < kSettingsValueCount; ++i) {
    uint32_t value = 0;
    ASSERT_TRUE(StoredDword(kNames[i], &value)) << kNames[i];
    EXPECT_EQ(value, static_cast<uint32_t>(fields[i])) << kNames[i];
  }
}

TEST_F(ConfigureDialogTest, CancelLeavesTheRegistryUnchanged) {
  StoreSettings(SampleSettings());
  const auto before = StoredSettings();
  ConfigureDialog dialog;
  dialog.Choose(101, 7);
  dialog.Slide(120, 33, TB_THUMBTRACK);
  dialog.Choose(113, 0);
  SendMessageA(dialog.Item(102), BM_CLICK, 0, 0);
  dialog.Command(IDCANCEL);
  EXPECT_EQ(StoredSettings(), before);
}

TEST_F(ConfigureDialogTest, OutOfRangeStoredValuesNeverIndexOutsideTheCatalogue) {
  SettingsRecord stored = SampleSettings();
  stored.NumFractal = 4000;
  stored.iterFrom = -3;
  stored.iterTo = 99;
  stored.TimeOut = 9999;
  StoreSettings(stored);
  ConfigureDialog dialog;
  EXPECT_EQ(dialog.Selection(101), 15);
  EXPECT_EQ(dialog.Items(118).size(), static_cast<size_t>(FractalCatalogue[15].maxIter));
  EXPECT_EQ(dialog.Selection(118), 0);
  EXPECT_EQ(dialog.Selection(119), FractalCatalogue[15].maxIter - 1);
  EXPECT_EQ(dialog.Text(115), "5.");
  dialog.Command(IDOK);
  uint32_t saved = 0;
  ASSERT_TRUE(StoredDword("NumFractal", &saved));
  EXPECT_EQ(saved, 15u);
}

TEST_F(ConfigureDialogTest, OkWithNoFractalSelectedSavesEntryZero) {
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  SendMessageA(dialog.Item(101), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  dialog.Command(IDOK);
  uint32_t saved = 99;
  ASSERT_TRUE(StoredDword("NumFractal", &saved));
  EXPECT_EQ(saved, 0u);
}

TEST(ConfigureClasses, TrackBarClassExistsBeforeTheDialog) {
  EXPECT_TRUE(RegisterConfigureClasses(GetModuleHandleA(nullptr)));
  WNDCLASSA info;
  EXPECT_TRUE(GetClassInfoA(nullptr, "msctls_trackbar32", &info));
}

}  // namespace
