// The native build's stand-in for the PE export table: every host function by ordinal.
#include "exports.h"
#include "platform_native.h"

namespace {
const OrdinalExport kOrdinalExports[] = {
#define HOST_FN(ord, name, conv, bytes, ret, params, args) {ord, reinterpret_cast<void *>(&name)},
#define HOST_ADDR(ord, name) {ord, reinterpret_cast<void *>(&name)},
#define HOST_LOADTIME(ord, name, conv, bytes, ret, params) {ord, reinterpret_cast<void *>(&name)},
#define HOST_ATTACH(ord, name, conv, bytes, ret, params) {ord, reinterpret_cast<void *>(&name)},
#include "host_functions.inc"
    {0, nullptr},
};
}  // namespace

extern "C" __attribute__((visibility("default"))) const OrdinalExport *ordinal_export_table() { return kOrdinalExports; }
