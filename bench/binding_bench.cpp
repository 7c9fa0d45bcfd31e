// A host function called through its bound import entry against the same function
// called directly through a pointer: after binding, an entry adds one indirect
// jump (the i386 build) or one bound check (the native build) to the call.
#include <cstdio>
#include <string>

#include "frame.h"
#include "host_imports.h"
#include "module.h"
#include "platform.h"

namespace {

using SetFormFlags = int32_t(HOST_CONV_STDCALL *)(int32_t, uint32_t, int32_t);
SetFormFlags direct = nullptr;

// Loads the bench host library beside this program and binds the entry once.
bool Prepare() {
#if defined(_WIN32)
    const std::string path = standin::BesideProgram("benchhost.dll");
#else
    const std::string path = standin::BesideProgram("libbenchhost.so");
#endif
    pim::hostModule = standin::LoadModule(path);
    if (pim::hostModule == nullptr) {
        std::fprintf(stderr, "binding_bench: cannot load %s\n", path.c_str());
        return false;
    }
    direct = reinterpret_cast<SetFormFlags>(standin::ModuleOrdinal(pim::hostModule, kOrd_VeldarSetFormFlags));
    return direct != nullptr && host::VeldarSetFormFlags(0, 0, 0) == 0;
}

}  // namespace

#if defined(_WIN32)

#include <windows.h>

namespace {

// Nanoseconds per call over `calls` calls, the best of five rounds.
template <class F>
double NanosPerCall(F call, int calls) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        volatile int32_t sink = 0;
        QueryPerformanceCounter(&start);
        for (int i = 0; i < calls; ++i) sink = call(i);
        QueryPerformanceCounter(&end);
        (void)sink;
        double ns = 1e9 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart / calls;
        if (ns < best) best = ns;
    }
    return best;
}

}  // namespace

int main() {
    if (!Prepare()) return 1;
    constexpr int kCalls = 20'000'000;
    // The pointer is read anew each time so that the compiler cannot turn the direct
    // call into a plain one.
    static SetFormFlags volatile pointer = direct;
    double viaPointer = NanosPerCall([](int i) { return pointer(i, 1, 2); }, kCalls);
    double viaEntry = NanosPerCall([](int i) { return host::VeldarSetFormFlags(i, 1, 2); }, kCalls);
    std::printf("%-34s %10s\n", "call (stdcall, 3 arguments)", "ns/call");
    std::printf("%-34s %10.2f\n", "direct, through a pointer", viaPointer);
    std::printf("%-34s %10.2f\n", "bound import entry", viaEntry);
    std::printf("%-34s %10.2f\n", "entry overhead", viaEntry - viaPointer);
    return 0;
}

#else

#include <benchmark/benchmark.h>

static void DirectCall(benchmark::State &state) {
    SetFormFlags volatile pointer = direct;
    int32_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(pointer(++i, 1, 2));
}
BENCHMARK(DirectCall);

static void BoundEntryCall(benchmark::State &state) {
    int32_t i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(host::VeldarSetFormFlags(++i, 1, 2));
}
BENCHMARK(BoundEntryCall);

int main(int argc, char **argv) {
    if (!Prepare()) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}

#endif
