#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "render/monitor_layout.h"
#include "saver/monitors_win.h"
#include "settings/settings.h"

namespace {

// The monitors the stand-in look-ups report, in the order they list them: monitor i is
// 100 pixels wide at x = 100 * i, its handle i + 1, its DPI 96 + i.
std::vector<bool> listedPrimary;

BOOL WINAPI ListMonitors(HDC, LPCRECT, MONITORENUMPROC callback, LPARAM data) {
  for (size_t i = 0; i < listedPrimary.size(); ++i)
    if (!callback(reinterpret_cast<HMONITOR>(i + 1), nullptr, nullptr, data)) break;
  return TRUE;
}

BOOL WINAPI DescribeMonitor(HMONITOR monitor, LPMONITORINFO info) {
  const size_t i = reinterpret_cast<size_t>(monitor) - 1;
  if (i >= listedPrimary.size()) return FALSE;
  const LONG left = static_cast<LONG>(100 * i);
  info->rcMonitor = {left, 0, left + 100, 80};
  info->dwFlags = listedPrimary[i] ? MONITORINFOF_PRIMARY : 0;
  return TRUE;
}

HRESULT WINAPI MonitorDpi(HMONITOR monitor, int, UINT* x, UINT* y) {
  *x = *y = static_cast<UINT>(96 + reinterpret_cast<size_t>(monitor) - 1);
  return S_OK;
}

// The primary of `count` monitors at `primary` in the system's list, as the saver collects
// them and as "primary only" and "a figure on each" lay them out.
struct Collected {
  DesktopMonitors desktop;
  FigureLayout primaryOnly;
  FigureLayout onEach;
};

Collected Collect(int count, int primary) {
  listedPrimary.assign(static_cast<size_t>(count), false);
  listedPrimary[static_cast<size_t>(primary)] = true;
  Collected c = {};
  CollectMonitors({ListMonitors, DescribeMonitor, MonitorDpi, 96}, c.desktop);
  const ScreenRect window = {0, 0, 100 * count, 80};
  c.primaryOnly = LayOutFigures(kPrimaryOnly, c.desktop.monitors, c.desktop.count, window, 96);
  c.onEach = LayOutFigures(kFigureOnEach, c.desktop.monitors, c.desktop.count, window, 96);
  return c;
}

TEST(MonitorCollection, ThePrimaryIsKeptWhereverTheSystemListsIt) {
  struct Case {
    int count, primary;
  };
  // Windows promises no order: the primary may come anywhere, past the sixteenth too.
  for (const Case c : {Case{3, 0}, Case{3, 2}, Case{16, 15}, Case{17, 16}, Case{20, 18}}) {
    SCOPED_TRACE(testing::Message() << c.count << " monitors, primary " << c.primary);
    const Collected got = Collect(c.count, c.primary);
    ASSERT_EQ(got.desktop.count, c.count < kMaxMonitors ? c.count : kMaxMonitors);
    const int32_t left = 100 * c.primary;
    ASSERT_EQ(got.primaryOnly.count, 1);
    EXPECT_EQ(got.primaryOnly.areas[0].left, left);
    EXPECT_EQ(got.primaryOnly.areas[0].width, 100);
    EXPECT_EQ(got.primaryOnly.areas[0].dpi, 96 + c.primary);
    ASSERT_GE(got.onEach.count, 1);
    EXPECT_EQ(got.onEach.areas[0].left, left);  // the primary's figure comes first
    int primaries = 0;
    for (int i = 0; i < got.desktop.count; ++i) primaries += got.desktop.monitors[i].primary;
    EXPECT_EQ(primaries, 1);
  }
}

TEST(MonitorCollection, OfMoreThanSixteenTheFirstOnesAreDrawnOn) {
  const Collected got = Collect(20, 0);
  ASSERT_EQ(got.onEach.count, kMaxMonitors);
  for (int i = 0; i < kMaxMonitors; ++i) EXPECT_EQ(got.onEach.areas[i].left, 100 * i);
}

}  // namespace
