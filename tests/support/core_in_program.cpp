// pim_core in a Windows test program: the plug-in's image entry hands over to the
// runtime's DLL entry, which a program has not got. A program never runs the
// plug-in's image entry, so this one is never called; it only completes the link.
#include <windows.h>

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID) { return FALSE; }
