#include "ui/configure_win.h"

#include <commctrl.h>
#include <commdlg.h>

#include "core/catalogue.h"
#include "host/startup_win.h"
#include "host/system_path_win.h"
#include "render/palette.h"
#include "render/palette_win.h"
#include "res/resource.h"
#include "settings/settings.h"
#include "settings/settings_win.h"
#include "ui/about_win.h"
#include "ui/dialog_values.h"
#include "ui/help_win.h"

COLORREF customColours[16];

namespace {

constexpr int kPauseMin = 0, kPauseMax = 50;
constexpr int kWidthMin = 1, kWidthMax = 5;
constexpr int kAngleMin = 0, kAngleMax = 360;

// The controls of the settings that the slideshow picks by itself or does not use,
// besides the ten colour swatches: fractal, palette list, iteration range, angle, line
// width, and the colour group's frame.
constexpr int kFixedFractalControls[] = {
    IDC_FRACTAL_LABEL, IDC_FRACTAL_LIST, IDC_PALETTE_LABEL, IDC_PALETTE_LIST, IDC_FROM_LABEL,
    IDC_ITER_FROM,     IDC_TO_LABEL,     IDC_ITER_TO,       IDC_ANGLE_GROUP,  IDC_ANGLE_TRACK,
    IDC_ANGLE_LABEL,   IDC_ANGLE_VALUE,  IDC_ANGLE_UNIT,    IDC_WIDTH_GROUP,  IDC_WIDTH_LABEL,
    IDC_WIDTH_VALUE,   IDC_WIDTH_UNIT,   IDC_WIDTH_TRACK,   IDC_COLOUR_GROUP};

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  return SendDlgItemMessageA(dialog, id, message, wParam, lParam);
}

void SetTrackRange(HWND dialog, int id, int low, int high) {
  Send(dialog, id, TBM_SETRANGE, TRUE, MAKELPARAM(low, high));
}

void SetTrackPosition(HWND dialog, int id, int32_t position) {
  Send(dialog, id, TBM_SETPOS, TRUE, position);
}

int32_t TrackPosition(HWND dialog, int id) {
  return static_cast<int32_t>(Send(dialog, id, TBM_GETPOS));
}

// The selected item, or -1 when there is none.
int32_t Selection(HWND dialog, int id) {
  return static_cast<int32_t>(Send(dialog, id, CB_GETCURSEL));
}

void Select(HWND dialog, int id, int32_t index) { Send(dialog, id, CB_SETCURSEL, index); }

void AddItem(HWND dialog, int id, const char* text) {
  Send(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

void ShowPause(HWND dialog) {
  char text[kValueTextSize];
  PauseText(Settings.TimeOut, text);
  SetDlgItemTextA(dialog, IDC_PAUSE_VALUE, text);
}

void ShowNumber(HWND dialog, int id, int32_t value) {
  char text[kValueTextSize];
  DecimalText(value, text);
  SetDlgItemTextA(dialog, id, text);
}

// Both iteration lists offer generations 0 .. maxIter - 1 of the selected entry, shown
// counted from 1.
void FillIterationLists(HWND dialog) {
  Send(dialog, IDC_ITER_FROM, CB_RESETCONTENT);
  Send(dialog, IDC_ITER_TO, CB_RESETCONTENT);
  const int32_t count = FractalEntry(Settings.NumFractal).maxIter;
  for (int32_t k = 1; k <= count; ++k) {
    char text[kValueTextSize];
    DecimalText(k, text);
    AddItem(dialog, IDC_ITER_FROM, text);
    AddItem(dialog, IDC_ITER_TO, text);
  }
}

void EnableFixedFractalGroup(HWND dialog, bool enable) {
  for (int id : kFixedFractalControls) EnableWindow(GetDlgItem(dialog, id), enable);
  for (int id = IDC_COLOR0; id <= IDC_COLOR9; ++id) EnableWindow(GetDlgItem(dialog, id), enable);
}

uint32_t* SwatchColour(int id) {
  if (id >= IDC_COLOR0 && id <= IDC_COLOR9) return &colors[id - IDC_COLOR0];
  if (id == IDC_BACKGROUND) return &Settings.Background;
  return nullptr;
}

// Repaints a swatch now, through the same WM_DRAWITEM path that palette loading uses.
void RepaintSwatch(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  DRAWITEMSTRUCT item = {};
  GetClientRect(button, &item.rcItem);
  item.hDC = GetDC(button);
  SendMessageA(dialog, WM_DRAWITEM, id, reinterpret_cast<LPARAM>(&item));
  ReleaseDC(button, item.hDC);
}

BOOL OnInitDialog(HWND dialog) {
  SetTrackRange(dialog, IDC_PAUSE_TRACK, kPauseMin, kPauseMax);
  SetTrackRange(dialog, IDC_WIDTH_TRACK, kWidthMin, kWidthMax);
  SetTrackRange(dialog, IDC_ANGLE_TRACK, kAngleMin, kAngleMax);
  for (const FractalRecord& entry : FractalCatalogue)
    AddItem(dialog, IDC_FRACTAL_LIST, entry.title);
  for (const char* name : paletteNames) AddItem(dialog, IDC_PALETTE_LIST, name);
  for (const char* name : kMonitorLayoutNames) AddItem(dialog, IDC_MONITORS_LIST, name);

  LoadSettings();
  // The store already keeps what it loads in range; the lists and the catalogue are only
  // ever indexed with clamped values all the same.
  ClampForDialog(Settings);

  FillIterationLists(dialog);
  ShowPause(dialog);
  ShowNumber(dialog, IDC_WIDTH_VALUE, Settings.LineWidth);
  ShowNumber(dialog, IDC_ANGLE_VALUE, Settings.Angle);
  SetTrackPosition(dialog, IDC_PAUSE_TRACK, Settings.TimeOut);
  SetTrackPosition(dialog, IDC_WIDTH_TRACK, Settings.LineWidth);
  SetTrackPosition(dialog, IDC_ANGLE_TRACK, Settings.Angle);
  Select(dialog, IDC_FRACTAL_LIST, Settings.NumFractal);
  Select(dialog, IDC_PALETTE_LIST, Settings.CurPalette);
  Select(dialog, IDC_ITER_FROM, Settings.iterFrom);
  Select(dialog, IDC_ITER_TO, Settings.iterTo);
  Select(dialog, IDC_MONITORS_LIST, Settings.Monitors);

  const bool slideshow = Settings.DefaultMode != 0;
  CheckDlgButton(dialog, IDC_SLIDESHOW, slideshow ? BST_CHECKED : BST_UNCHECKED);
  EnableFixedFractalGroup(dialog, !slideshow);
  return TRUE;
}

BOOL OnDrawItem(int id, const DRAWITEMSTRUCT* item) {
  // Only hDC and rcItem can be relied on: palette loading sends this message itself
  // with nothing else filled in.
  const uint32_t* colour = SwatchColour(id);
  if (colour != nullptr && item != nullptr) {
    HBRUSH brush = CreateSolidBrush(*colour);
    FillRect(item->hDC, &item->rcItem, brush);
    DeleteObject(brush);
  }
  return TRUE;
}

// Scroll codes acted on: line and page steps (0 .. 3), thumb tracking (5), top and
// bottom (6, 7). The release (4) and the end of tracking (8) repeat a position already
// taken.
bool IsMovingScrollCode(WORD code) {
  return code <= TB_PAGEDOWN || (code >= TB_THUMBTRACK && code <= TB_BOTTOM);
}

void OnHorizontalScroll(HWND dialog, WORD code, HWND control) {
  if (!IsMovingScrollCode(code)) return;
  if (control == GetDlgItem(dialog, IDC_PAUSE_TRACK)) {
    Settings.TimeOut = TrackPosition(dialog, IDC_PAUSE_TRACK);
    ShowPause(dialog);
  } else {
    Settings.Angle = TrackPosition(dialog, IDC_ANGLE_TRACK);
    ShowNumber(dialog, IDC_ANGLE_VALUE, Settings.Angle);
  }
}

void OnVerticalScroll(HWND dialog, WORD code) {
  if (!IsMovingScrollCode(code)) return;
  Settings.LineWidth = TrackPosition(dialog, IDC_WIDTH_TRACK);
  ShowNumber(dialog, IDC_WIDTH_VALUE, Settings.LineWidth);
}

void OnFractalChosen(HWND dialog) {
  const int32_t index = Selection(dialog, IDC_FRACTAL_LIST);
  if (index < 0 || index >= kFractalCount) return;
  Settings.NumFractal = index;
  const FractalRecord& entry = FractalCatalogue[index];
  FillIterationLists(dialog);
  Select(dialog, IDC_ITER_FROM, 0);
  Select(dialog, IDC_ITER_TO, entry.maxIter - 1);
  Settings.iterFrom = 0;
  Settings.iterTo = entry.maxIter - 1;
  Settings.Angle = entry.startAngle;
  SetTrackPosition(dialog, IDC_ANGLE_TRACK, Settings.Angle);
  ShowNumber(dialog, IDC_ANGLE_VALUE, Settings.Angle);
}

void OnIterationChosen(HWND dialog, int id) {
  const int32_t from = Selection(dialog, IDC_ITER_FROM);
  const int32_t to = Selection(dialog, IDC_ITER_TO);
  if (id == IDC_ITER_FROM) {
    if (from < 0) return;
    const IterationRange range = RangeAfterFromChoice(from, to);
    if (range.to != to) Select(dialog, IDC_ITER_TO, range.to);
    Settings.iterFrom = range.from;
    Settings.iterTo = range.to;
  } else {
    if (to < 0) return;
    const IterationRange range = RangeAfterToChoice(from < 0 ? to : from, to);
    if (range.from != from) Select(dialog, IDC_ITER_FROM, range.from);
    Settings.iterFrom = range.from;
    Settings.iterTo = range.to;
  }
}

void OnPaletteChosen(HWND dialog) {
  const int32_t index = Selection(dialog, IDC_PALETTE_LIST);
  if (index < 0 || index >= kPaletteCount) return;
  Settings.CurPalette = index;
  ApplyPalette(index, dialog);
}

void OnMonitorsChosen(HWND dialog) {
  const int32_t index = Selection(dialog, IDC_MONITORS_LIST);
  if (index >= 0 && index < kMonitorLayoutCount) Settings.Monitors = index;
}

void OnSlideshowClicked(HWND dialog) {
  switch (IsDlgButtonChecked(dialog, IDC_SLIDESHOW)) {
    case BST_CHECKED:
      EnableFixedFractalGroup(dialog, false);
      break;
    case BST_UNCHECKED:
      EnableFixedFractalGroup(dialog, true);
      break;
  }
}

// The colour chooser's library is loaded at the first click on a swatch, not with the
// program: every start of the saver would load it (and the printing libraries it pulls
// in) for nothing.
bool ChooseColour(CHOOSECOLORA* chooser) {
  typedef BOOL(WINAPI * ChooseColorProc)(CHOOSECOLORA*);
  static ChooseColorProc choose = nullptr;  // the dialog's thread only
  if (choose == nullptr) {
    const HMODULE library = LoadSystemLibrary("COMDLG32.DLL");
    if (library != nullptr) {
      choose = reinterpret_cast<ChooseColorProc>(
          reinterpret_cast<void*>(GetProcAddress(library, "ChooseColorA")));
    }
  }
  return choose != nullptr && choose(chooser);
}

void OnSwatchClicked(HWND dialog, int id) {
  uint32_t* colour = SwatchColour(id);
  CHOOSECOLORA chooser = {};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = dialog;
  chooser.rgbResult = *colour;
  chooser.lpCustColors = customColours;
  chooser.Flags = CC_RGBINIT | CC_FULLOPEN;
  if (ChooseColour(&chooser)) *colour = chooser.rgbResult;
  RepaintSwatch(dialog, id);
}

void OnOk(HWND dialog) {
  const int32_t index = Selection(dialog, IDC_FRACTAL_LIST);
  Settings.NumFractal = index >= 0 && index < kFractalCount ? index : 0;
  switch (IsDlgButtonChecked(dialog, IDC_SLIDESHOW)) {
    case BST_CHECKED:
      Settings.DefaultMode = 1;
      break;
    case BST_UNCHECKED:
      Settings.DefaultMode = 0;
      break;
  }
  SaveSettings();
  EndDialog(dialog, 0);
}

void OnCommand(HWND dialog, int id, WORD notification) {
  switch (id) {
    case IDC_FRACTAL_LIST:
      if (notification == CBN_SELCHANGE) OnFractalChosen(dialog);
      return;
    case IDC_ITER_FROM:
    case IDC_ITER_TO:
      if (notification == CBN_SELCHANGE) OnIterationChosen(dialog, id);
      return;
    case IDC_PALETTE_LIST:
      if (notification == CBN_SELCHANGE) OnPaletteChosen(dialog);
      return;
    case IDC_MONITORS_LIST:
      if (notification == CBN_SELCHANGE) OnMonitorsChosen(dialog);
      return;
    case IDC_SLIDESHOW:
      OnSlideshowClicked(dialog);
      return;
    case IDOK:
      OnOk(dialog);
      return;
    case IDCANCEL:
      EndDialog(dialog, 0);
      return;
    case IDC_HELP_BUTTON:
      ShowHelpFile(dialog);
      return;
    case IDC_ABOUT:
      DialogBoxParamA(moduleInstance, MAKEINTRESOURCEA(IDD_ABOUT), dialog, AboutDialogProc, 0);
      return;
  }
  if (SwatchColour(id) != nullptr) OnSwatchClicked(dialog, id);
}

// The common controls, loaded only for the dialog: an import would load them at every
// start of the saver too, where nothing uses them and Wine takes some 20 ms for them.
// From the system directory by its full path, never by bare name. Where the system has
// activation contexts (XP on), the manifest's dependency redirects that load to version 6
// in the side-by-side store, as it redirects every load of the system directory's copy.
HMODULE LoadCommonControls() { return LoadSystemLibrary("COMCTL32.DLL"); }

}  // namespace

BOOL RegisterConfigureClasses(HINSTANCE) {
  // The dialog's track bars need their class before the template is read. Version 6 of
  // the common controls, which the manifest asks for, registers classes only through
  // InitCommonControlsEx; version 4.00, that of 95 and NT 4 as shipped, lacks it, and
  // InitCommonControls, which registers the track bar class there, is the fallback.
  const HMODULE controls = LoadCommonControls();
  // Without the library the track bars have no class and the dialog cannot be made; the
  // mode then ends as it does whenever the dialog fails.
  if (controls == nullptr) return TRUE;
  using InitExProc = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  using InitProc = void(WINAPI*)();
  const auto initEx = reinterpret_cast<InitExProc>(
      reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControlsEx")));
  INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_BAR_CLASSES};
  if (initEx != nullptr && initEx(&classes)) return TRUE;
  const auto init = reinterpret_cast<InitProc>(
      reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControls")));
  if (init != nullptr) init();
  return TRUE;
}

INT_PTR CALLBACK ConfigureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_DRAWITEM:
      return OnDrawItem(static_cast<int>(wParam), reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
      OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
      return FALSE;
    case WM_HSCROLL:
      OnHorizontalScroll(dialog, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
      return FALSE;
    case WM_VSCROLL:
      OnVerticalScroll(dialog, LOWORD(wParam));
      return FALSE;
  }
  return FALSE;
}
