// Replaces one entry of a module's import address table, as a host (or a test)
// does to watch or answer a plug-in's calls to Windows. Windows only; the native
// build has the hooks of standin/native/winshim.h instead.
#pragma once

namespace standin {

// The import address table entry through which `module` calls `function` of
// `dll` (imported by name; the DLL name compared without case), or null.
void **FindImportEntry(void *module, const char *dll, const char *function);

// Holds the replacement for its lifetime and puts the original back afterwards.
class ImportPatch {
public:
    ImportPatch(void *module, const char *dll, const char *function, void *replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch &) = delete;
    ImportPatch &operator=(const ImportPatch &) = delete;

    bool applied() const { return entry_ != nullptr; }
    void *original() const { return original_; }

private:
    void **entry_ = nullptr;
    void *original_ = nullptr;
};

}  // namespace standin
