// The Windows services that the plug-in uses, as the native development build
// provides them (standin/native/winshim.cpp). Same names and meanings as on Windows.
#pragma once

#include <cstdint>

using HMODULE = void *;
using HINSTANCE = void *;
using BOOL = int;
using DWORD = uint32_t;
using FARPROC = void *;
using ULONG_PTR = uintptr_t;

#define WINAPI
#define TRUE 1
#define FALSE 0
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define EXCEPTION_NONCONTINUABLE 1
#define MB_ABORTRETRYIGNORE 0x2
#define MB_ICONERROR 0x10
#define MB_TASKMODAL 0x2000
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5

extern "C" {
HMODULE GetModuleHandleA(const char *moduleName);
FARPROC GetProcAddress(HMODULE module, const char *nameOrOrdinal);
DWORD GetModuleFileNameA(HMODULE module, char *buffer, DWORD size);
char *lstrcpyA(char *dst, const char *src);
int MessageBoxA(void *owner, const char *text, const char *caption, unsigned style);
int wsprintfA(char *buffer, const char *format, ...);
[[noreturn]] void RaiseException(DWORD code, DWORD flags, DWORD count, const ULONG_PTR *arguments);
}

// What a module exports by ordinal in the native build: each module that exports by
// ordinal defines the function `ordinal_export_table`, which returns its table, ended
// by a zero ordinal. (A function, because every module has one: a data symbol of the
// same name in several modules would break the one-definition rule.)
struct OrdinalExport {
    uint32_t ordinal;
    void *address;
};
