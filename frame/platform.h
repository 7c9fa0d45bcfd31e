// The thin platform layer: the few operating-system services the plug-in uses.
// On Windows they are the real ones; the native development build gets the same
// names from a small shim (standin/native), so the plug-in's code is one code.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform_native.h"
#endif

// printf-style formats are checked against the runtime that formats them: on
// Windows the system's msvcrt (no %zu, no %hhd, ...), so a format it does not
// understand fails the build (-Werror=format) instead of printing garbage.
#if defined(_WIN32)
#define PIM_PRINTF_FORMAT(formatArg, firstArg) __attribute__((__format__(ms_printf, formatArg, firstArg)))
#else
#define PIM_PRINTF_FORMAT(formatArg, firstArg) __attribute__((__format__(__printf__, formatArg, firstArg)))
#endif

namespace pim::platform {

// Makes the host's structured-exception translator the calling thread's translator.
void InstallExceptionTranslator(void *translator);

// Ends a call through an empty host import entry: raises STATUS_ENTRYPOINT_NOT_FOUND,
// non-continuable, with the ordinal as its one parameter. Never returns.
[[noreturn]] void RaiseEntryNotFound(uintptr_t nameOrOrdinal);

// The module's file path into a buffer of `size` bytes (at least 1), always
// terminated: older Windows leave a path that fills the buffer without its
// terminator. Returns what GetModuleFileNameA returned: 0 (the text then empty)
// when the path could not be had.
DWORD ModuleFileName(void *module, char *buffer, DWORD size);

// printf-style text into a buffer of `size` bytes (at least 1), always terminated:
// the number of characters written, or -1 when the text did not fit and was cut.
int FormatText(char *buffer, std::size_t size, const char *format, ...) PIM_PRINTF_FORMAT(3, 4);
int FormatTextV(char *buffer, std::size_t size, const char *format, va_list values) PIM_PRINTF_FORMAT(3, 0);

constexpr uint32_t kStatusEntryPointNotFound = 0xC0000139u;

}  // namespace pim::platform
