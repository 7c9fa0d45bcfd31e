// For a test program that links the plug-in's code (pim_core) on Windows: the
// plug-in's image entry chains to the runtime's DLL entry, which a program does
// not have. A program never runs that image entry, so this one is never called.
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) { return TRUE; }
