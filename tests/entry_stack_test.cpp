// The plug-in entered as a host built by another compiler enters it: with the stack
// only 4-byte aligned. The stand-in's trampoline gives each call the stack it is
// told to, the stand-in reports every block of the plug-in's that is not 8-aligned,
// and the whole report, form included, keeps its blocks 8-aligned whatever the entry.
#include <cstring>
#include <string>

#include "frame.h"
#include "host_imports.h"
#include "plugin_fixture.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace testing_support;

namespace {

#if defined(_WIN32)

extern "C" {
extern uint32_t entry_probe_seen[4] __asm__("entry_probe_seen");
int32_t HOST_CONV_STDCALL EntryProbePop8(int32_t, int16_t) __asm__("entry_probe_pop8");
int32_t HOST_CONV_CDECL EntryProbePop0(int32_t, int16_t) __asm__("entry_probe_pop0");
}

class EntryStack : public ::testing::TestWithParam<int32_t> {
protected:
    void SetUp() override {
        StandinReset();
        ASSERT_EQ(StandinSetEntryStack(GetParam()), 1);
        std::memset(entry_probe_seen, 0, sizeof entry_probe_seen);
    }
    void TearDown() override { StandinReset(); }
    uint32_t ArgumentsAt() const { return entry_probe_seen[0] % 16; }
};

TEST_P(EntryStack, EachConventionFindsItsArgumentsAtTheResidue) {
    EXPECT_EQ(standin::EnterStdcall(&EntryProbePop8, int32_t{-5}, int16_t{-2}), 0x18001);
    EXPECT_EQ(ArgumentsAt(), static_cast<uint32_t>(GetParam()));
    EXPECT_EQ(entry_probe_seen[2], 0xFFFFFFFBu);
    EXPECT_EQ(entry_probe_seen[3], 0xFFFFFFFEu) << "a 16-bit argument widened with its sign";

    EXPECT_EQ(standin::EnterCdecl(&EntryProbePop0, int32_t{7}, int16_t{0x7FFF}), 0x18001);
    EXPECT_EQ(ArgumentsAt(), static_cast<uint32_t>(GetParam()));
    EXPECT_EQ(entry_probe_seen[3], 0x7FFFu);

    int self = 0;
    EXPECT_EQ(standin::EnterThiscall<int16_t>(reinterpret_cast<const void *>(&EntryProbePop8), &self, int16_t{3},
                                              int16_t{1}),
              -32767)
        << "a 16-bit result is AX";
    EXPECT_EQ(ArgumentsAt(), static_cast<uint32_t>(GetParam()));
    EXPECT_EQ(entry_probe_seen[1], reinterpret_cast<uintptr_t>(&self)) << "this in ECX";
    EXPECT_EQ(StandinFaultCount(), 0);
}

TEST_P(EntryStack, AnEntryThatRemovesOtherBytesIsAFaultAndTheHostGoesOn) {
    // A caller-cleaned entry called as callee-cleaned, and the other way round.
    standin::EnterStdcall(reinterpret_cast<decltype(&EntryProbePop8)>(&EntryProbePop0), int32_t{1}, int16_t{2});
    standin::EnterCdecl(reinterpret_cast<decltype(&EntryProbePop0)>(&EntryProbePop8), int32_t{1}, int16_t{2});
    ASSERT_EQ(StandinFaultCount(), 2);
    EXPECT_NE(std::string(StandinFault(0)).find("removed 0 argument bytes where its convention removes 8"),
              std::string::npos)
        << StandinFault(0);
    EXPECT_NE(std::string(StandinFault(1)).find("removed 8 argument bytes where its convention removes 0"),
              std::string::npos)
        << StandinFault(1);
}

INSTANTIATE_TEST_SUITE_P(Residues, EntryStack, ::testing::Values(0, 4, 8, 12));

TEST(EntryStackSetting, OnlyWholeSlotResiduesBelow16) {
    for (int32_t residue : {-4, 2, 6, 16, 20}) EXPECT_EQ(StandinSetEntryStack(residue), 0) << residue;
    StandinReset();
}

#endif

// ---- the stand-in's alignment check ----

class HostChecks : public ::testing::Test {
protected:
    void SetUp() override {
#if defined(_WIN32)
        // The program is the plug-in here: its attach step finds VELDAR for the binder.
        static const bool attached = (pim::AttachStep(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr), true);
        (void)attached;
#endif
        StandinReset();
    }
    void TearDown() override { StandinReset(); }
    std::string Fault(int32_t i) {
        const char *f = StandinFault(i);
        return f != nullptr ? f : "";
    }
    alignas(8) uint8_t key_[136] = {};
    alignas(8) uint8_t cursor_[136] = {};
    alignas(8) uint8_t binder_[40] = {};
};

TEST_F(HostChecks, BlocksThatAreNot8AlignedAreFaultsBlocksThatAreAreNot) {
    HostTable *documents = host::VeldarGetTable(44);
    ASSERT_NE(documents, nullptr);
    ASSERT_EQ(host::VeldarPrepareKey(811, nullptr, key_, 0), 1);
    host::VeldarOpenCursor(cursor_, documents, 811, key_, 0, 0);
    host::VeldarFetchNext(cursor_);
    host::VeldarCloseCursor(cursor_);
    EXPECT_EQ(StandinFaultCount(), 0);
    EXPECT_EQ(StandinBlocksChecked(), 5u);

    ASSERT_EQ(host::VeldarPrepareKey(811, nullptr, key_ + 4, 0), 1);
    host::VeldarOpenCursor(cursor_ + 4, documents, 811, key_ + 4, 0, 0);
    host::VeldarFetchNext(cursor_ + 4);
    host::VeldarCloseCursor(cursor_ + 4);
    ASSERT_EQ(StandinFaultCount(), 5);
    EXPECT_NE(Fault(0).find("a key block"), std::string::npos) << Fault(0);
    EXPECT_NE(Fault(0).find("VeldarPrepareKey, is not 8-aligned"), std::string::npos) << Fault(0);
    EXPECT_NE(Fault(1).find("a cursor block"), std::string::npos) << Fault(1);
    EXPECT_NE(Fault(4).find("VeldarCloseCursor"), std::string::npos) << Fault(4);
    EXPECT_EQ(StandinBlocksChecked(), 10u);
}

TEST_F(HostChecks, ABinderThatIsNot8AlignedIsAFaultAtEachUse) {
    int dialog = 0;
    void *member = pim::HostImportAddress(pim::kImport_WDialogBaseMember20907);
    host::VeldarCallbackBinderConstruct(binder_ + 4, &dialog, member);
    using EntryFn = void *(HOST_CONV_THISCALL *)(void *self);
    void *const *vtable = nullptr;
    std::memcpy(&vtable, binder_ + 4, sizeof vtable);
    EXPECT_NE(reinterpret_cast<EntryFn>(vtable[1])(binder_ + 4), nullptr);
    host::VeldarCallbackBinderDestruct(binder_ + 4);
    ASSERT_EQ(StandinFaultCount(), 3);
    EXPECT_NE(Fault(0).find("a callback binder"), std::string::npos) << Fault(0);
    EXPECT_NE(Fault(1).find("the binder's entry operation"), std::string::npos) << Fault(1);
}

// ---- the whole report, form included, at each entry stack ----

#if defined(_WIN32)
const int32_t kResidues[] = {4, 0, 8, 12};
constexpr int32_t kResidueFollowed = 1;
#else
const int32_t kResidues[] = {4};  // natively calls enter as the platform's convention has it
constexpr int32_t kResidueFollowed = 0;
#endif

const char *kFiles[] = {"202503_VAT_SKLEP1.txt", "202503_PAR_SKLEP1.txt", "202503_TOW_SKLEP1.txt"};

class WholeReport : public PluginTest, public ::testing::WithParamInterface<int32_t> {
protected:
    void SetUp() override {
        Clean();
        PluginTest::SetUp();
        ASSERT_EQ(StandinSetEntryStack(GetParam()), kResidueFollowed);
        const char *error = StandinLoadDataset(PIM_DATA_DIR "/sample-month.txt");
        ASSERT_EQ(error, nullptr) << error;
        ConnectAndSetUp();
    }
    void TearDown() override {
        PluginTest::TearDown();  // no fault
        Clean();
    }
    static void Clean() {
        for (const char *name : kFiles) RemoveFile(name);
        for (const char *name : {"RuzozavURivuvorur.opc", "RuzozavURivuvorur.ini"}) RemoveFile(name);
    }
    void Run(std::initializer_list<const char *> script) {
        for (const char *action : script) ASSERT_TRUE(StandinFormScriptAdd(action)) << action;
        ASSERT_EQ(StandinMenuCount(), 1);
        EXPECT_EQ(ChooseCommand(), 0);
        EXPECT_STREQ(StandinFormError(), "");
    }
};

TEST_P(WholeReport, TheMonthIsExportedWithEveryBlock8Aligned) {
    // The group button and the picker's refresh reach the plug-in's event handler too.
    Run({"select 0x4102 2", "pick 1,2,3", "press 0x430F", "type 0x4107 SKLEP1", "type 0x4109 Lublin Centrum",
         "check 0x410B 1", "check 0x410C 1"});
    for (const char *name : kFiles)
        EXPECT_EQ(ReadFile(name), OnDisk(ReadFile(std::string(PIM_GOLDEN_DIR "/month/") + name))) << name;
    EXPECT_EQ(StandinFaultCount(), 0);
    StandinCursorStats stats{};
    StandinGetCursorStats(&stats);
    EXPECT_GT(stats.fetched, 400u);  // the month's goods, documents and lines, each read once or twice
    EXPECT_GE(StandinBlocksChecked(), stats.opened + stats.fetched + stats.closed + 6) << "both binders too";
    EXPECT_EQ(StandinLiveBlocks(), 0);
}

TEST_P(WholeReport, AnAbandonedFormLeavesNoFilesAndAlignedBinders) {
    Run({"select 0x4102 2", "key Esc"});
    for (const char *name : kFiles) EXPECT_FALSE(FileExists(name)) << name;
    EXPECT_EQ(StandinCallCount(kOrd_VeldarCallbackBinderConstruct), 2u);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarCallbackBinderDestruct), 2u);
    EXPECT_EQ(StandinBlocksChecked(), 6u) << "two binders, each made, asked for its entry and destroyed";
    EXPECT_EQ(StandinFaultCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Residues, WholeReport, ::testing::ValuesIn(kResidues));

}  // namespace
