// Hooks of the native build's Windows shim, for the host program and tests: they
// play the part that patching an import address table plays on Windows.
#pragma once

#include "platform_native.h"

#define WINSHIM_API extern "C" __attribute__((visibility("default")))

// Answers MessageBoxA instead of the default (print to stderr and answer Abort).
using WinShimMessageBox = int (*)(const char *text, const char *caption, unsigned style);
WINSHIM_API void WinShimSetMessageBox(WinShimMessageBox handler);

// Wraps GetProcAddress (for instance to count or hide look-ups); null restores it.
using WinShimGetProcAddress = FARPROC (*)(HMODULE module, const char *nameOrOrdinal);
WINSHIM_API void WinShimSetGetProcAddress(WinShimGetProcAddress handler);
WINSHIM_API FARPROC WinShimRealGetProcAddress(HMODULE module, const char *nameOrOrdinal);

// Makes GetModuleFileNameA fail (return 0).
WINSHIM_API void WinShimSetModuleFileNameFails(int fails);
// Makes GetModuleFileNameA give this path (null: the real one) as older Windows
// do: at most the buffer's size in characters, terminated only when it fits.
WINSHIM_API void WinShimSetModuleFileName(const char *path);

// What RaiseException throws in the native build.
struct WinShimException {
    DWORD code;
    DWORD flags;
    ULONG_PTR argument;
};
