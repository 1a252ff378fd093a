// Reports what a running program holds, for the long runs and the figures: its GDI
// objects, its private memory and its working set, found by the program's file name.
//   procstat NAME    one line per process of that name:
//                    pid P gdi G by SOURCE private BYTES workingset BYTES
// Exit code 1 when no process has that name.
#include <windows.h>
// After windows.h, which they build on.
#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>

namespace {

// Wine's per-process GDI handle table, which its PEB points to as Windows' does: 65,536
// entries of 24 bytes, the object type in byte 14 (0 for a free entry).
#if defined(_WIN64)
constexpr DWORD kHandleTableOffsetInPeb = 0xF8;
#else
constexpr DWORD kHandleTableOffsetInPeb = 0x94;
#endif
constexpr DWORD kHandleEntries = 0x10000;
constexpr DWORD kHandleEntryBytes = 24;
constexpr DWORD kEntryTypeByte = 14;

struct BasicInformation {
  LONG exitStatus;
  void* peb;
  ULONG_PTR rest[4];
};
using QueryProcess = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);

// The objects in use in the process's handle table; -1 when it cannot be read.
long CountHandleTable(HANDLE process) {
  const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  BasicInformation basic = {};
  if (query == nullptr || query(process, 0, &basic, sizeof basic, nullptr) != 0) return -1;
  ULONG_PTR table = 0;  // the measured program is built as this driver is
  if (!ReadProcessMemory(process, static_cast<char*>(basic.peb) + kHandleTableOffsetInPeb, &table,
                         sizeof table, nullptr) ||
      table == 0)
    return -1;
  static unsigned char entries[kHandleEntries * kHandleEntryBytes];
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries, sizeof entries, nullptr))
    return -1;
  long used = 0;
  for (DWORD i = 0; i < kHandleEntries; ++i)
    used += entries[i * kHandleEntryBytes + kEntryTypeByte] != 0;
  return used;
}

void Report(DWORD pid) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (process == nullptr) {
    std::printf("pid %lu unreadable %lu\n", pid, GetLastError());
    return;
  }
  // Wine answers GetGuiResources with "not implemented"; its handle table says the same.
  SetLastError(0);
  long gdi = static_cast<long>(GetGuiResources(process, GR_GDIOBJECTS));
  const char* source = "GetGuiResources";
  if (gdi == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
    gdi = CountHandleTable(process);
    source = "handle-table";
  }
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                            sizeof memory))
    memory = {};
  std::printf("pid %lu gdi %ld by %s private %lu workingset %lu\n", pid, gdi, source,
              static_cast<unsigned long>(memory.PrivateUsage),
              static_cast<unsigned long>(memory.WorkingSetSize));
  CloseHandle(process);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 2;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int found = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (lstrcmpiA(entry.szExeFile, argv[1]) != 0) continue;
    Report(entry.th32ProcessID);
    ++found;
  }
  CloseHandle(snapshot);
  return found > 0 ? 0 : 1;
}
