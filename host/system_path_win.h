// Full paths of files in the Windows system directory. The system libraries the program
// loads at run time (the password services, the help viewer, the colour chooser and the
// shell) are only ever named this way, and so is the help file when it is not beside the
// program, so that a file of the same name in the current directory or on the PATH can
// never stand in for them. Any thread.
#pragma once

#include <windows.h>

#include <cstddef>

// Writes the system directory, a separator and `name` into `path` (capacity bytes, the
// terminating zero included). False, when the directory cannot be read or the whole
// path does not fit; nothing is ever written past `capacity`.
bool SystemFilePath(const char* name, char* path, size_t capacity);

// Loads the library `name` of the system directory; nullptr when it is not there.
HMODULE LoadSystemLibrary(const char* name);
