#include "service_hooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>

#include "import_patch.h"
#else
#include "winshim.h"
#endif

namespace testing_support {

namespace {

ServiceHooks *active = nullptr;
void *hostModule = nullptr;
bool moduleFileNameFails = false;
std::string moduleFileName;  // given instead of the real one, when not empty

// Counts and hides; the caller then asks the real GetProcAddress, or gets null.
bool Hidden(void *module, const char *nameOrOrdinal) {
    auto value = reinterpret_cast<uintptr_t>(nameOrOrdinal);
    if (active == nullptr || module != hostModule || value >= 0x10000) return false;
    ++active->lookups[static_cast<uint32_t>(value)];
    return active->hidden.count(static_cast<uint32_t>(value)) != 0;
}

int Answer(const char *text, const char *caption, unsigned style) {
    active->boxes.push_back({text, caption, style});
    if (active->answers.empty()) return 3;  // IDABORT
    int answer = active->answers.front();
    active->answers.pop_front();
    return answer;
}

}  // namespace

#if defined(_WIN32)

struct ServiceHooks::Patches {
    standin::ImportPatch getProcAddress, messageBox, moduleFileName;
};

namespace {

// The real functions, taken from the patched entries: when the watched module is
// this program itself, calling them by name would come back to the hooks.
decltype(&GetProcAddress) realGetProcAddress = nullptr;
decltype(&GetModuleFileNameA) realGetModuleFileNameA = nullptr;

FARPROC WINAPI HookGetProcAddress(HMODULE module, LPCSTR nameOrOrdinal) {
    if (Hidden(module, nameOrOrdinal)) return nullptr;
    return realGetProcAddress(module, nameOrOrdinal);
}

int WINAPI HookMessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT style) { return Answer(text, caption, style); }

DWORD WINAPI HookGetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    if (moduleFileNameFails) return 0;
    if (!moduleFileName.empty()) {
        const DWORD length = static_cast<DWORD>(std::min<std::size_t>(moduleFileName.size(), size));
        std::memcpy(buffer, moduleFileName.data(), length);
        if (length < size) buffer[length] = '\0';
        return length;
    }
    return realGetModuleFileNameA(module, buffer, size);
}

}  // namespace

ServiceHooks::ServiceHooks(void *caller, void *host) {
    active = this;
    hostModule = host;
    patches_.reset(new Patches{
        {caller, "kernel32.dll", "GetProcAddress", reinterpret_cast<void *>(&HookGetProcAddress)},
        {caller, "user32.dll", "MessageBoxA", reinterpret_cast<void *>(&HookMessageBoxA)},
        {caller, "kernel32.dll", "GetModuleFileNameA", reinterpret_cast<void *>(&HookGetModuleFileNameA)},
    });
    for (auto *patch : {&patches_->getProcAddress, &patches_->messageBox, &patches_->moduleFileName})
        if (!patch->applied()) ADD_FAILURE() << "the watched module does not import a hooked function";
    realGetProcAddress = patches_->getProcAddress.applied()
                             ? reinterpret_cast<decltype(&GetProcAddress)>(patches_->getProcAddress.original())
                             : &GetProcAddress;
    realGetModuleFileNameA = patches_->moduleFileName.applied()
                                 ? reinterpret_cast<decltype(&GetModuleFileNameA)>(patches_->moduleFileName.original())
                                 : &GetModuleFileNameA;
}

#else

struct ServiceHooks::Patches {};

namespace {

FARPROC HookGetProcAddress(HMODULE module, const char *nameOrOrdinal) {
    if (Hidden(module, nameOrOrdinal)) return nullptr;
    return WinShimRealGetProcAddress(module, nameOrOrdinal);
}

int HookMessageBox(const char *text, const char *caption, unsigned style) { return Answer(text, caption, style); }

}  // namespace

ServiceHooks::ServiceHooks(void *, void *host) {
    active = this;
    hostModule = host;
    WinShimSetGetProcAddress(&HookGetProcAddress);
    WinShimSetMessageBox(&HookMessageBox);
}

#endif

void ServiceHooks::SetModuleFileNameFails(bool fails) {
    moduleFileNameFails = fails;
#if !defined(_WIN32)
    WinShimSetModuleFileNameFails(fails ? 1 : 0);
#endif
}

void ServiceHooks::SetModuleFileName(const std::string &path) {
    moduleFileName = path;
#if !defined(_WIN32)
    WinShimSetModuleFileName(path.empty() ? nullptr : path.c_str());
#endif
}

ServiceHooks::~ServiceHooks() {
    SetModuleFileNameFails(false);
    SetModuleFileName(std::string());
#if !defined(_WIN32)
    WinShimSetGetProcAddress(nullptr);
    WinShimSetMessageBox(nullptr);
#endif
    patches_.reset();
    active = nullptr;
}

}  // namespace testing_support
