// A library that loads but has no export ordinal 14: a viewer without its entry.
#include <windows.h>

extern "C" __declspec(dllexport) int WINAPI NotTheEntry() { return 0; }
