#include "host/startup_win.h"

HINSTANCE moduleInstance = nullptr;
int32_t win9xFamily = 0;
