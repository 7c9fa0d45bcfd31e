// The PE image of pim.dll: exports by ordinal only, and exactly the imports the
// host environment expects.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "module.h"

namespace {

struct Image {
    HMODULE module = nullptr;
    const BYTE *base = nullptr;
    const IMAGE_NT_HEADERS32 *nt = nullptr;
    Image() {
        module = LoadLibraryExA(standin::DefaultPluginPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        base = reinterpret_cast<const BYTE *>(module);
        if (base != nullptr) {
            auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
            nt = reinterpret_cast<const IMAGE_NT_HEADERS32 *>(base + dos->e_lfanew);
        }
    }
    ~Image() {
        if (module != nullptr) FreeLibrary(module);
    }
    template <class T>
    const T *At(DWORD rva) const {
        return reinterpret_cast<const T *>(base + rva);
    }
    const IMAGE_DATA_DIRECTORY &Directory(int index) const { return nt->OptionalHeader.DataDirectory[index]; }
};

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
    return s;
}

// Imported functions per DLL: names, or "#ordinal".
std::map<std::string, std::set<std::string>> Imports(const Image &image) {
    std::map<std::string, std::set<std::string>> out;
    auto dir = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (auto d = image.At<IMAGE_IMPORT_DESCRIPTOR>(dir.VirtualAddress); d->Name != 0; ++d) {
        auto &functions = out[Upper(image.At<char>(d->Name))];
        DWORD thunks = d->OriginalFirstThunk != 0 ? d->OriginalFirstThunk : d->FirstThunk;
        for (auto t = image.At<IMAGE_THUNK_DATA32>(thunks); t->u1.AddressOfData != 0; ++t) {
            if (IMAGE_SNAP_BY_ORDINAL32(t->u1.Ordinal)) {
                std::string ordinal(1, '#');
                ordinal += std::to_string(IMAGE_ORDINAL32(t->u1.Ordinal));
                functions.insert(ordinal);
            } else
                functions.insert(image.At<IMAGE_IMPORT_BY_NAME>(t->u1.AddressOfData)->Name);
        }
    }
    return out;
}

}  // namespace

TEST(Image, IsA32BitDllThatExportsThreeOrdinalsAndNoNames) {
    Image image;
    ASSERT_NE(image.base, nullptr);
    EXPECT_EQ(image.nt->FileHeader.Machine, IMAGE_FILE_MACHINE_I386);
    EXPECT_TRUE(image.nt->FileHeader.Characteristics & IMAGE_FILE_DLL);
    auto dir = image.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    ASSERT_NE(dir.VirtualAddress, 0u);
    auto exports = image.At<IMAGE_EXPORT_DIRECTORY>(dir.VirtualAddress);
    EXPECT_EQ(exports->Base, 30001u);
    EXPECT_EQ(exports->NumberOfFunctions, 9u);
    EXPECT_EQ(exports->NumberOfNames, 0u);
    auto functions = image.At<DWORD>(exports->AddressOfFunctions);
    for (DWORD i = 0; i < 9; ++i) {
        bool filled = i == 0 || i == 7 || i == 8;
        EXPECT_EQ(functions[i] != 0, filled) << "ordinal " << 30001 + i;
    }
}

TEST(Image, ImportsOnlySystemDllsAndTheHostEnvironment) {
    Image image;
    ASSERT_NE(image.base, nullptr);
    auto imports = Imports(image);
    const std::set<std::string> allowed = {"KERNEL32.DLL", "USER32.DLL", "MSVCRT.DLL",
                                           "VELDAR.DLL",   "OTRAX.DLL",  "NEXIM.DLL"};
    for (auto &[dll, functions] : imports) EXPECT_TRUE(allowed.count(dll)) << dll << " must not be needed";

    ASSERT_TRUE(imports.count("VELDAR.DLL"));
    EXPECT_EQ(imports["VELDAR.DLL"], std::set<std::string>{"#30005"}) << "one load-time host import";
    // What a host (or a test) may answer by patching the import address table.
    for (const char *name : {"GetModuleFileNameA", "GetModuleHandleA", "GetProcAddress", "lstrcpyA"})
        EXPECT_TRUE(imports["KERNEL32.DLL"].count(name)) << name;
    EXPECT_TRUE(imports["USER32.DLL"].count("MessageBoxA"));
    EXPECT_EQ(imports["OTRAX.DLL"], std::set<std::string>{"wsprintfA"});
    EXPECT_FALSE(imports["USER32.DLL"].count("wsprintfA")) << "wsprintfA comes from OTRAX.dll";
}
