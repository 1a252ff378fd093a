// Values that start-up sets once, before any mode runs, and every later piece reads:
// the program's module instance and whether the system is of the 95/98 family.
// Written on the main thread by DispatchMode only.
#pragma once

#include <windows.h>

#include <cstdint>

extern HINSTANCE moduleInstance;
extern int32_t win9xFamily;  // 1 on the 95/98 family, else 0
