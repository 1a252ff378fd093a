// The last-chance handler for a fault that nothing else handles, on any thread of the
// process: it switches the system's screen-saver-running state off (95/98 family) and
// ends the process at once, so that no crash report waits behind a topmost saver window.
// Installed once by start-up on the main thread.
#pragma once

void InstallFaultGuard();
