#include "host_imports.h"

#include <cstdlib>
#include <cstring>

#include "frame.h"
#include "mazovia.h"
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
};

bool ignoreAllMissing = false;

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
extern "C" void *const pim_host_resolvers[kHostImportCount] __asm__("pim_host_resolvers");
extern "C" void *const pim_host_traps[kHostImportCount] __asm__("pim_host_traps");

void *HostImportAddress(int index) { return pim_host_entries[index]; }

// An entry without a target holds its trap, which raises the host's exception.
static void *EmptyTarget(int index) { return pim_host_traps[index]; }
static bool Unbound(int index) { return pim_host_slots[index] == pim_host_resolvers[index]; }
static void MarkBound(int) {}

extern "C" [[noreturn]] void HOST_CONV_STDCALL RaiseEntryNotFound(uintptr_t ordinal) __asm__("pim_raise_entry_not_found");
extern "C" void HOST_CONV_STDCALL RaiseEntryNotFound(uintptr_t ordinal) { platform::RaiseEntryNotFound(ordinal); }

#else

void *pim_host_slots[kHostImportCount] = {};  // declared extern "C" in the header
bool pim_host_slot_bound[kHostImportCount];  // declared extern "C" in the header

static void *EmptyTarget(int) { return nullptr; }
static bool Unbound(int index) { return !pim_host_slot_bound[index]; }
static void MarkBound(int index) { pim_host_slot_bound[index] = true; }

// The entries' public addresses (frame/host_imports_x86_64.S): each binds its
// slot through pim_native_entry_target on its first call.
extern "C" void *const pim_host_entries[kHostImportCount] __asm__("pim_host_entries");
void *HostImportAddress(int index) { return pim_host_entries[index]; }
extern "C" void *pim_native_entry_target(int index) __asm__("pim_native_entry_target");
extern "C" void *pim_native_entry_target(int index) { return host::ImportTarget(index); }

// Natively the caller always removes the arguments, so one body serves every size;
// the stubs are still distinct functions, so that a slot shows which one it holds.
template <int K>
static intptr_t FallbackStub() {
    return 0;
}
#define PIM_STUB(k) reinterpret_cast<void *>(&FallbackStub<k>)
void *const pim_fallback_stubs[kFallbackStubCount] = {
    PIM_STUB(0), PIM_STUB(1), PIM_STUB(2),  PIM_STUB(3),  PIM_STUB(4),  PIM_STUB(5),  PIM_STUB(6), PIM_STUB(7),
    PIM_STUB(8), PIM_STUB(9), PIM_STUB(10), PIM_STUB(11), PIM_STUB(12), PIM_STUB(13), PIM_STUB(14),
};
#undef PIM_STUB
#endif

static int SlotIndex(void **slot) {
    return slot >= pim_host_slots && slot < pim_host_slots + kHostImportCount ? static_cast<int>(slot - pim_host_slots)
                                                                             : -1;
}

bool EnsureHostImportBound(int index) {
    if (Unbound(index)) {
        MarkBound(index);
        BindHostImport(kHostImports[index].ordinal, &pim_host_slots[index]);
    }
    return pim_host_slots[index] != EmptyTarget(index);
}

void *ChooseFallbackStub(uintptr_t nameOrOrdinal) {
    int stub = -1;
    if (nameOrOrdinal < 0x10000) {
        int rest = static_cast<int>(nameOrOrdinal % 100);
        if (rest == 99)
            stub = 0;
        else if (rest % 4 == 0 && rest <= 56)
            stub = rest / 4;
    } else {
        const char *at = std::strrchr(reinterpret_cast<const char *>(nameOrOrdinal), '@');
        if (at == nullptr || at[1] < '0' || at[1] > '9')
            stub = 0;
        else if (long bytes = std::atol(at + 1); bytes / 4 < kFallbackStubCount)
            stub = static_cast<int>(bytes / 4);
    }
    return stub < 0 ? nullptr : pim_fallback_stubs[stub];
}

// A stub that removes other than the entry's real argument bytes would corrupt the
// caller's stack; where the size is unknown, no stub is trusted either.
static bool StubFits(const void *stub, int index) {
    if (stub == nullptr || index < 0) return false;
    for (int k = 0; k < kFallbackStubCount; ++k)
        if (pim_fallback_stubs[k] == stub) return kHostImports[index].calleePops == k * 4;
    return false;
}

}  // namespace pim

extern "C" void HOST_CONV_STDCALL BindHostImport(uintptr_t nameOrOrdinal, void **slot) {
    using namespace pim;
    const int index = SlotIndex(slot);
    void *target = reinterpret_cast<void *>(
        GetProcAddress(static_cast<HMODULE>(hostModule), reinterpret_cast<const char *>(nameOrOrdinal)));
    // Filled before the dialog, so that the dialog's own host calls never come back
    // here for this entry.
    void *empty = index >= 0 ? EmptyTarget(index) : nullptr;
    *slot = target != nullptr ? target : empty;
    if (target != nullptr) return;
    if (ReportMissingHostEntry(nameOrOrdinal, nullptr)) {
        void *stub = ChooseFallbackStub(nameOrOrdinal);
        if (StubFits(stub, index)) *slot = stub;
    }
}

extern "C" int32_t HOST_CONV_STDCALL ReportMissingHostEntry(uintptr_t nameOrOrdinal, const char *moduleName) {
    using namespace pim;
    if (ignoreAllMissing) return TRUE;
    char module[300];
    if (moduleName == nullptr) {
        if (platform::ModuleFileName(pluginModule, module, sizeof module) == 0)
            lstrcpyA(module, "<nieznany>");
        moduleName = module;
    }
    char ordinalText[12];
    const char *entry = reinterpret_cast<const char *>(nameOrOrdinal);
    if (nameOrOrdinal < 0x10000) {
        wsprintfA(ordinalText, "%u", static_cast<unsigned>(nameOrOrdinal));
        entry = ordinalText;
    }
    char displayName[kDisplayNameBuffer];
    CopyDisplayName(displayName);

    // wsprintfA never writes more than 1024 bytes; a 299-character path, the entry
    // and the whole display name take about 700.
    char message[1024];
    wsprintfA(message,
              "W module \x02%s\x01\nbrak wpisu \x02%s\x01\nWywołano z wtyczki \x02%s\x01.\n\nBłąd ten można "
              "zignorować lecz dalsza praca\nprogramu w tych warunkach może być niebezpieczna.\n\nKonieczna jest "
              "aktualizacja programu!"_mz,
              moduleName, entry, displayName);
    for (char *c = message; *c != '\0'; ++c)
        if (*c == '\x01' || *c == '\x02') *c = ' ';
    char caption[32];
    std::strcpy(caption, "POWAŻNY BŁĄD WTYCZKI"_mz);

    // The conversion is itself a host function. When it is missing too (or is the
    // very entry reported here), the box shows the Mazovia bytes unconverted rather
    // than not at all: the user still learns what is wrong and still decides.
    if (EnsureHostImportBound(kImport_VeldarConvertCodePage)) {
        host::VeldarConvertCodePage(message, message, kCodePageMazovia, kCodePageWindows1250);
        host::VeldarConvertCodePage(caption, caption, kCodePageMazovia, kCodePageWindows1250);
    }
    for (;;) {
        switch (MessageBoxA(nullptr, message, caption, MB_ABORTRETRYIGNORE | MB_ICONERROR | MB_TASKMODAL)) {
        case IDRETRY:
            continue;
        case IDIGNORE:
            ignoreAllMissing = true;
            return TRUE;
        default:
            return FALSE;
        }
    }
}

#if !defined(__i386__)
void *host::ImportTarget(int index) {
    if (!pim::EnsureHostImportBound(index)) pim::platform::RaiseEntryNotFound(pim::kHostImports[index].ordinal);
    return pim::pim_host_slots[index];
}
#endif
