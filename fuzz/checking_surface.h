// A drawing surface for the fuzzers that checks every operation of a drawing pass: pens
// 0 .. 9 only, every end point on the drawing area. It asks the drawing to stop after a
// budget of segments, so that no input can keep a fuzzer busy for long.
#pragma once

#include "render/turtle.h"

class CheckingSurface : public DrawingSurface {
 public:
  explicit CheckingSurface(int segmentBudget) : budget_(segmentBudget) {}

  void Clear() override { ++clears; }
  // A segment may start where "b" or a restore left the turtle, outside the extent of
  // end points (the window clips it); only end points are bound to the drawing area.
  void MoveTo(int, int) override {}
  void SelectPen(int pen) override {
    if (pen < 0 || pen > 9) __builtin_trap();
  }
  void LineTo(int x, int y) override {
    Within(x, clientWidth);
    Within(y, clientHeight);
    ++segments;
  }
  bool Pause(int milliseconds) override {
    if (milliseconds != kSegmentPauseMs) __builtin_trap();
    ++pauses;
    return pauses < budget_;
  }
  bool Exhausted() const { return pauses >= budget_; }

  int clears = 0;
  int segments = 0;
  int pauses = 0;

 private:
  // The mapping keeps every point between the lines m and side - m (a pixel of rounding
  // aside). The margin comes from the width alone, so on a short area they may swap.
  static void Within(int v, int side) {
    const int a = margin, b = side - margin;
    if (v < (a < b ? a : b) - 1 || v > (a < b ? b : a) + 1) __builtin_trap();
  }

  int budget_;
};
