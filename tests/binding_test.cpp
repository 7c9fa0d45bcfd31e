// The host import entries in the plug-in's own code, bound to a probe host library
// that records how each function was entered: the first call goes through the
// binder and still arrives exactly as the caller made it, later calls never see
// the binder, and the fallback stubs remove exactly their argument bytes.
//
// The entries are process-wide and are never reset, so every test binds entries
// of its own.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "frame.h"
#include "guarded_call.h"
#include "host_imports.h"
#include "host_probe.h"
#include "module.h"
#include "service_hooks.h"

#include "platform.h"

using namespace testing_support;

namespace {

class Binding : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#if defined(_WIN32)
        probe_ = standin::LoadModule(standin::BesideProgram("hostprobe.dll"));
#else
        probe_ = standin::LoadModule(standin::BesideProgram("libhostprobe.so"));
#endif
        ASSERT_NE(probe_, nullptr);
        seen_ = reinterpret_cast<ProbeSeen *>(GetProcAddress(static_cast<HMODULE>(probe_), "probe_seen"));
        ASSERT_NE(seen_, nullptr);
        pim::hostModule = probe_;
    }
    void SetUp() override { hooks_ = std::make_unique<ServiceHooks>(GetModuleHandleA(nullptr), probe_); }
    void TearDown() override { hooks_.reset(); }

    static void *probe_;
    static ProbeSeen *seen_;
    std::unique_ptr<ServiceHooks> hooks_;
};
void *Binding::probe_ = nullptr;
ProbeSeen *Binding::seen_ = nullptr;

}  // namespace

TEST(FallbackStubChoice, OrdinalAndNameRules) {
    auto stub = [](int k) { return pim::pim_fallback_stubs[k]; };
    EXPECT_EQ(pim::ChooseFallbackStub(20499), stub(0));
    EXPECT_EQ(pim::ChooseFallbackStub(20008), stub(2));
    EXPECT_EQ(pim::ChooseFallbackStub(20956), stub(14));
    EXPECT_EQ(pim::ChooseFallbackStub(20000), stub(0));
    for (uintptr_t none : {20960, 20001, 20002, 52158, 52082})
        EXPECT_EQ(pim::ChooseFallbackStub(none), nullptr) << none;

    auto byName = [](const char *name) { return pim::ChooseFallbackStub(reinterpret_cast<uintptr_t>(name)); };
    EXPECT_EQ(byName("_VeldarShowMessage@12"), stub(3));
    EXPECT_EQ(byName("Fn@6"), stub(1));
    EXPECT_EQ(byName("Fn@59"), stub(14));
    EXPECT_EQ(byName("Fn@60"), nullptr);
    EXPECT_EQ(byName("Fn@99999999999999999999"), nullptr);
    EXPECT_EQ(byName("a@8@16"), stub(4)) << "the last @ counts";
    EXPECT_EQ(byName("VeldarProfileValue"), stub(0));
    EXPECT_EQ(byName("?Run@WDialogBase@@QAEXXZ"), stub(0)) << "a decorated method name";
    EXPECT_EQ(byName("Fn@"), stub(0));
}

#if defined(__i386__)

namespace {

struct Registers {
    uint32_t eax, ebx, ecx, edx, esi, edi, ebp;
};
struct ProbeCall {
    void *entry;
    Registers in;
    uint32_t argCount;
    uint32_t args[16];
};
struct ProbeResult {
    Registers out;
    int32_t espDelta;
};
extern "C" ProbeCall probe_call __asm__("probe_call");
extern "C" ProbeResult probe_result __asm__("probe_result");
extern "C" void probe_drive() __asm__("probe_drive");
extern "C" char probe_return_address[] __asm__("probe_return_address");

// Calls an entry from assembly with every register set to a known value.
ProbeResult Drive(void *entry, const Registers &in, std::initializer_list<uint32_t> args) {
    probe_call.entry = entry;
    probe_call.in = in;
    probe_call.argCount = static_cast<uint32_t>(args.size());
    std::copy(args.begin(), args.end(), probe_call.args);
    probe_drive();
    return probe_result;
}

void ExpectPreserved(const Registers &in, const Registers &out) {
    EXPECT_EQ(out.ebx, in.ebx);
    EXPECT_EQ(out.ecx, in.ecx);
    EXPECT_EQ(out.edx, in.edx);
    EXPECT_EQ(out.esi, in.esi);
    EXPECT_EQ(out.edi, in.edi);
    EXPECT_EQ(out.ebp, in.ebp);
}

}  // namespace

TEST_F(Binding, FirstAndLaterCallsArriveWithEveryRegisterAndArgument) {
    struct Case {
        const char *convention;
        int index;
        uint32_t ordinal;
        int32_t pops;
        uint32_t result;
    };
    const Case cases[] = {
        {"stdcall", pim::kImport_VeldarShowMessage, kOrd_VeldarShowMessage, 12, kProbeStdcallResult},
        {"cdecl", pim::kImport_VeldarShowMessageF, kOrd_VeldarShowMessageF, 0, kProbeCdeclResult},
        {"thiscall", pim::kImport_VeldarCallbackBinderConstruct, kOrd_VeldarCallbackBinderConstruct, 8,
         kProbeThiscallResult},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.convention);
        for (uint32_t call = 1; call <= 2; ++call) {
            const Registers in = {0xA0A0A000 + call, 0xB1B1B100 + call, 0xC2C2C200 + call, 0xD3D3D300 + call,
                                  0xE4E4E400 + call, 0xF5F5F500 + call, 0x06060600 + call};
            const uint32_t calls = seen_->calls;
            ProbeResult r = Drive(pim::HostImportAddress(c.index), in, {0x1111 * call, 0x2222 * call, 0x3333 * call});
            ASSERT_EQ(seen_->calls, calls + 1) << "call " << call;
            EXPECT_EQ(seen_->eax, in.eax);
            EXPECT_EQ(seen_->ebx, in.ebx);
            EXPECT_EQ(seen_->ecx, in.ecx) << "`this` of a thiscall";
            EXPECT_EQ(seen_->edx, in.edx);
            EXPECT_EQ(seen_->esi, in.esi);
            EXPECT_EQ(seen_->edi, in.edi);
            EXPECT_EQ(seen_->ebp, in.ebp);
            EXPECT_EQ(seen_->returnAddress, reinterpret_cast<uintptr_t>(probe_return_address));
            EXPECT_EQ(seen_->args[0], 0x1111 * call);
            EXPECT_EQ(seen_->args[1], 0x2222 * call);
            EXPECT_EQ(seen_->args[2], 0x3333 * call);
            EXPECT_EQ(r.out.eax, c.result);
            ExpectPreserved(in, r.out);
            EXPECT_EQ(r.espDelta, c.pops - 12);
            EXPECT_EQ(hooks_->lookups[c.ordinal], 1) << "call " << call;
        }
    }
    EXPECT_TRUE(hooks_->boxes.empty());
}

TEST_F(Binding, EachFallbackStubReturnsZeroAndRemovesItsArguments) {
    const Registers in = {1, 2, 3, 4, 5, 6, 7};
    for (int k = 0; k < pim::kFallbackStubCount; ++k) {
        ProbeResult r = Drive(pim::pim_fallback_stubs[k], in, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
        EXPECT_EQ(r.out.eax, 0u) << k;
        EXPECT_EQ(r.espDelta, 4 * k - 60) << k;
        ExpectPreserved(in, r.out);
    }
}

TEST_F(Binding, IgnoredMissingEntryRunsAFittingStubWithoutUpsettingTheStack) {
    // The probe lacks 32408, a stdcall function of 8 bytes: stub 2 fits.
    pim::ignoreAllMissing = true;
    const Registers in = {9, 8, 7, 6, 5, 4, 3};
    for (int call = 0; call < 2; ++call) {
        ProbeResult r = Drive(pim::HostImportAddress(pim::kImport_VeldarSetStateFlag), in, {0x8000, 1, 0xBEEF});
        EXPECT_EQ(r.out.eax, 0u);
        EXPECT_EQ(r.espDelta, 8 - 12);
        ExpectPreserved(in, r.out);
    }
    EXPECT_EQ(hooks_->lookups[kOrd_VeldarSetStateFlag], 1);
    EXPECT_TRUE(hooks_->boxes.empty());
    pim::ignoreAllMissing = false;
}

#else

TEST_F(Binding, FirstAndLaterCallsArriveWithTheirArguments) {
    char self[8], dialog[8], member[8];
    for (uint32_t call = 1; call <= 2; ++call) {
        EXPECT_EQ(host::VeldarShowMessage("t", "x", 7 * call), static_cast<int32_t>(kProbeStdcallResult));
        EXPECT_EQ(std::strcmp(reinterpret_cast<const char *>(seen_->args[1]), "x"), 0);
        EXPECT_EQ(seen_->args[2], 7 * call);
        EXPECT_EQ(host::VeldarShowMessageF("t", "%d", 3, 4), static_cast<int32_t>(kProbeCdeclResult));
        EXPECT_EQ(seen_->args[2], 3u);
        host::VeldarCallbackBinderConstruct(self, dialog, member);
        EXPECT_EQ(seen_->args[0], reinterpret_cast<uintptr_t>(self));
        EXPECT_EQ(seen_->args[2], reinterpret_cast<uintptr_t>(member));
    }
    EXPECT_EQ(seen_->calls, 6u);
    EXPECT_EQ(hooks_->lookups,
              (std::map<uint32_t, int>{
                  {kOrd_VeldarShowMessage, 1}, {kOrd_VeldarShowMessageF, 1}, {kOrd_VeldarCallbackBinderConstruct, 1}}));
}

TEST_F(Binding, AnEntrysAddressBindsNothingUntilItIsCalled) {
    // As in the i386 build: the dialog's virtual table holds entries of operations
    // the host may never call, so taking an address must not look anything up.
    using Operation = uint32_t (*)(void *self, uintptr_t word, double value);
    auto present = reinterpret_cast<Operation>(pim::HostImportAddress(pim::kImport_WDialogBaseVirtual20950));
    auto missing = reinterpret_cast<Operation>(pim::HostImportAddress(pim::kImport_WDialogBaseVirtual20951));
    EXPECT_TRUE(hooks_->lookups.empty());

    char self[8];
    for (uint32_t call = 1; call <= 2; ++call) {
        const uint32_t calls = seen_->calls;
        EXPECT_EQ(present(self, 0x1111 * call, 2.5 * call), kProbeInheritedResult);
        ASSERT_EQ(seen_->calls, calls + 1);
        EXPECT_EQ(seen_->args[0], reinterpret_cast<uintptr_t>(self)) << "`this`";
        EXPECT_EQ(seen_->args[1], 0x1111 * call);
        EXPECT_EQ(seen_->args[2], 10 * call) << "the floating-point register";
        EXPECT_EQ(hooks_->lookups[kOrd_WDialogBaseVirtual20950], 1) << "call " << call;
    }

    // A variable list arrives whole through an entry too.
    auto showF = reinterpret_cast<int32_t (*)(const char *, const char *, int32_t, ...)>(
        pim::HostImportAddress(pim::kImport_VeldarShowMessageF));
    EXPECT_EQ(showF("t", "%f", 6, 1.5), static_cast<int32_t>(kProbeCdeclResult));
    EXPECT_EQ(seen_->args[2], 6u);

    // The missing one asks when it is called, and Abort ends the call in the host's
    // exception, which unwinds through the entry.
    EXPECT_EQ(hooks_->lookups.count(kOrd_WDialogBaseVirtual20951), 0u);
    standin::StructuredException caught;
    EXPECT_FALSE(standin::Guarded([&] { missing(self, 1, 1.0); }, &caught));
    EXPECT_EQ(caught.code, pim::platform::kStatusEntryPointNotFound);
    EXPECT_EQ(caught.parameter, kOrd_WDialogBaseVirtual20951);
    // (The probe lacks the host's text conversion too, which the dialog asks about first.)
    ASSERT_FALSE(hooks_->boxes.empty());
    EXPECT_NE(hooks_->boxes.back().text.find("20951"), std::string::npos);
    EXPECT_EQ(hooks_->lookups[kOrd_WDialogBaseVirtual20951], 1);
}

TEST_F(Binding, IgnoredMissingEntryRunsAFittingStub) {
    pim::ignoreAllMissing = true;
    EXPECT_EQ(host::VeldarSetStateFlag(0x8000, 1), 0);
    EXPECT_EQ(host::VeldarSetStateFlag(0x8000, 1), 0);
    EXPECT_EQ(hooks_->lookups[kOrd_VeldarSetStateFlag], 1);
    EXPECT_EQ(pim::pim_host_slots[pim::kImport_VeldarSetStateFlag], pim::pim_fallback_stubs[2]);
    EXPECT_TRUE(hooks_->boxes.empty());
    pim::ignoreAllMissing = false;
}

#endif
