#include "host/verify_quiet.h"

bool WithinVerifyQuietTime(uint32_t now, uint32_t lastVerifyTick) {
  if (lastVerifyTick == kNeverVerified) return false;
  return static_cast<uint32_t>(now - lastVerifyTick) < kVerifyQuietMs;
}
