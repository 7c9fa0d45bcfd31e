// The Windows services the plug-in uses, for the native development build, on top
// of the dynamic linker.
#include "winshim.h"

#include <dlfcn.h>
#include <link.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace {
WinShimMessageBox messageBoxHandler = nullptr;
WinShimGetProcAddress getProcAddressHandler = nullptr;
bool moduleFileNameFails = false;
std::string givenModuleFileName;
bool moduleFileNameGiven = false;
}  // namespace

WINSHIM_API void WinShimSetMessageBox(WinShimMessageBox handler) { messageBoxHandler = handler; }
WINSHIM_API void WinShimSetGetProcAddress(WinShimGetProcAddress handler) { getProcAddressHandler = handler; }
WINSHIM_API void WinShimSetModuleFileNameFails(int fails) { moduleFileNameFails = fails != 0; }
WINSHIM_API void WinShimSetModuleFileName(const char *path) {
    moduleFileNameGiven = path != nullptr;
    givenModuleFileName = path != nullptr ? path : "";
}

WINSHIM_API FARPROC WinShimRealGetProcAddress(HMODULE module, const char *nameOrOrdinal) {
    if (module == nullptr) return nullptr;
    auto value = reinterpret_cast<uintptr_t>(nameOrOrdinal);
    if (value >= 0x10000) return dlsym(module, nameOrOrdinal);
    auto tableOf = reinterpret_cast<const OrdinalExport *(*)()>(dlsym(module, "ordinal_export_table"));
    const OrdinalExport *table = tableOf != nullptr ? tableOf() : nullptr;
    if (table == nullptr) return nullptr;
    for (; table->ordinal != 0; ++table)
        if (table->ordinal == value) return table->address;
    return nullptr;
}

extern "C" {

HMODULE GetModuleHandleA(const char *moduleName) {
    if (moduleName == nullptr) return dlopen(nullptr, RTLD_LAZY);
    const std::string name(moduleName);
    for (const std::string &candidate : {name, "lib" + name + ".so", name + ".so"}) {
        if (void *handle = dlopen(candidate.c_str(), RTLD_LAZY | RTLD_NOLOAD)) {
            dlclose(handle);  // like GetModuleHandle, take no reference
            return handle;
        }
    }
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, const char *nameOrOrdinal) {
    if (getProcAddressHandler != nullptr) return getProcAddressHandler(module, nameOrOrdinal);
    return WinShimRealGetProcAddress(module, nameOrOrdinal);
}

DWORD GetModuleFileNameA(HMODULE module, char *buffer, DWORD size) {
    if (moduleFileNameFails || module == nullptr || size == 0) return 0;
    if (moduleFileNameGiven) {
        const std::size_t length = std::min<std::size_t>(givenModuleFileName.size(), size);
        std::memcpy(buffer, givenModuleFileName.data(), length);
        if (length < size) buffer[length] = '\0';
        return static_cast<DWORD>(length);
    }
    struct link_map *map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return 0;
    std::size_t length = std::strlen(map->l_name);
    if (length >= size) length = size - 1;  // truncated, as on Windows
    std::memcpy(buffer, map->l_name, length);
    buffer[length] = '\0';
    return static_cast<DWORD>(length);
}

char *lstrcpyA(char *dst, const char *src) { return std::strcpy(dst, src); }

int MessageBoxA(void *, const char *text, const char *caption, unsigned style) {
    if (messageBoxHandler != nullptr) return messageBoxHandler(text, caption, style);
    std::fprintf(stderr, "\n== %s ==\n%s\n", caption != nullptr ? caption : "", text != nullptr ? text : "");
    return IDABORT;
}

int wsprintfA(char *buffer, const char *format, ...) {
    // wsprintfA writes at most 1024 bytes.
    va_list values;
    va_start(values, format);
    int n = std::vsnprintf(buffer, 1024, format, values);
    va_end(values);
    return n < 0 ? 0 : (n > 1023 ? 1023 : n);
}

void RaiseException(DWORD code, DWORD flags, DWORD count, const ULONG_PTR *arguments) {
    throw WinShimException{code, flags, count > 0 && arguments != nullptr ? arguments[0] : 0};
}

}  // extern "C"
