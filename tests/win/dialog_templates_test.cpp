// The dialog templates as the program carries them: every control of the configuration
// dialog and the About box in its place (dialog units, through MapDialogRect), with its
// kind, styles, stored text and the tab order, read back from the created dialogs.
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "host/startup_win.h"
#include "res/resource.h"
#include "ui/about_win.h"
#include "ui/configure_win.h"
#include "win_test_support.h"

namespace {

struct ControlRow {
  int id;
  const char* kind;  // window class
  DWORD style;       // everything but WS_CHILD | WS_VISIBLE
  const char* text;  // nullptr: not compared (replaced or not kept by the control)
  int x, y, width, height;
};

constexpr DWORD kTrack = TBS_AUTOTICKS | TBS_BOTH | TBS_NOTICKS;
constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kTab = WS_TABSTOP;
constexpr const char* kStatic = "Static";
constexpr const char* kButton = "Button";
constexpr const char* kCombo = "ComboBox";
constexpr const char* kTrackBar = "msctls_trackbar32";

// The configuration dialog in template (and so tab) order.
const ControlRow kConfigureControls[] = {
    {1023, kStatic, SS_LEFT, "Select fractal (L-system):", 14, 15, 78, 8},
    {101, kCombo, kList, nullptr, 100, 12, 127, 157},
    {102, kButton, BS_AUTOCHECKBOX | kTab, "Slideshow", 243, 13, 48, 12},
    {-1, kButton, BS_GROUPBOX, "", 15, 37, 212, 40},
    {114, kTrackBar, kTrack | kTab, nullptr, 21, 46, 200, 15},
    {-1, kStatic, SS_LEFT, "Timeout between iterations:", 40, 63, 88, 8},
    {115, kStatic, SS_LEFT, nullptr, 130, 63, 11, 8},
    {-1, kStatic, SS_LEFT, "sec.", 144, 63, 14, 8},
    {-1, kButton, BS_GROUPBOX, "", 239, 37, 54, 40},
    {-1, kStatic, SS_LEFT, "Background:", 245, 43, 42, 8},
    {-1, kStatic, SS_BLACKFRAME, "", 251, 55, 28, 17},
    {116, kButton, BS_OWNERDRAW, "Text", 253, 56, 24, 15},
    {1020, kButton, BS_GROUPBOX, "", 303, 10, 43, 113},
    {1013, kStatic, SS_LEFT, "Line width:", 310, 17, 35, 8},
    {1002, kStatic, SS_LEFT, nullptr, 315, 27, 8, 8},
    {1014, kStatic, SS_LEFT, "pix.", 324, 27, 12, 8},
    {117, kTrackBar, kTrack | TBS_VERT | kTab, nullptr, 316, 35, 18, 84},
    {1019, kButton, BS_GROUPBOX, "", 15, 82, 278, 42},
    {120, kTrackBar, kTrack | kTab, nullptr, 21, 90, 269, 15},
    {1011, kStatic, SS_LEFT, "Turn angle:", 42, 110, 37, 8},
    {1006, kStatic, SS_LEFT, nullptr, 94, 110, 14, 8},
    {1012, kStatic, SS_LEFT, "deg.", 110, 110, 15, 8},
    {1018, kButton, BS_GROUPBOX, "Palette", 16, 128, 331, 40},
    {-1, kStatic, SS_BLACKFRAME, "", 24, 143, 28, 17},
    {103, kButton, BS_OWNERDRAW, "Text", 26, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 56, 143, 28, 17},
    {104, kButton, BS_OWNERDRAW, "Text", 58, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 87, 143, 28, 17},
    {105, kButton, BS_OWNERDRAW, "Text", 89, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 119, 143, 28, 17},
    {106, kButton, BS_OWNERDRAW, "Text", 121, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 151, 143, 28, 17},
    {107, kButton, BS_OWNERDRAW, "Text", 153, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 183, 143, 28, 17},
    {108, kButton, BS_OWNERDRAW, "Text", 185, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 215, 143, 28, 17},
    {109, kButton, BS_OWNERDRAW, "Text", 217, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 247, 143, 28, 17},
    {110, kButton, BS_OWNERDRAW, "Text", 249, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 280, 143, 28, 17},
    {111, kButton, BS_OWNERDRAW, "Text", 282, 144, 24, 15},
    {-1, kStatic, SS_BLACKFRAME, "", 312, 143, 28, 17},
    {112, kButton, BS_OWNERDRAW, "Text", 314, 144, 24, 15},
    {-1, kButton, BS_GROUPBOX, "", 15, 172, 140, 31},
    {1015, kStatic, SS_LEFT, "Load palette:", 23, 184, 42, 8},
    {113, kCombo, kList, nullptr, 70, 183, 75, 148},
    {-1, kButton, BS_GROUPBOX, "", 187, 172, 159, 31},
    {1016, kStatic, SS_LEFT, "Show iteration from", 194, 184, 61, 8},
    {118, kCombo, kList, nullptr, 260, 183, 30, 160},
    {1017, kStatic, SS_LEFT, "to", 297, 184, 8, 8},
    {119, kCombo, kList, nullptr, 312, 183, 30, 158},
    {1, kButton, BS_PUSHBUTTON | kTab, "OK", 15, 211, 38, 15},
    {2, kButton, BS_PUSHBUTTON | kTab, "Cancel", 64, 211, 38, 15},
    {2000, kButton, BS_PUSHBUTTON | kTab, "Help", 113, 211, 42, 15},
    {1024, kStatic, SS_LEFT, "&Monitors:", 162, 214, 32, 8},
    {121, kCombo, kList, nullptr, 196, 212, 94, 60},
    {1008, kButton, BS_PUSHBUTTON | kTab, "About", 296, 211, 50, 15},
};

const ControlRow kAboutControls[] = {
    {-1, kButton, BS_GROUPBOX, "", 7, 1, 171, 41},
    {-1, kStatic, SS_ICON, nullptr, 15, 13, 20, 20},
    {-1, kStatic, SS_LEFT, nullptr, 57, 13, 115, 8},
    {-1, kStatic, SS_LEFT, "(based on L-strings)", 77, 27, 62, 8},
    {1, kButton, BS_DEFPUSHBUTTON | kTab, "OK", 7, 50, 26, 43},
    {-1, kStatic, SS_LEFT, LUMERIN_NOTICE_LINE1, 51, 50, 105, 8},
    {-1, kStatic, SS_LEFT, LUMERIN_NOTICE_LINE2, 79, 63, 58, 8},
    {1026, kButton, BS_PUSHBUTTON | kTab, LUMERIN_WEB_ADDRESS, 49, 76, 118, 17},
};

std::vector<HWND> Children(HWND dialog) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

// The control's window in dialog client coordinates.
RECT PlaceInDialog(HWND dialog, HWND control) {
  RECT rect;
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Place and size in pixels, converted one by one as the dialog manager converts a
// template's items: {x, y, width, height}.
RECT DialogUnits(HWND dialog, int x, int y, int width, int height) {
  RECT rect = {x, y, width, height};
  MapDialogRect(dialog, &rect);
  return rect;
}

void ExpectControls(HWND dialog, const ControlRow* rows, size_t count) {
  const std::vector<HWND> children = Children(dialog);
  ASSERT_EQ(children.size(), count);
  for (size_t i = 0; i < count; ++i) {
    const ControlRow& row = rows[i];
    HWND control = children[i];
    SCOPED_TRACE("control " + std::to_string(i) + " id " + std::to_string(row.id));
    EXPECT_EQ(GetDlgCtrlID(control), row.id);

    char kind[64] = {};
    GetClassNameA(control, kind, sizeof kind);
    EXPECT_EQ(lstrcmpiA(kind, row.kind), 0) << kind;

    const DWORD style = static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE));
    EXPECT_EQ(style & (WS_CHILD | WS_VISIBLE | WS_POPUP), WS_CHILD | WS_VISIBLE);
    // (A combo box hands WS_VSCROLL on to its list part.)
    EXPECT_EQ(style & (WS_TABSTOP | WS_GROUP | WS_HSCROLL | WS_BORDER),
              row.style & (WS_TABSTOP | WS_GROUP | WS_HSCROLL | WS_BORDER));
    EXPECT_EQ(style & 0xFFFF, row.style & 0xFFFF) << std::hex << style;

    if (row.text != nullptr) {
      EXPECT_EQ(WindowText(control), row.text);
    }

    const RECT want = DialogUnits(dialog, row.x, row.y, row.width, row.height);
    const RECT have = PlaceInDialog(dialog, control);
    EXPECT_EQ(have.left, want.left);
    EXPECT_EQ(have.top, want.top);
    const LONG width = have.right - have.left, height = have.bottom - have.top;
    // A drop-down list's template height includes its opened part, and an icon takes
    // the size of its picture: only their corner is placed by the template.
    if (row.style != SS_ICON) {
      EXPECT_EQ(width, want.right);
    }
    if (row.style != SS_ICON && lstrcmpiA(kind, kCombo) != 0) {
      EXPECT_EQ(height, want.bottom);
    }
  }
}

void ExpectFrame(HWND dialog, const std::string& caption, int width, int height) {
  EXPECT_EQ(WindowText(dialog), caption);
  const DWORD style = static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE));
  const DWORD want = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
  EXPECT_EQ(style & want, want) << std::hex << style;
  RECT client;
  GetClientRect(dialog, &client);
  const RECT size = DialogUnits(dialog, 0, 0, width, height);
  EXPECT_EQ(client.right, size.right);
  EXPECT_EQ(client.bottom, size.bottom);

  // Centred on the work area, to within a pixel of rounding.
  RECT window, work;
  GetWindowRect(dialog, &window);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR(window.left + window.right, work.left + work.right, 2);
  EXPECT_NEAR(window.top + window.bottom, work.top + work.bottom, 2);
}

std::vector<int> TabOrder(HWND dialog) {
  std::vector<int> ids;
  HWND first = GetNextDlgTabItem(dialog, nullptr, FALSE);
  HWND control = first;
  do {
    ids.push_back(GetDlgCtrlID(control));
    control = GetNextDlgTabItem(dialog, control, FALSE);
  } while (control != nullptr && control != first && ids.size() < 100);
  return ids;
}

class DialogTemplates : public SettingsKeyTest {};

TEST_F(DialogTemplates, ConfigurationDialogMatchesItsLayout) {
  StoreSettings(SampleSettings());  // fixed mode: every tab stop enabled
  ConfigureDialog dialog;
  ASSERT_NE(dialog.window, nullptr);
  ExpectFrame(dialog.window, std::string("Lumerin v") + LUMERIN_VERSION, 373, 234);
  ExpectControls(dialog.window, kConfigureControls,
                 sizeof kConfigureControls / sizeof kConfigureControls[0]);
  // Slideshow is off for this tab walk so that every tab stop is enabled.
  const std::vector<int> want = {101, 102, 114, 117, 120, 113, 118, 119, 1, 2, 2000, 121, 1008};
  EXPECT_EQ(TabOrder(dialog.window), want);
}

// Alt+M, as the dialog manager sees it from any control, moves the focus to the monitor
// list that its label names; no other label or button claims the letter.
TEST_F(DialogTemplates, AltMMovesTheFocusToTheMonitorList) {
  StoreSettings(SampleSettings());  // fixed mode: every control enabled
  ConfigureDialog dialog;
  ASSERT_NE(dialog.window, nullptr);
  ShowWindow(dialog.window, SW_SHOW);
  for (HWND child : Children(dialog.window)) {
    const std::string text = WindowText(child);
    if (GetDlgCtrlID(child) != 1024) {
      EXPECT_EQ(text.find("&M"), std::string::npos) << text;
    }
  }
  for (int from : {101, 117, 2000, 1008}) {
    SCOPED_TRACE(from);
    SetFocus(dialog.Item(from));
    const HWND focus = GetFocus();
    ASSERT_NE(focus, nullptr);
    ASSERT_NE(focus, dialog.Item(121));
    MSG message = {focus, WM_SYSCHAR, 'm', 0x20000000, 0, {0, 0}};
    EXPECT_TRUE(IsDialogMessageA(dialog.window, &message));
    EXPECT_EQ(GetFocus(), dialog.Item(121));
  }
}

TEST_F(DialogTemplates, NoButtonOfTheConfigurationDialogIsTheDefault) {
  ConfigureDialog dialog;
  for (HWND child : Children(dialog.window)) {
    char kind[64] = {};
    GetClassNameA(child, kind, sizeof kind);
    if (lstrcmpiA(kind, kButton) != 0) continue;
    EXPECT_NE(GetWindowLongA(child, GWL_STYLE) & 0xF, BS_DEFPUSHBUTTON) << GetDlgCtrlID(child);
  }
}

TEST_F(DialogTemplates, AboutBoxMatchesItsLayout) {
  HWND about = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ABOUT), nullptr,
                                  AboutDialogProc, 0);
  ASSERT_NE(about, nullptr);
  ExpectFrame(about, std::string("About \"Lumerin v") + LUMERIN_VERSION + "\"", 185, 100);
  ExpectControls(about, kAboutControls, sizeof kAboutControls / sizeof kAboutControls[0]);
  const std::vector<HWND> children = Children(about);
  EXPECT_EQ(WindowText(children[2]), std::string("Lumerin v ") + LUMERIN_VERSION);
  // The icon control shows the program's icon 100.
  EXPECT_NE(SendMessageA(children[1], STM_GETICON, 0, 0), 0);
  const std::vector<int> want = {1, 1026};
  EXPECT_EQ(TabOrder(about), want);
  DestroyWindow(about);
}

TEST(ProgramResources, IconHoldsThreeSizes) {
  for (int size : {16, 32, 48}) {
    HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_LUMERIN), IMAGE_ICON,
                             size, size, 0);
    ASSERT_NE(icon, nullptr) << size;
    ICONINFO info;
    ASSERT_TRUE(GetIconInfo(static_cast<HICON>(icon), &info));
    BITMAP bitmap;
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    EXPECT_EQ(bitmap.bmWidth, size);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(static_cast<HICON>(icon));
  }
}

TEST(ProgramResources, VersionRecordCarriesTheProjectVersion) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string version = LUMERIN_VERSION;
  const int major = std::stoi(version.substr(0, version.find('.')));
  const int minor = std::stoi(version.substr(version.find('.') + 1));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), major);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), minor);
  char* text = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904E4\\FileVersion",
                             reinterpret_cast<void**>(&text), &length));
  EXPECT_EQ(std::string(text), version);
}

std::string ManifestElement(const std::string& manifest, const std::string& name) {
  const size_t open = manifest.find("<" + name + " ");
  if (open == std::string::npos) return "";
  const size_t start = manifest.find('>', open) + 1;
  return manifest.substr(start, manifest.find("</" + name + ">", start) - start);
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The DPI awareness a Windows version gives a program for its manifest, by the rules the
// platform documents: Vista to 8 read dpiAware ("true" and "true/pm" mean system aware);
// 8.1 and 10 before 1607 read "true/pm" and "per monitor" as per monitor (version 1);
// 1607 on read dpiAwareness, when it is there, and take the first mode of its list they
// know, where only 1703 on know PerMonitorV2.
enum Windows { kVista, kEight, kEightOne, kTen1511, kTen1607, kTen1703 };

std::string AwarenessOn(Windows version, const std::string& dpiAware, std::string list) {
  if (version >= kTen1607 && !list.empty()) {
    list = Lower(list);
    for (size_t start = 0; start < list.size();) {
      size_t end = list.find(',', start);
      if (end == std::string::npos) end = list.size();
      std::string mode = list.substr(start, end - start);
      mode.erase(0, mode.find_first_not_of(' '));
      mode.erase(mode.find_last_not_of(' ') + 1);
      if (mode == "permonitorv2" && version >= kTen1703) return "per monitor v2";
      if (mode == "permonitor") return "per monitor v1";
      if (mode == "system") return "system";
      if (mode == "unaware") return "unaware";
      start = end + 1;
    }
  }
  const std::string aware = Lower(dpiAware);
  if (version >= kEightOne && (aware == "true/pm" || aware == "per monitor"))
    return "per monitor v1";
  return aware.rfind("true", 0) == 0 ? "system" : "unaware";
}

// The settings dialog handles no WM_DPICHANGED: per monitor version 1 would leave it
// unscaled on a monitor at another scale than the primary's. Per monitor version 2 where
// the system rescales dialogs itself, system awareness everywhere else.
TEST(ProgramResources, ManifestNeverLeavesTheSettingsDialogUnscaledOnAnotherMonitor) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(self, found)));
  const std::string manifest(bytes, SizeofResource(self, found));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  const std::string dpiAware = ManifestElement(manifest, "dpiAware");
  const std::string dpiAwareness = ManifestElement(manifest, "dpiAwareness");
  const struct {
    Windows version;
    const char* awareness;
  } cases[] = {{kVista, "system"},   {kEight, "system"},   {kEightOne, "system"},
               {kTen1511, "system"}, {kTen1607, "system"}, {kTen1703, "per monitor v2"}};
  for (const auto& c : cases)
    EXPECT_EQ(AwarenessOn(c.version, dpiAware, dpiAwareness), c.awareness) << c.version;
}

}  // namespace
