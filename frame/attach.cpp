// The attach step and, on Windows, the library's entry point that runs it before
// the runtime initialises itself.
#include "frame.h"
#include "platform.h"

#if defined(_WIN32)
#include <delayimp.h>
#else
#include <dlfcn.h>
#endif

namespace pim {

void *pluginModule = nullptr;
char pluginPath[300] = {};
void *hostModule = nullptr;

}  // namespace pim

#if defined(_WIN32)
namespace {
// Until the attach step replaces it, the hook leaves every notification to the
// helper's defaults.
FARPROC WINAPI NoDelayLoadHook(unsigned, PDelayLoadInfo) { return nullptr; }
}  // namespace
PfnDliHook __pfnDliNotifyHook2 = NoDelayLoadHook;  // declared extern "C" by delayimp.h
#endif

int pim::AttachStep(void *module, uint32_t reason, void *) {
    if (reason == DLL_PROCESS_ATTACH) {
        pluginModule = module;
        platform::ModuleFileName(module, pluginPath, sizeof pluginPath);
        if (hostModule == nullptr) {
            hostModule = GetModuleHandleA("VELDAR");
            if (hostModule != nullptr) {
#if defined(_WIN32)
                __pfnDliNotifyHook2 = reinterpret_cast<PfnDliHook>(reinterpret_cast<void *>(
                    GetProcAddress(static_cast<HMODULE>(hostModule), MAKEINTRESOURCEA(kOrd_VeldarDelayLoadHook))));
#endif
            }
        }
    }
    return TRUE;
}

#if !defined(_WIN32)

// The native build has no entry point of its own: a constructor runs the same step
// when the library is loaded.
__attribute__((constructor)) static void NativeAttach() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&NativeAttach), &info) == 0) return;
    void *self = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (self != nullptr) dlclose(self);  // NOLOAD took a reference; the library stays loaded
    pim::AttachStep(self, DLL_PROCESS_ATTACH, nullptr);
}

#endif
