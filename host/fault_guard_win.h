// The fault guard around the one mode a process runs: a fault that nothing inside the
// mode handles is put to the system's last-chance handling, and when the system decides
// to end the program the screen-saver-running state is switched off first (95/98
// family), so that the system never believes a saver still runs. A fault on another
// thread of the process switches the state off through the last-chance filter the
// guard installs. RunUnderFaultGuard is called on the main thread only.
#pragma once

#include <cstdint>

using GuardedMode = int32_t (*)(const char* arguments);

// Runs mode(arguments) under the guard and returns its result. After a fault that the
// system chose to handle, returns the fault's exception code instead.
int32_t RunUnderFaultGuard(GuardedMode mode, const char* arguments);
