// How the stand-in enters the plug-in (the stack it gives each call) and the faults
// it notices at that border: blocks of the plug-in that are not 8-aligned, entries
// that leave the stack other than their convention says.
#include <cstdio>
#include <string>
#include <vector>

#include "plugin_entry.h"
#include "state.h"

namespace standin {
namespace {

constexpr int32_t kForeignHostResidue = 4;
constexpr std::size_t kFaultsKept = 64;
constexpr uint32_t kFaultsSaid = 8;

struct Entries {
    int32_t residue = kForeignHostResidue;
    uint32_t faults = 0;
    std::vector<std::string> kept;
};

Entries &entries() {
    static Entries e;
    return e;
}

}  // namespace

void Fault(const std::string &what) {
    Entries &e = entries();
    ++e.faults;
    if (e.kept.size() < kFaultsKept) e.kept.push_back(what);
    if (e.faults <= kFaultsSaid)
        std::fprintf(stderr, "stand-in: %s\n", what.c_str());
    else if (e.faults == kFaultsSaid + 1)
        std::fprintf(stderr, "stand-in: further faults are counted, not shown\n");
}

void MisalignedBlock(const void *block, const char *what, const char *receiver) {
    char text[160];
    std::snprintf(text, sizeof text, "%s at %p, handed to %s, is not 8-aligned", what, block, receiver);
    Fault(text);
}

void ResetPluginEntries() {
    entries() = Entries{};
    blocksChecked = 0;
}

}  // namespace standin

using namespace standin;

STANDIN_API int32_t StandinSetEntryStack(int32_t residue) {
#if defined(_WIN32)
    if (residue < 0 || residue > 12 || residue % 4 != 0) return 0;
    entries().residue = residue;
    return 1;
#else
    (void)residue;
    return 0;
#endif
}

#if defined(_WIN32)

extern "C" uint32_t standin_enter(const void *target, void *self, const uint32_t *args, uint32_t count,
                                  uint32_t residue, uint32_t *popped) __asm__("standin_enter");

STANDIN_API uint32_t StandinEnterPlugin(const void *target, int32_t convention, void *self, const uint32_t *args,
                                        uint32_t count) {
    uint32_t popped = 0;
    uint32_t eax = standin_enter(target, self, args, count, static_cast<uint32_t>(entries().residue), &popped);
    const uint32_t expected = convention == kEntryCdecl ? 0 : 4 * count;
    if (popped != expected) {
        char text[160];
        std::snprintf(text, sizeof text, "the plug-in's entry at %p removed %u argument bytes where its convention removes %u",
                      target, static_cast<unsigned>(popped), static_cast<unsigned>(expected));
        Fault(text);
    }
    return eax;
}

#endif

STANDIN_API int32_t StandinFaultCount(void) { return static_cast<int32_t>(entries().faults); }

STANDIN_API const char *StandinFault(int32_t index) {
    const auto &kept = entries().kept;
    return index >= 0 && static_cast<std::size_t>(index) < kept.size() ? kept[static_cast<std::size_t>(index)].c_str()
                                                                       : nullptr;
}

STANDIN_API uint32_t StandinBlocksChecked(void) { return blocksChecked; }
