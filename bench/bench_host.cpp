// The host function that the binding benchmark calls: as cheap as a function can
// be, so that what is measured is the way to it.
#include "host_api.h"

#if defined(_WIN32)
#define BENCH_API extern "C"  // exported by ordinal through bench_host.def
#else
#define BENCH_API extern "C" __attribute__((visibility("default")))
#endif

BENCH_API int32_t HOST_CONV_STDCALL BenchSetFormFlags(int32_t form, uint32_t mask, int32_t on) {
    return form + static_cast<int32_t>(mask) + on;
}

#if !defined(_WIN32)
#include "platform_native.h"
namespace {
const OrdinalExport kOrdinalExports[] = {
    {kOrd_VeldarSetFormFlags, reinterpret_cast<void *>(&BenchSetFormFlags)},
    {0, nullptr},
};
}  // namespace

BENCH_API const OrdinalExport *ordinal_export_table() { return kOrdinalExports; }
#endif
