# 32-bit x86 Linux build on an x86-64 machine with GCC's multilib support:
# SSE2 doubles (no x87 extended precision), run under qemu-i386-static called
# directly, so that it also runs where the kernel refuses 32-bit programs.
#   cmake --preset i386   (GoogleTest for i386 comes from /usr/src/googletest,
#                          built by scripts/test.sh; see CMakePresets.json)
# The system name is left alone: the build still counts as native, so its
# test programs are added and run through the emulator below.
set(KVZ_I386_FLAGS "-m32 -msse2 -mfpmath=sse")
set(CMAKE_C_FLAGS_INIT "${KVZ_I386_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${KVZ_I386_FLAGS}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-m32")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

find_program(KVZ_QEMU_I386 qemu-i386-static REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${KVZ_QEMU_I386})
