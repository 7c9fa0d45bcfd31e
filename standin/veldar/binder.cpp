// The host's callback binder: binds a dialog object to one of its members and hands
// out a plain function entry that calls that member on the dialog.
//
// Each binder owns a small piece of generated code (the entry) that loads the dialog
// into the register where the member expects `this` and jumps to the member. The
// entries are registered, so that the form engine, given only entries, finds the
// dialog whose event handler it must call (see BoundDialog).
#include <cstring>
#include <map>

#include "exports.h"
#include "form_engine.h"
#include "state.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace standin {
namespace {

struct Binder {
    void *const *vtable;
    void *dialog;
    void *member;
    uint8_t *entry;
};
static_assert(sizeof(Binder) <= kCallbackBinderBytes, "a binder lives in the caller's 32 bytes");

struct Binding {
    void *dialog;
    void *member;
};

std::map<const void *, Binding> &registry() {
    static std::map<const void *, Binding> entries;
    return entries;
}

constexpr std::size_t kEntryBytes = 64;

// Machine code: this-register = dialog; jump to member.
std::size_t EntryCode(uint8_t *code, void *dialog, void *member) {
    std::size_t n = 0;
    auto bytes = [&](std::initializer_list<uint8_t> b) {
        for (uint8_t x : b) code[n++] = x;
    };
    auto pointer = [&](void *p) {
        std::memcpy(code + n, &p, sizeof p);
        n += sizeof p;
    };
#if defined(__i386__)
    bytes({0xB9});  // mov ecx, dialog
    pointer(dialog);
    bytes({0xB8});  // mov eax, member
    pointer(member);
#elif defined(__x86_64__)
    bytes({0x48, 0xBF});  // mov rdi, dialog
    pointer(dialog);
    bytes({0x48, 0xB8});  // mov rax, member
    pointer(member);
#else
#error "callback entries are generated for x86 only"
#endif
    bytes({0xFF, 0xE0});  // jmp eax / rax
    return n;
}

// Writable memory, filled, then made executable and read-only.
uint8_t *MakeEntry(void *dialog, void *member) {
#if defined(_WIN32)
    auto *page = static_cast<uint8_t *>(VirtualAlloc(nullptr, kEntryBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (page == nullptr) return nullptr;
    std::size_t n = EntryCode(page, dialog, member);
    DWORD old = 0;
    if (!VirtualProtect(page, kEntryBytes, PAGE_EXECUTE_READ, &old)) {
        VirtualFree(page, 0, MEM_RELEASE);
        return nullptr;
    }
    FlushInstructionCache(GetCurrentProcess(), page, n);
    return page;
#else
    void *page = mmap(nullptr, kEntryBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED) return nullptr;
    std::size_t n = EntryCode(static_cast<uint8_t *>(page), dialog, member);
    __builtin___clear_cache(static_cast<char *>(page), static_cast<char *>(page) + n);
    if (mprotect(page, kEntryBytes, PROT_READ | PROT_EXEC) != 0) {
        munmap(page, kEntryBytes);
        return nullptr;
    }
    return static_cast<uint8_t *>(page);
#endif
}

void FreeEntry(uint8_t *entry) {
#if defined(_WIN32)
    VirtualFree(entry, 0, MEM_RELEASE);
#else
    munmap(entry, kEntryBytes);
#endif
}

// The binder is read and written by copies: storage that is not 8-aligned is a
// fault, reported, and still works here.
Binder LoadBinder(const void *self) {
    Binder b;
    std::memcpy(&b, self, sizeof b);
    return b;
}
void StoreBinder(void *self, const Binder &b) { std::memcpy(self, &b, sizeof b); }

void HOST_CONV_THISCALL BinderDestructor(void *self) { VeldarCallbackBinderDestruct(self); }
void *HOST_CONV_THISCALL BinderEntry(void *self) {
    CheckBlock(self, "a callback binder", "the binder's entry operation");
    return LoadBinder(self).entry;
}

void *const kBinderVtable[2] = {reinterpret_cast<void *>(&BinderDestructor), reinterpret_cast<void *>(&BinderEntry)};

}  // namespace

bool BoundDialog(const void *entry, void *&dialog) {
    auto it = registry().find(entry);
    if (it == registry().end()) return false;
    dialog = it->second.dialog;
    return true;
}

}  // namespace standin

using namespace standin;

void HOST_CONV_THISCALL VeldarCallbackBinderConstruct(void *self, void *dialog, void *memberFunction) {
    Called(kOrd_VeldarCallbackBinderConstruct, Address(self), Address(dialog), Address(memberFunction));
    CheckBlock(self, "a callback binder", "VeldarCallbackBinderConstruct");
    const Binder binder{kBinderVtable, dialog, memberFunction, MakeEntry(dialog, memberFunction)};
    StoreBinder(self, binder);
    if (binder.entry != nullptr) registry()[binder.entry] = {dialog, memberFunction};
}

void HOST_CONV_THISCALL VeldarCallbackBinderDestruct(void *self) {
    Called(kOrd_VeldarCallbackBinderDestruct, Address(self));
    CheckBlock(self, "a callback binder", "VeldarCallbackBinderDestruct");
    Binder binder = LoadBinder(self);
    if (binder.entry == nullptr) return;
    registry().erase(binder.entry);
    FreeEntry(binder.entry);
    binder.entry = nullptr;
    StoreBinder(self, binder);
}
