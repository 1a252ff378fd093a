#include "host/linux_modes_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace {

// SIGTERM and SIGINT write a byte here; every wait polls the reading end.
int signalPipe[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  if (write(signalPipe[1], &byte, 1) < 0) {
    // The pipe is full: a stop is already waiting to be read.
  }
  errno = saved;
}

}  // namespace

int InstallStopSignals() {
  if (signalPipe[0] >= 0) return signalPipe[0];
  if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGTERM, &action, nullptr) != 0 || sigaction(SIGINT, &action, nullptr) != 0)
    return -1;
  // A write to a closed connection then fails with an error (into the connection's own error
  // path) instead of ending the process.
  signal(SIGPIPE, SIG_IGN);
  return signalPipe[0];
}
