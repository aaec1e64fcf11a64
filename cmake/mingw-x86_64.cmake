# Cross build of KVZ_Comp.dll for 64-bit Windows with MinGW-w64 (x86_64).
#   cmake -S . -B build/mingw64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(KVZ_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triplet of the MinGW-w64 tools")
set(CMAKE_C_COMPILER ${KVZ_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KVZ_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KVZ_MINGW_PREFIX}-windres)

# Programs run on the build machine; headers and libraries come from the target.
set(CMAKE_FIND_ROOT_PATH /usr/${KVZ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs of the cross build run under Wine's 64-bit loader, called
# directly: Debian's `wine` starts the 32-bit one whenever it is installed.
find_program(KVZ_WINE64_PROGRAM wine64 PATHS /usr/lib/wine)
if(KVZ_WINE64_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVZ_WINE64_PROGRAM})
endif()
