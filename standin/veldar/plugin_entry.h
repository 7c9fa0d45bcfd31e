// Calls into the plug-in as a host built by another compiler makes them. Such a
// host keeps the stack only as aligned as the i386 convention promises (4 bytes),
// so on i386 every call from the host program and from the form engine goes
// through a small trampoline that enters the plug-in with the stack pointer at a
// chosen residue mod 16 (StandinSetEntryStack; 4 by default). Natively these are
// ordinary calls: the x86-64 convention fixes the alignment.
#pragma once

#include <cstdint>
#include <type_traits>

#include "veldar.h"

namespace standin {

enum EntryConvention : int32_t {
    kEntryCdecl = 0,     // the caller removes the arguments
    kEntryStdcall = 1,   // the callee removes them
    kEntryThiscall = 2,  // the callee removes them; `this` in ECX
};

#if defined(_WIN32)

// One 32-bit stack slot per argument; 16-bit ones widened with their sign.
template <class T>
uint32_t EntrySlot(T value) {
    if constexpr (std::is_null_pointer_v<T>)
        return 0;
    else if constexpr (std::is_pointer_v<T>)
        return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(value));
    else if constexpr (std::is_signed_v<T>)
        return static_cast<uint32_t>(static_cast<int32_t>(value));
    else
        return static_cast<uint32_t>(value);
}

template <class R>
R EntryResult(uint32_t eax) {
    if constexpr (std::is_void_v<R>)
        return;
    else if constexpr (std::is_pointer_v<R>)
        return reinterpret_cast<R>(static_cast<uintptr_t>(eax));
    else
        return static_cast<R>(eax);  // a 16-bit result: AX only
}

template <class R, class F, class... A>
R Enter(EntryConvention convention, F fn, void *self, A... args) {
    const uint32_t slots[] = {EntrySlot(args)..., 0};
    return EntryResult<R>(
        StandinEnterPlugin(reinterpret_cast<const void *>(fn), convention, self, slots, sizeof...(A)));
}

// fn(args...), fn being __stdcall.
template <class F, class... A>
auto EnterStdcall(F fn, A... args) {
    return Enter<decltype(fn(args...))>(kEntryStdcall, fn, nullptr, args...);
}
// fn(args...), fn being __cdecl.
template <class F, class... A>
auto EnterCdecl(F fn, A... args) {
    return Enter<decltype(fn(args...))>(kEntryCdecl, fn, nullptr, args...);
}
// The member at fn on self, with a result of type R.
template <class R, class... A>
R EnterThiscall(const void *fn, void *self, A... args) {
    return Enter<R>(kEntryThiscall, fn, self, args...);
}

#else

template <class F, class... A>
auto EnterStdcall(F fn, A... args) {
    return fn(args...);
}
template <class F, class... A>
auto EnterCdecl(F fn, A... args) {
    return fn(args...);
}
// The dialog's event handler is reached through its hand-made table.
template <class R, class... A>
HOST_CALLS_THROUGH_TABLES R EnterThiscall(const void *fn, void *self, A... args) {
    return reinterpret_cast<R (*)(void *, A...)>(const_cast<void *>(fn))(self, args...);
}

#endif

// A plain entry without arguments or result (a binder's entry).
inline void EnterPlain(const void *entry) {
    using Plain = void (*)(void);
    EnterCdecl(reinterpret_cast<Plain>(const_cast<void *>(entry)));
}

}  // namespace standin
