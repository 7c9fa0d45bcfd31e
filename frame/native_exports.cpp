// The native build's stand-in for the PE export table: the plug-in's entry points
// by ordinal.
#include "host_api.h"
#include "platform_native.h"

extern "C" int32_t PluginConnect(void *host, char *nameBuffer);
extern "C" int32_t PluginSetup(int32_t flag);
extern "C" void PluginHook(void);

namespace {
const OrdinalExport kOrdinalExports[] = {
    {30001, reinterpret_cast<void *>(&PluginConnect)},
    {30008, reinterpret_cast<void *>(&PluginSetup)},
    {30009, reinterpret_cast<void *>(&PluginHook)},
    {0, nullptr},
};
}  // namespace

extern "C" __attribute__((visibility("default"))) const OrdinalExport *ordinal_export_table() { return kOrdinalExports; }
