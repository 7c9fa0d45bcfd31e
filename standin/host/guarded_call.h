// Running plug-in code as a host does: a structured exception raised inside (for
// instance by a call through a host import entry that has no target) ends the
// call and is reported to the host, instead of ending the process.
#pragma once

#include <cstdint>
#include <type_traits>

namespace standin {

struct StructuredException {
    uint32_t code = 0;
    uint32_t flags = 0;
    uint32_t parameterCount = 0;
    uintptr_t parameter = 0;  // the first one, if any
};

// Calls fn(context); true when it returned, false when a structured exception
// ended it (then *caught describes the exception).
bool CallGuarded(void (*fn)(void *), void *context, StructuredException *caught);

template <class F>
bool Guarded(F &&f, StructuredException *caught) {
    using Fn = std::remove_reference_t<F>;
    return CallGuarded([](void *c) { (*static_cast<Fn *>(c))(); }, &f, caught);
}

}  // namespace standin
