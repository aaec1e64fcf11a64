// Entry point of the Windows module. The slot table and the generator state
// are static storage, set up by the loader before this runs, so there is
// nothing to do on attach or detach: every call reports success.
#ifdef _WIN32

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD /*reason*/, LPVOID /*reserved*/) {
    return TRUE;
}

#endif  // _WIN32
