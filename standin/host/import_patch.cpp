#include "import_patch.h"

#include <windows.h>

#include <cstring>

namespace standin {

namespace {

void Store(void **entry, void *value) {
    DWORD protection = 0;
    if (!VirtualProtect(entry, sizeof *entry, PAGE_READWRITE, &protection)) return;
    *entry = value;
    VirtualProtect(entry, sizeof *entry, protection, &protection);
}

}  // namespace

void **FindImportEntry(void *module, const char *dll, const char *function) {
    if (module == nullptr) return nullptr;
    auto *base = static_cast<unsigned char *>(module);
    auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE) return nullptr;
    auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto *d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress); d->Name != 0; ++d) {
        if (_stricmp(reinterpret_cast<const char *>(base + d->Name), dll) != 0) continue;
        // The names stay in the lookup table; the address table is overwritten by
        // the loader (an image without a lookup table keeps no names to match).
        if (d->OriginalFirstThunk == 0) continue;
        auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->OriginalFirstThunk);
        auto *addresses = reinterpret_cast<IMAGE_THUNK_DATA *>(base + d->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0)
                return reinterpret_cast<void **>(&addresses->u1.Function);
        }
    }
    return nullptr;
}

ImportPatch::ImportPatch(void *module, const char *dll, const char *function, void *replacement)
    : entry_(FindImportEntry(module, dll, function)) {
    if (entry_ == nullptr) return;
    original_ = *entry_;
    Store(entry_, replacement);
}

ImportPatch::~ImportPatch() {
    if (entry_ != nullptr) Store(entry_, original_);
}

}  // namespace standin
