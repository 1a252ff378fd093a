// How long the drivers wait for the program: as the tests' harness, that many times
// longer than at full speed as LUMERIN_E2E_TIME_SCALE says (1 unless set), for runs where
// the program starts far more slowly (a 32-bit program under an emulator).
#pragma once

#include <windows.h>

#include <cstdlib>

inline DWORD Patience(DWORD milliseconds) {
  char text[32];
  const DWORD length = GetEnvironmentVariableA("LUMERIN_E2E_TIME_SCALE", text, sizeof text);
  const double scale = length > 0 && length < sizeof text ? std::atof(text) : 1.0;
  return scale > 1.0 ? static_cast<DWORD>(milliseconds * scale) : milliseconds;
}
