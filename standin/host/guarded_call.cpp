#include "guarded_call.h"

#if defined(_WIN32)

// The guard registers an exception frame on the thread's handler chain, as a
// compiler's __try does; GCC has no such statement for i386, so it is assembly.
extern "C" int standin_guarded_call(void (*fn)(void *), void *context, standin::StructuredException *caught)
    __asm__("standin_guarded_call");

bool standin::CallGuarded(void (*fn)(void *), void *context, StructuredException *caught) {
    StructuredException ignored;
    return standin_guarded_call(fn, context, caught != nullptr ? caught : &ignored) != 0;
}

#else

#include "winshim.h"

bool standin::CallGuarded(void (*fn)(void *), void *context, StructuredException *caught) {
    try {
        fn(context);
        return true;
    } catch (const WinShimException &e) {
        if (caught != nullptr) *caught = {e.code, e.flags, 1, e.argument};
        return false;
    }
}

#endif
