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

// Each signal's pipe, -1 for a signal that has none yet.
struct SignalPipe {
  int readEnd = -1, writeEnd = -1;
};
SignalPipe signalPipes[NSIG];

void OnSignal(int number) {
  const int saved = errno;
  const char byte = 1;
  if (write(signalPipes[number].writeEnd, &byte, 1) < 0) {
    // The pipe is full: the signal is already waiting to be read.
  }
  errno = saved;
}

// Makes `signal` write into `pipe`, as PipeSignal says.
int Route(int signal, SignalPipe pipe, bool restart) {
  signalPipes[signal] = pipe;
  struct sigaction action = {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = restart ? SA_RESTART : 0;
  if (sigaction(signal, &action, nullptr) != 0) {
    signalPipes[signal] = SignalPipe();
    return -1;
  }
  return pipe.readEnd;
}

}  // namespace

int PipeSignal(int signal, bool restart) {
  if (signal <= 0 || signal >= NSIG) return -1;
  if (signalPipes[signal].readEnd >= 0) return signalPipes[signal].readEnd;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  if (Route(signal, {ends[0], ends[1]}, restart) < 0) {
    close(ends[0]);
    close(ends[1]);
    return -1;
  }
  return ends[0];
}

int InstallStopSignals() {
  // SIGINT writes into SIGTERM's pipe: one descriptor stands for both.
  const int stop = PipeSignal(SIGTERM, false);
  if (stop < 0 || Route(SIGINT, signalPipes[SIGTERM], false) < 0) return -1;
  // A write to a closed connection then fails with an error (into the connection's own error
  // path) instead of ending the process.
  signal(SIGPIPE, SIG_IGN);
  return stop;
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
