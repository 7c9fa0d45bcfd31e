#include "host_api.h"
#include "module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include "platform_native.h"
#endif

namespace standin {

#if defined(_WIN32)

void *LoadModule(const std::string &path) { return LoadLibraryA(path.c_str()); }
void *ModuleOrdinal(void *module, uint16_t ordinal) {
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(module), MAKEINTRESOURCEA(ordinal)));
}
void UnloadModule(void *module) { FreeLibrary(static_cast<HMODULE>(module)); }
std::string DefaultPluginPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string dir(path, n);
    auto slash = dir.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + "pim.dll";
}

#else

void *LoadModule(const std::string &path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void *ModuleOrdinal(void *module, uint16_t ordinal) {
    return GetProcAddress(module, reinterpret_cast<const char *>(uintptr_t{ordinal}));
}
void UnloadModule(void *module) { dlclose(module); }
std::string DefaultPluginPath() {
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string dir(path, n > 0 ? static_cast<std::size_t>(n) : 0);
    auto slash = dir.find_last_of('/');
    return (slash == std::string::npos ? std::string(".") : dir.substr(0, slash)) + "/pim.so";
}

#endif

std::string BesideProgram(const std::string &fileName) {
    std::string plugin = DefaultPluginPath();
    return plugin.substr(0, plugin.find_last_of("\\/") + 1) + fileName;
}

}  // namespace standin
