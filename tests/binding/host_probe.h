// A stand-in for the host library that records how its functions were entered:
// the registers (i386) and the stack words at entry. It exports, by ordinal,
// a stdcall (52028, 12 bytes), a cdecl (52029) and a thiscall (20972, 8 bytes)
// function, and the record by the name "probe_seen". Natively it also exports an
// inherited dialog operation (20950) and lacks its neighbour 20951.
#pragma once

#include <cstdint>

struct ProbeSeen {
    // i386: the registers at entry; natively unused.
    uint32_t eax, ebx, ecx, edx, esi, edi, ebp, esp;
    // The stack at entry: return address and three argument words (natively, no
    // return address and the arguments, for thiscall `this` first).
    uintptr_t returnAddress;
    uintptr_t args[3];
    uint32_t calls;
};

constexpr uint32_t kProbeStdcallResult = 0x5202800Du;
constexpr uint32_t kProbeCdeclResult = 0x5202900Cu;
constexpr uint32_t kProbeThiscallResult = 0x2097200Eu;
constexpr uint32_t kProbeInheritedResult = 0x2095000Eu;
