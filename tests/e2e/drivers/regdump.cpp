// Prints every value of a key under HKEY_CURRENT_USER exactly as stored, one line each
// in the key's own order: name, type, size and the bytes in hex. Unlike "reg query" it
// shows values whose size does not fit their type as they are.
//   regdump PATH     exit code 1 when the key is missing
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, argv[1], 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
  DWORD longestName = 0, longestData = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                   &longestData, nullptr, nullptr);
  std::vector<char> name(longestName + 1);
  std::vector<BYTE> data(longestData + 1);
  for (DWORD index = 0;; ++index) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    const LONG status =
        RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) {
      std::printf("error %ld at %lu\n", status, index);
      RegCloseKey(key);
      return 3;
    }
    std::printf("%s type %lu size %lu:", name.data(), type, dataSize);
    for (DWORD i = 0; i < dataSize; ++i) std::printf(" %02x", data[i]);
    std::printf("\n");
  }
  RegCloseKey(key);
  return 0;
}
