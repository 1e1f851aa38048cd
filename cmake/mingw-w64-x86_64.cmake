# Cross build of velstram.exe for 64-bit Windows with Debian's MinGW-w64 (posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELSTRAM_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELSTRAM_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELSTRAM_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VELSTRAM_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELSTRAM_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Users get one file to copy: the C++ runtime and winpthread are linked in, so only
# Windows' own DLLs are needed.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
