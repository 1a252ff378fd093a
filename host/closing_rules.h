// The closing rule for pointer motion that every full-screen saver shares, the Windows
// one and the Wayland one: plain arithmetic on pixel positions, no state.
#pragma once

#include <cstdint>

// Pointer motion ends the saver only beyond this many pixels, across plus down, from where
// the pointer was first seen, so that a table's vibration or a jittery mouse does not.
constexpr uint32_t kPointerMoveLimit = 4;

// True when the pointer at (x, y) lies beyond kPointerMoveLimit from (fromX, fromY). Small
// movements add up when the caller keeps the same reference. Any coordinates, without
// overflow.
constexpr bool PointerMovedTooFar(int32_t x, int32_t y, int32_t fromX, int32_t fromY) {
  const int64_t across = static_cast<int64_t>(x) - fromX;
  const int64_t down = static_cast<int64_t>(y) - fromY;
  return (across < 0 ? -across : across) + (down < 0 ? -down : down) > kPointerMoveLimit;
}
