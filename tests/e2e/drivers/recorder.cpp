// Stands in for a program the system starts on the user's behalf (a web browser): it
// appends its arguments after the first, one per line, to the file named first.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  FILE* out = std::fopen(argv[1], "a");
  if (!out) return 1;
  for (int i = 2; i < argc; ++i) std::fprintf(out, "%s\n", argv[i]);
  std::fclose(out);
  return 0;
}
