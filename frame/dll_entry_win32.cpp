// The image's entry point of pim.dll (set at link time). Only the DLL has it: a
// program that links the plug-in's code for tests keeps its own entry.
#include "frame.h"
#include "platform.h"

// The runtime's entry point; it initialises the runtime and calls DllMain.
extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE, DWORD, LPVOID);

// The attach step runs first on attach and last on detach, so that it never depends
// on the runtime being initialised.
extern "C" BOOL WINAPI PimDllEntry(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH || reason == DLL_THREAD_ATTACH) {
        pim::AttachStep(module, reason, reserved);
        return DllMainCRTStartup(module, reason, reserved);
    }
    BOOL result = DllMainCRTStartup(module, reason, reserved);
    pim::AttachStep(module, reason, reserved);
    return result;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
