// The image's entry point of pim.dll (set at link time). Only the DLL has it: a
// program that links the plug-in's code for tests keeps its own entry.
//
// pim.dll links no start-up code of a C or C++ runtime: the C functions it calls
// come from the system's msvcrt.dll, which the loader has initialised before this
// image runs. So the attach step comes first and nothing of a runtime runs before
// it; then the static constructors the compiler listed run (today there are none).
// There is nothing to clean up on detach: a static object that needed a destructor
// would need atexit, which the image does not import, so it could not be linked.
#include "frame.h"
#include "platform.h"

// The linker's list of static constructors: -1, the constructors, 0.
extern "C" void (*__CTOR_LIST__[])(void);

namespace {

void RunStaticConstructors() {
    // The compiler's start-up code runs them from the last one to the first.
    int count = 0;
    while (__CTOR_LIST__[count + 1] != nullptr) ++count;
    for (int i = count; i >= 1; --i) __CTOR_LIST__[i]();
}

}  // namespace

extern "C" BOOL WINAPI PimDllEntry(HINSTANCE module, DWORD reason, LPVOID reserved) {
    pim::AttachStep(module, reason, reserved);
    if (reason == DLL_PROCESS_ATTACH) RunStaticConstructors();
    return TRUE;
}
