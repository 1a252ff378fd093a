#include "host/system_path_win.h"

#include <windows.h>

#include <cstring>

bool SystemFilePath(const char* name, char* path, size_t capacity) {
  if (capacity == 0) return false;
  const UINT length = GetSystemDirectoryA(path, static_cast<UINT>(capacity));
  // 0 is a failure; a length of the buffer or more is the size it would have needed.
  if (length == 0 || length >= capacity) {
    path[0] = '\0';
    return false;
  }
  // A system directory at the root of a drive ("C:\\") already ends in a separator.
  const size_t separator = path[length - 1] == '\\' ? 0 : 1;
  const size_t nameLength = std::strlen(name);
  if (length + separator + nameLength + 1 > capacity) {
    path[0] = '\0';
    return false;
  }
  if (separator) path[length] = '\\';
  std::memcpy(path + length + separator, name, nameLength + 1);
  return true;
}

HMODULE LoadSystemLibrary(const char* name) {
  char path[MAX_PATH + 32];
  if (!SystemFilePath(name, path, sizeof path)) return nullptr;
  return LoadLibraryA(path);
}
