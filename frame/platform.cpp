#include "platform.h"

#include <cstdio>

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

int FormatTextV(char *buffer, std::size_t size, const char *format, va_list values) {
    // The system runtime's _vsnprintf neither terminates a text that fills the
    // buffer nor tells how long a cut text would have been.
    const int written = _vsnprintf(buffer, size - 1, format, values);
    buffer[size - 1] = '\0';
    return written;
}

#else

void InstallExceptionTranslator(void *) {}

int FormatTextV(char *buffer, std::size_t size, const char *format, va_list values) {
    const int written = std::vsnprintf(buffer, size, format, values);
    return written >= 0 && static_cast<std::size_t>(written) < size ? written : -1;
}

#endif

DWORD ModuleFileName(void *module, char *buffer, DWORD size) {
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, size);
    buffer[length < size ? length : size - 1] = '\0';
    return length;
}

int FormatText(char *buffer, std::size_t size, const char *format, ...) {
    va_list values;
    va_start(values, format);
    const int written = FormatTextV(buffer, size, format, values);
    va_end(values);
    return written;
}

void RaiseEntryNotFound(uintptr_t nameOrOrdinal) {
    ULONG_PTR argument = nameOrOrdinal;
    RaiseException(kStatusEntryPointNotFound, EXCEPTION_NONCONTINUABLE, 1, &argument);
#if defined(_WIN32)
    for (;;) {
    }  // a non-continuable exception never comes back
#endif
}

}  // namespace pim::platform
