// Tells where the screen saver looks for a file of the system directory: the directory
// from GetSystemDirectoryA, a backslash and the name, as Help builds its path. Prints
// that path; exits 0 when the file is there, 1 when it is not, 2 on a bad call.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  char path[MAX_PATH];
  UINT length = GetSystemDirectoryA(path, MAX_PATH);
  if (length == 0 || length + 1 + std::strlen(argv[1]) >= MAX_PATH) return 2;
  std::strcat(path, "\\");
  std::strcat(path, argv[1]);
  std::printf("%s\n", path);
  return GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES ? 1 : 0;
}
