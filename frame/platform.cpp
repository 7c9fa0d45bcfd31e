#include "platform.h"

namespace pim::platform {

#if defined(_WIN32)

void InstallExceptionTranslator(void *translator) {
    // The runtime's setter of the per-thread translator; msvcrt exports it under its
    // C++ name only.
    using Setter = void *(__cdecl *)(void *);
    HMODULE runtime = GetModuleHandleA("msvcrt.dll");
    if (runtime == nullptr) return;
    auto setter = reinterpret_cast<Setter>(reinterpret_cast<void *>(
        GetProcAddress(runtime, "?_set_se_translator@@YAP6AXIPAU_EXCEPTION_POINTERS@@@ZP6AXI0@Z@Z")));
    if (setter != nullptr) setter(translator);
}

#else

void InstallExceptionTranslator(void *) {}

#endif

void RaiseEntryNotFound(uintptr_t nameOrOrdinal) {
    ULONG_PTR argument = nameOrOrdinal;
    RaiseException(kStatusEntryPointNotFound, EXCEPTION_NONCONTINUABLE, 1, &argument);
#if defined(_WIN32)
    for (;;) {
    }  // a non-continuable exception never comes back
#endif
}

}  // namespace pim::platform
