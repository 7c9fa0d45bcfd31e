// The probe host library of the native build (see host_probe.h): the arguments
// each function received.
#include "host_probe.h"
#include "platform_native.h"

#define PROBE_API extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) ProbeSeen probe_seen;
}

namespace {

uint32_t Record(uintptr_t a, uintptr_t b, uintptr_t c, uint32_t result) {
    probe_seen.args[0] = a;
    probe_seen.args[1] = b;
    probe_seen.args[2] = c;
    ++probe_seen.calls;
    return result;
}

int32_t ShowMessage(const char *title, const char *text, int32_t style) {
    return static_cast<int32_t>(Record(reinterpret_cast<uintptr_t>(title), reinterpret_cast<uintptr_t>(text),
                                       static_cast<uint32_t>(style), kProbeStdcallResult));
}
int32_t ShowMessageF(const char *title, const char *format, int32_t flags, ...) {
    return static_cast<int32_t>(Record(reinterpret_cast<uintptr_t>(title), reinterpret_cast<uintptr_t>(format),
                                       static_cast<uint32_t>(flags), kProbeCdeclResult));
}
void BinderConstruct(void *self, void *dialog, void *member) {
    Record(reinterpret_cast<uintptr_t>(self), reinterpret_cast<uintptr_t>(dialog), reinterpret_cast<uintptr_t>(member),
           0);
}

// An inherited dialog operation (20950): `this`, a word and a floating-point value,
// which arrives in a register of its own.
uint32_t Inherited(void *self, uintptr_t word, double value) {
    return Record(reinterpret_cast<uintptr_t>(self), word, static_cast<uintptr_t>(value * 4), kProbeInheritedResult);
}

}  // namespace

namespace {
const OrdinalExport kOrdinalExports[] = {
    {52028, reinterpret_cast<void *>(&ShowMessage)},
    {52029, reinterpret_cast<void *>(&ShowMessageF)},
    {20972, reinterpret_cast<void *>(&BinderConstruct)},
    {20950, reinterpret_cast<void *>(&Inherited)},
    {0, nullptr},
};
}  // namespace

PROBE_API const OrdinalExport *ordinal_export_table() { return kOrdinalExports; }
