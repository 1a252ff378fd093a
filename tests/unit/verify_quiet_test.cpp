#include "host/verify_quiet.h"

#include <gtest/gtest.h>

#include "host/closing_rules.h"

namespace {

TEST(VerifyQuietTime, CloseRequestsSoonAfterACheckAreRefusedWithoutAsking) {
  struct Case {
    uint32_t lastVerifyTick;
    uint32_t now;
    bool quiet;
  };
  const Case cases[] = {
      {kNeverVerified, 0, false},  // no check has run yet: ask
      {kNeverVerified, 100, false},
      {kNeverVerified, kNeverVerified, false},
      {1000, 1000, true},  // at once after the check
      {1000, 1199, true},
      {1000, 1200, false},  // 200 ms have passed: ask again
      {1000, 1201, false},
      {1000, 90000, false},
      // The tick counter wraps to 0 after 2^32 - 1 ms; the time between stays right.
      {0xFFFFFF9Cu, 0x00000063u, true},   // 100 ms before the wrap, 99 ms after it
      {0xFFFFFF9Cu, 0x00000064u, false},  // 100 + 100 ms
      {0xFFFFFFFEu, 0x000000C5u, true},   // 199 ms across the wrap
      {0xFFFFFFFEu, 0x000000C6u, false},  // 200 ms across the wrap
      {0xFFFFFF38u, 0xFFFFFFFFu, true},   // a current tick equal to "never" is a tick
      {0x00000000u, 0x000000C7u, true},   // a check that ended exactly at the wrap
      // A clock that seems to run backwards reads as almost 2^32 ms: ask.
      {1000, 999, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "last " << c.lastVerifyTick << " now " << c.now);
    EXPECT_EQ(WithinVerifyQuietTime(c.now, c.lastVerifyTick), c.quiet);
  }
}

TEST(ClosingRules, PointerMotionEndsTheSaverOnlyBeyondFourPixelsAcrossPlusDown) {
  struct Case {
    int32_t x, y, fromX, fromY;
    bool ends;
  };
  const Case cases[] = {
      {400, 300, 400, 300, false},  // the position the pointer was first seen at
      {404, 300, 400, 300, false},  // four pixels across
      {398, 302, 400, 300, false},  // two across and two down add up to four
      {405, 300, 400, 300, true},   // five across
      {397, 302, 400, 300, true},   // three across and two down
      {-643, 0, -640, -2, true},    // left of the primary, at negative coordinates
      // Coordinates far apart do not wrap around into a small distance.
      {INT32_MAX, 0, INT32_MIN, 0, true},
      {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " from " << c.fromX << "," << c.fromY);
    EXPECT_EQ(PointerMovedTooFar(c.x, c.y, c.fromX, c.fromY), c.ends);
  }
}

}  // namespace
