# Cross build of KVZ_Comp.dll for 32-bit Windows with MinGW-w64 (i686).
#   cmake -S . -B build/mingw -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KVZ_MINGW_PREFIX i686-w64-mingw32 CACHE STRING "Target triplet of the MinGW-w64 tools")
set(CMAKE_C_COMPILER ${KVZ_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${KVZ_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${KVZ_MINGW_PREFIX}-windres)

# Programs run on the build machine; headers and libraries come from the target.
set(CMAKE_FIND_ROOT_PATH /usr/${KVZ_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs of the cross build run under Wine when one is available.
find_program(KVZ_WINE_PROGRAM wine)
if(KVZ_WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KVZ_WINE_PROGRAM})
endif()
