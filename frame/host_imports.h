// Host import entries: every host function is reached through a slot that is bound
// by ordinal on its first call.
//
// The plug-in calls host functions as host::VeldarGetTable(44) and so on. In the
// i386 build each name is the entry's dispatch jump (an indirect jump through the
// slot); in the native build it is a small call object that binds the slot on
// first use. Either way the binder below does the looking up.
#pragma once

#include <cstdint>

#include "host_api.h"

namespace pim {

enum HostImportIndex : int {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) kImport_##name,
#define HOST_ADDR(ord, name) kImport_##name,
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)
#include "host_functions.inc"
    kHostImportCount
};

struct HostImportInfo {
    uint16_t ordinal;
    // Bytes of arguments the function removes from the stack on return, or -1 when the
    // plug-in does not know its signature.
    int16_t calleePops;
};
extern const HostImportInfo kHostImports[kHostImportCount];

// The slots, one 32-bit word each (a pointer in the native build), in list order.
extern "C" void *pim_host_slots[kHostImportCount] __asm__("pim_host_slots");
// Natively, whether each slot is bound already (then a call goes straight to a
// non-null slot).
extern "C" bool pim_host_slot_bound[kHostImportCount] __asm__("pim_host_slot_bound");

// The entry's public address: what callers call and what virtual tables hold.
void *HostImportAddress(int index);

// The host's exception translator (30005), the one function imported at load time.
void *HostExceptionTranslator();

// Set when the user answers Ignore in the serious-error dialog: from then on a
// missing entry gets its fallback stub (if one fits) without asking. Never cleared.
extern bool ignoreAllMissing;

// Do-nothing substitutes for missing host functions: stub k returns 0 and removes
// k * 4 bytes of arguments from the stack (natively, where the caller always
// cleans up, every stub just returns 0).
constexpr int kFallbackStubCount = 15;
extern "C" void *const pim_fallback_stubs[kFallbackStubCount] __asm__("pim_fallback_stubs");

// The stub the ordinal or name rules choose for an entry, or null: an ordinal's
// last two digits 99 give stub 0, a multiple of 4 up to 56 gives stub r / 4; a
// name's number after its last '@' gives stub n / 4 up to 14, no number stub 0.
void *ChooseFallbackStub(uintptr_t nameOrOrdinal);

// Binds the entry now without calling it (a no-op when already bound); false when
// the entry has no target, so that a call through it would raise.
bool EnsureHostImportBound(int index);

}  // namespace pim

// Binds the slot of one entry. nameOrOrdinal follows GetProcAddress: below 0x10000
// an ordinal, else a pointer to a name. Called by the resolver stubs.
extern "C" void HOST_CONV_STDCALL BindHostImport(uintptr_t nameOrOrdinal, void **slot) __asm__("pim_bind_host_import");

// The serious-error dialog about an entry missing from moduleName (null: the
// plug-in's own file). True when the user lets the plug-in go on with a stub.
extern "C" int32_t HOST_CONV_STDCALL ReportMissingHostEntry(uintptr_t nameOrOrdinal, const char *moduleName);

namespace host {

#if defined(__i386__)

extern "C" {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) ret HOST_CONV_##conv name params __asm__("pim_host_" #name);
#define HOST_ADDR(ord, name) void name(void) __asm__("pim_host_" #name);
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)
#include "host_functions.inc"
}

#else

void *ImportTarget(int index);

// The target of an entry: inline once bound, so that the many calls of a walk cost a
// load and a test each; the first call and an empty entry take ImportTarget.
inline void *Target(int index) {
    if (pim::pim_host_slot_bound[index])
        if (void *target = pim::pim_host_slots[index]) return target;
    return ImportTarget(index);
}

template <int Index, class F>
struct Call;

template <int Index, class R, class... P>
struct Call<Index, R(P...)> {
    R operator()(P... p) const { return reinterpret_cast<R (*)(P...)>(Target(Index))(p...); }
};

template <int Index, class R, class... P>
struct Call<Index, R(P..., ...)> {
    template <class... V>
    R operator()(P... p, V... v) const {
        return reinterpret_cast<R (*)(P..., ...)>(Target(Index))(p..., v...);
    }
};

#define HOST_FN(ord, name, conv, bytes, ret, params, args) \
    inline constexpr Call<pim::kImport_##name, ret params> name{};
#define HOST_ADDR(ord, name)
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params)
#define HOST_ATTACH(ord, name, conv, bytes, ret, params)
#include "host_functions.inc"

#endif

}  // namespace host
