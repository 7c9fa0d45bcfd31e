// Stands between the plug-in and the Windows services of host binding: look-ups
// in the host library (counted, and optionally hidden, so that the host seems to
// lack those ordinals), message boxes (recorded and answered by the test) and the
// module file name. On Windows it patches the plug-in's import address table; the
// native build sets the shim's hooks. One instance at a time.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace testing_support {

struct ShownBox {
    std::string text;
    std::string caption;
    unsigned style;
};

class ServiceHooks {
public:
    // `caller` is the module whose calls are watched (the plug-in, or the test
    // program itself when it links the plug-in's code); `host` the module whose
    // ordinal look-ups are counted and hidden.
    ServiceHooks(void *caller, void *host);
    ~ServiceHooks();

    std::set<uint32_t> hidden;
    std::deque<int> answers;  // MessageBoxA's answers in turn; Abort when none is left
    // GetModuleFileNameA fails (returns 0) while set.
    void SetModuleFileNameFails(bool fails);
    // GetModuleFileNameA gives this path instead, as older Windows do: at most the
    // buffer's size in characters, terminated only when it fits.
    void SetModuleFileName(const std::string &path);

    std::vector<ShownBox> boxes;
    std::map<uint32_t, int> lookups;  // ordinal: look-ups in the host module

private:
    struct Patches;
    std::unique_ptr<Patches> patches_;
};

}  // namespace testing_support
