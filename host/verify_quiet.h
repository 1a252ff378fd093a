// When the saver may ask the system's password check again: a close request that comes
// too soon after the last check ended is refused without asking. Pure arithmetic on
// tick counts, no state; the host calls it on the main thread.
#pragma once

#include <cstdint>

// The last check's end time before any check has run.
constexpr uint32_t kNeverVerified = 0xFFFFFFFF;

// Close requests this soon after a refused password are refused without asking again:
// the keystrokes that dismissed the password box must not reopen it.
constexpr uint32_t kVerifyQuietMs = 200;

// True when a close request at tick `now` falls within the quiet time after the check
// that ended at `lastVerifyTick`. Millisecond tick counts wrap every 2^32 ms (about 49.7
// days), so the time between them is their difference modulo 2^32.
bool WithinVerifyQuietTime(uint32_t now, uint32_t lastVerifyTick);
