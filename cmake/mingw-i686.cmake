# Cross-compiling for 32-bit Windows with the posix-thread mingw-w64 compilers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# The P6 baseline (Pentium Pro, Pentium II): x87 arithmetic, no SSE or MMX, which
# processors before the Pentium 4 lack and Windows 95 and NT 4 never enable. Doubles are
# rounded as on x86-64 because every drawing pass sets x87 double precision itself.
set(CMAKE_C_FLAGS_INIT "-march=i686 -mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -mfpmath=387")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
