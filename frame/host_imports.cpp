#include "host_imports.h"

#include "frame.h"
#include "platform.h"

namespace pim {

#define HOST_POPS_STDCALL(bytes) (bytes)
#define HOST_POPS_THISCALL(bytes) (bytes)
#define HOST_POPS_CDECL(bytes) 0

const HostImportInfo kHostImports[kHostImportCount] = {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) {ord, HOST_POPS_##conv(bytes)},
#define HOST_ADDR(ord, name) {ord, -1},
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)
#include "host_functions.inc"
#undef HOST_FN
#undef HOST_ADDR
#undef HOST_LOADTIME
#undef HOST_ATTACH
};

uint32_t hostLookups = 0;

#if defined(_WIN32)
extern "C" __declspec(dllimport) void HOST_CONV_CDECL VeldarTranslateException(uint32_t, struct _EXCEPTION_POINTERS *);
void *HostExceptionTranslator() { return reinterpret_cast<void *>(&VeldarTranslateException); }
#else
// The native build has no load-time imports; the host library is already loaded.
void *HostExceptionTranslator() {
    return reinterpret_cast<void *>(
        GetProcAddress(hostModule, reinterpret_cast<const char *>(uintptr_t{kOrd_VeldarTranslateException})));
}
#endif

#if defined(__i386__)

extern "C" void *const pim_host_entries[kHostImportCount] __asm__("pim_host_entries");
extern "C" void *const pim_host_traps[kHostImportCount] __asm__("pim_host_traps");

void *HostImportAddress(int index) { return pim_host_entries[index]; }

static void *EmptyEntry(void **slot) { return pim_host_traps[slot - pim_host_slots]; }

extern "C" [[noreturn]] void HOST_CONV_STDCALL RaiseEntryNotFound(uintptr_t ordinal) __asm__("pim_raise_entry_not_found");
extern "C" void HOST_CONV_STDCALL RaiseEntryNotFound(uintptr_t ordinal) { platform::RaiseEntryNotFound(ordinal); }

#else

void *pim_host_slots[kHostImportCount] = {};  // declared extern "C" in the header
static bool slotBound[kHostImportCount];

static void *EmptyEntry(void **) { return nullptr; }

void *HostImportAddress(int index) { return host::ImportTarget(index); }

#endif

}  // namespace pim

extern "C" void HOST_CONV_STDCALL BindHostImport(uintptr_t nameOrOrdinal, void **slot) {
    ++pim::hostLookups;
    void *target = reinterpret_cast<void *>(
        GetProcAddress(static_cast<HMODULE>(pim::hostModule), reinterpret_cast<const char *>(nameOrOrdinal)));
    *slot = target != nullptr ? target : pim::EmptyEntry(slot);
}

#if !defined(__i386__)
void *host::ImportTarget(int index) {
    using namespace pim;
    if (!slotBound[index]) {
        slotBound[index] = true;
        BindHostImport(kHostImports[index].ordinal, &pim_host_slots[index]);
    }
    void *target = pim_host_slots[index];
    if (target == nullptr) platform::RaiseEntryNotFound(kHostImports[index].ordinal);
    return target;
}
#endif
