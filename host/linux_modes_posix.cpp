#include "host/linux_modes_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

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

void TrimFileMappings() {
  FILE* maps = std::fopen("/proc/self/smaps", "re");
  if (maps == nullptr) return;
  // A mapping's first line gives its range and whether it is a file; its "Anonymous" line
  // how much of it was copied on a write (relocations, data). Only a mapping with no such
  // page is taken: dropping a copied page would lose what was written into it.
  char line[512];
  uintptr_t start = 0, end = 0;
  bool file = false;
  while (std::fgets(line, sizeof line, maps) != nullptr) {
    uintptr_t from = 0, to = 0;
    char perms[8] = {};
    unsigned long long offset = 0;
    unsigned inode = 0;
    int pathAt = 0;
    if (std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR " %7s %llx %*s %u %n", &from, &to, perms,
                    &offset, &inode, &pathAt) == 5) {
      start = from;
      end = to;
      // A file of its own (not shared memory, which a write may have changed for others).
      file = inode != 0 && perms[3] == 'p' && line[pathAt] == '/';
      continue;
    }
    unsigned long kilobytes = 0;
    if (file && std::sscanf(line, "Anonymous: %lu kB", &kilobytes) == 1) {
      if (kilobytes == 0) madvise(reinterpret_cast<void*>(start), end - start, MADV_DONTNEED);
      file = false;
    }
  }
  std::fclose(maps);
}
