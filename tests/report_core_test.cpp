// The report object linked straight into the test, on the stand-in host: its form
// template, event handler, month ranges, virtual table, binders, the options file
// where the run's result matters, and the stand-in's form engine.
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include "form_bytes.h"
#include "form_template.h"
#include "frame.h"
#include "host_imports.h"
#include "platform.h"
#include "plugin_fixture.h"
#include "report.h"

using namespace testing_support;
using pim::CRaportSprzPapierosow;

namespace {

const char *kOptionsFile = "RuzozavURivuvorur.opc";

const std::string kMonths = Mz(
    " styczeń\n luty\n marzec\n kwiecień\n maj\n czerwiec\n lipiec\n sierpień\n wrzesień\n październik\n listopad\n"
    " grudzień\n");

std::vector<FormRecord> ReportRecords() {
    return {
        {0xFFFF, 0x4E2C, 0, 0, 0, 0, 59, 13, "Dane dodatkowe"},
        {3, 0x4104, 0, 0x3C00, 3, 2, 28, 1, Mz("\x02" "F2\x01 Wybierz miesiąc:")},
        {6, 0x4102, 0x0400, 0, 32, 2, 24, 1, kMonths},
        {3, 0x4105, 0, 0x3D00, 3, 3, 28, 1, Mz("\x02" "F3\x01 Z grup towarow.")},
        {0, 0x430F, 0x0180, 0x3D00, 32, 3, 24, 1, " "},
        {3, 0x4106, 0, 0x3E00, 3, 4, 28, 1, Mz("\x02" "F4\x01 Skrót nazwy placówki:")},
        {5, 0x4107, 0x0400, 0, 32, 4, 24, 1, "", 10},
        {3, 0x4108, 0, 0x3F00, 3, 5, 28, 1, Mz("\x02" "F5\x01 Nazwa oddziału hurtowni:")},
        {5, 0x4109, 0x0400, 0, 32, 5, 24, 1, "", 20},
        {3, 0x410A, 0, 0, 3, 7, 28, 1, Mz("Uwzględniane dokumenty:")},
        {2, 0x410B, 0x0400, 0x0046, 32, 7, 24, 1, "~F~aktury"},
        {2, 0x410C, 0x0400, 0x0050, 32, 8, 24, 1, "~P~aragony"},
        {0, 0x5001, 0x0104, 0x5500, 25, 10, 8, 1, "\x05" "F12\x01 OK"},
    };
}

class ReportCore : public ::testing::Test {
protected:
    void SetUp() override {
        StandinReset();
        StandinSetEcho(0);
        StandinSetCurrentYear(2024);
        pim::hostModule = GetModuleHandleA("VELDAR");
        ASSERT_NE(pim::hostModule, nullptr);
        RemoveFile(kOptionsFile);
    }
    void TearDown() override {
        ExpectNoFileLeftOpen();
        RemoveFile(kOptionsFile);
    }

    // Runs a form over the report object with its own binders, as Run does.
    int16_t RunForm(CRaportSprzPapierosow &report, const std::string &bytes, int32_t number, void *data) {
        alignas(8) uint8_t a[kCallbackBinderBytes] = {}, b[kCallbackBinderBytes] = {};
        host::VeldarCallbackBinderConstruct(a, &report, pim::HostImportAddress(pim::kImport_WDialogBaseMember20907));
        host::VeldarCallbackBinderConstruct(b, &report, pim::HostImportAddress(pim::kImport_WDialogBaseMember20936));
        using EntryFn = void *(HOST_CONV_THISCALL *)(void *);
        auto entry = [](uint8_t *binder) {
            return reinterpret_cast<EntryFn>((*reinterpret_cast<void *const *const *>(binder))[1])(binder);
        };
        int16_t code = host::VeldarRunForm(bytes.data(), number, data, entry(b), entry(a));
        host::VeldarCallbackBinderDestruct(b);
        host::VeldarCallbackBinderDestruct(a);
        return code;
    }

    std::string Stored(const char *date) {
        char out[256];
        host::VeldarNormalizeDate(out, date);
        return out;
    }
};

TEST_F(ReportCore, TheFormTemplateIsByteExact) {
    const std::string expected = FormTemplateBytes(ReportRecords());
    ASSERT_EQ(expected.size(), 595u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(pim::kReportFormTemplate.data()), 595), expected);
}

TEST_F(ReportCore, MonthRangesFollowTheGregorianCalendarInTheHostsYear) {
    struct Case {
        int year, month;
        const char *first, *last;
    } cases[] = {{2024, 2, "01.02.2024", "29.02.2024"}, {2023, 2, "01.02.2023", "28.02.2023"},
                 {2000, 2, "01.02.2000", "29.02.2000"}, {2100, 2, "01.02.2100", "28.02.2100"},
                 {2014, 12, "01.12.2014", "31.12.2014"}, {2024, 4, "01.04.2024", "30.04.2024"},
                 {2024, 1, "01.01.2024", "31.01.2024"}};
    for (const Case &c : cases) {
        StandinSetCurrentYear(static_cast<int16_t>(c.year));
        StandinFormScriptAdd(("select 0x4102 " + std::to_string(c.month - 1)).c_str());
        StandinFormScriptAdd("check 0x410B 0");
        StandinFormScriptAdd("check 0x410C 0");
        CRaportSprzPapierosow report;
        EXPECT_EQ(report.Run(), 1) << "no document kind";
        EXPECT_STREQ(report.periodStart, c.first);
        EXPECT_EQ(report.dateFrom, Stored(c.first)) << c.first;
        EXPECT_EQ(report.dateTo, Stored(c.last)) << c.last;
        EXPECT_FALSE(std::string(report.dateTo).empty()) << c.last;
    }
}

TEST_F(ReportCore, EventRules) {
    CRaportSprzPapierosow report;
    auto calls = [](uint32_t ord) { return StandinCallCount(ord); };

    // Kind 2 never opens the picker, not even for the group button.
    StandinFormScriptAdd("pick 5");
    EXPECT_EQ(report.OnFormEvent(0x430F, 2), 0);
    EXPECT_EQ(calls(kOrd_VeldarPickGoodsGroups), 0u);

    // Kind -2 brings the button up to date without asking: the pending answer stays.
    StandinAddGoodsGroup(5, "Papierosy");
    EXPECT_EQ(report.OnFormEvent(0x4102, -2), -2);
    EXPECT_EQ(calls(kOrd_VeldarPickGoodsGroups), 1u);
    EXPECT_EQ(calls(kOrd_VeldarSetFormFlags), 1u);
    EXPECT_EQ(report.options.groupSelected[5], 0);

    // The group button asks the user (any kind but 2).
    EXPECT_EQ(report.OnFormEvent(0x430F, 7), -2);
    EXPECT_EQ(calls(kOrd_VeldarPickGoodsGroups), 2u);
    EXPECT_EQ(calls(kOrd_VeldarSetFormFlags), 2u);
    EXPECT_EQ(report.options.groupSelected[5], 1);

    // Other kinds do nothing.
    EXPECT_EQ(report.OnFormEvent(0x4107, 3), 0);
    EXPECT_EQ(report.OnFormEvent(0x5001, 0), 0);
    EXPECT_EQ(calls(kOrd_VeldarNormalizeDate), 0u);

    // A command other than OK converts the dates but computes no range.
    EXPECT_EQ(report.OnFormEvent(0x4107, 1), 0);
    EXPECT_EQ(calls(kOrd_VeldarNormalizeDate), 2u);
    EXPECT_EQ(calls(kOrd_VeldarGetControlValue), 0u);
    EXPECT_STREQ(report.periodStart, "");
}

TEST_F(ReportCore, AMonthIndexTheListDoesNotOfferMakesNoImpossibleDate) {
    // Outside a running form the host answers -1: the options' month stands.
    CRaportSprzPapierosow report;
    report.options.month = 10;
    EXPECT_EQ(report.OnFormEvent(0x5001, 1), 0);
    EXPECT_STREQ(report.periodStart, "01.11.2024");
    EXPECT_EQ(report.dateTo, Stored("30.11.2024"));
    report.options.month = 40;
    report.OnFormEvent(0x5001, 1);
    EXPECT_STREQ(report.periodStart, "01.01.2024");

    // A list of thirteen items run by the host: item 13 gives January, not month 13.
    std::vector<FormRecord> records = ReportRecords();
    records[2].caption = kMonths + " trzynasty\n";
    const std::string bytes = FormTemplateBytes(records);
    CRaportSprzPapierosow other;
    StandinFormScriptAdd("select 0x4102 12");
    EXPECT_EQ(RunForm(other, bytes, 20012, &other.options), 0x5001) << StandinFormError();
    EXPECT_EQ(other.options.month, 12);
    EXPECT_STREQ(other.periodStart, "01.01.2024");
    EXPECT_EQ(other.dateTo, Stored("31.01.2024"));
}

// A thiscall call of the deleting destructor through slot 0, as the host makes it.
TEST_F(ReportCore, TheVirtualTableServesTheHost) {
    void *storage = std::malloc(sizeof(CRaportSprzPapierosow));
    auto *report = new (storage) CRaportSprzPapierosow;
    EXPECT_EQ(StandinCallCount(kOrd_WDialogBaseConstruct), 1u);
    using DeletingFn = void *(HOST_CONV_THISCALL *)(void *, uint32_t);
    using EventFn = int32_t(HOST_CONV_THISCALL *)(void *, int16_t, int16_t);
    EXPECT_EQ(reinterpret_cast<EventFn>(report->vtable[1])(report, 0x430F, 2), 0);
    EXPECT_EQ(reinterpret_cast<EventFn>(report->vtable[1])(report, 0x4102, -2), -2);
    EXPECT_EQ(reinterpret_cast<DeletingFn>(report->vtable[0])(report, 1), report);
    EXPECT_EQ(StandinCallCount(kOrd_WDialogBaseDestruct), 1u);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarDelete), 1u);

    CRaportSprzPapierosow onStack;
    void *const *vtable = onStack.vtable;
    EXPECT_EQ(reinterpret_cast<DeletingFn>(vtable[0])(&onStack, 0), &onStack);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarDelete), 1u) << "flag 0 releases no storage";
    new (&onStack) CRaportSprzPapierosow;  // the object's own destructor runs at scope end
}

TEST_F(ReportCore, DestructionReleasesEveryList) {
    {
        CRaportSprzPapierosow report;
        void *items = nullptr, *outlets = nullptr, *rows = nullptr;
        ASSERT_TRUE(host::VeldarResizeBlock(&items, 10 * sizeof(pim::ItemRow)));
        ASSERT_TRUE(host::VeldarResizeBlock(&outlets, 3 * sizeof(pim::OutletRow)));
        ASSERT_TRUE(host::VeldarResizeBlock(&rows, 5 * sizeof(pim::OutletItemRow)));
        report.itemList = static_cast<pim::ItemRow *>(items);
        report.outletList = static_cast<pim::OutletRow *>(outlets);
        std::memset(outlets, 0, 3 * sizeof(pim::OutletRow));
        report.outletList[1].outletItems = static_cast<pim::OutletItemRow *>(rows);
        report.outletList[2].outletItems = reinterpret_cast<pim::OutletItemRow *>(1);  // beyond the count: untouched
        report.outletCount = 2;
        EXPECT_EQ(StandinLiveBlocks(), 3);
    }
    EXPECT_EQ(StandinLiveBlocks(), 0);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarFreeBlock), 3u);
}

TEST_F(ReportCore, RunUsesBindersAndTheirEntries) {
    StandinFormScriptAdd("check 0x410B 1");
    CRaportSprzPapierosow report;
    EXPECT_EQ(report.Run(), 0);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarCallbackBinderConstruct), 2u);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarCallbackBinderDestruct), 2u);
    EXPECT_EQ(StandinCallCount(20907), 1u) << "the form called entry A";
    EXPECT_EQ(StandinCallCount(20936), 1u) << "the form called entry B";
    EXPECT_EQ(report.documentRecord, host::VeldarGetTable(44)->record);
}

TEST_F(ReportCore, AFailedWriteWarnsAndTheRunGoesOn) {
    // A directory in the file's place: neither read nor written, whoever runs this.
    ASSERT_EQ(std::system("mkdir RuzozavURivuvorur.opc"), 0);
    StandinFormScriptAdd("check 0x410C 1");
    CRaportSprzPapierosow report;
    EXPECT_EQ(report.Run(), 0) << "the collection and export ran";
    auto warnings = EventsOfKind(kEventMessage);
    ASSERT_GE(warnings.size(), 2u);
    EXPECT_EQ(warnings[1].title, Mz("Uwaga"));
    EXPECT_EQ(warnings[1].text, Mz("Nie można otworzyć pliku z opcjami raportu!\n Niektóre opcje nie zostaną zapisane!"));
    std::system("rmdir RuzozavURivuvorur.opc");
}

// The bounded formatting behind the export names and the month's dates: a text that
// does not fit is cut and terminated, and says so. On Windows msvcrt's _vsnprintf
// formats it, which neither terminates a text that fills its count nor tells how
// long a cut one would have been.
TEST(FormatText, CutsAndTerminatesWhatDoesNotFit) {
    const struct {
        const char *text;
        int result;
        const char *kept;
    } cases[] = {{"abcdef", 6, "abcdef"}, {"abcdefg", 7, "abcdefg"}, {"abcdefgh", -1, "abcdefg"},
                 {"abcdefghijklmnop", -1, "abcdefg"}, {"", 0, ""}};
    for (const auto &c : cases) {
        char buffer[9];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(pim::platform::FormatText(buffer, 8, "%s", c.text), c.result) << c.text;
        EXPECT_STREQ(buffer, c.kept) << c.text;
        EXPECT_EQ(buffer[8], 'x') << c.text << ": nothing written past the size";
    }
    char one = 'x';
    EXPECT_EQ(pim::platform::FormatText(&one, 1, "%d", 5), -1);
    EXPECT_EQ(one, '\0');
}

// ---- the stand-in's form engine ----

TEST_F(ReportCore, TheEngineBindsDataControlsInTemplateOrder) {
    std::vector<FormRecord> records = {
        {0xFFFF, 7, 0, 0, 0, 0, 40, 10, "Test"},
        {5, 0x11, 0x0400, 0, 2, 2, 10, 1, "", 3},
        {3, 0x12, 0, 0, 2, 3, 10, 1, "label"},
        {2, 0x13, 0x0400, 'A', 2, 4, 10, 1, "~A~"},
        {2, 0x14, 0x0400, 'B', 2, 5, 10, 1, "~B~"},
        {6, 0x15, 0x0400, 0, 2, 6, 10, 1, " a\n b\n c\n"},
        {0, 0x5001, 0, 0x5500, 2, 8, 8, 1, "OK"},
    };
    uint8_t data[16];
    std::memset(data, 0xEE, sizeof data);
    CRaportSprzPapierosow report;
    for (const char *a : {"type 0x11 xyz", "check 0x14 1", "select 0x15 2", "key Up", "key Up", "key Space"})
        ASSERT_TRUE(StandinFormScriptAdd(a));
    ASSERT_EQ(RunForm(report, FormTemplateBytes(records), 7, data), 0x5001) << StandinFormError();
    EXPECT_EQ(std::string(reinterpret_cast<char *>(data), 4), std::string("xyz\0", 4)) << "edit: L + 1 bytes";
    EXPECT_EQ(data[4] & 3, 3) << "both check boxes in one word; Up twice reached the first";
    EXPECT_EQ(data[5], 0xEE & 0xFF);
    EXPECT_EQ(data[6] | data[7] << 8, 2) << "list after the shared word";
    EXPECT_EQ(data[8], 0xEE) << "nothing beyond the bound controls";
}

TEST_F(ReportCore, TheEngineRefusesMalformedTemplates) {
    uint8_t data[64] = {};
    CRaportSprzPapierosow report;
    auto refused = [&](std::string bytes, const char *what) {
        StandinFormScriptAdd("check 0x410B 1");
        EXPECT_EQ(RunForm(report, bytes, 20012, data), 0) << what;
        EXPECT_NE(std::string(StandinFormError()).find("malformed"), std::string::npos) << what;
        EXPECT_EQ(StandinCallCount(20936), 0u) << what << ": the form never opened";
    };
    std::string good = FormTemplateBytes(ReportRecords());
    std::string bad = good;
    bad[0] = static_cast<char>(bad[0] + 1);
    refused(bad, "lengths disagree");
    bad = good;
    bad[6] = 13;
    refused(bad, "one control too many");
    bad = good;
    bad[6] = 11;
    refused(bad, "one control too few");
    auto with = [](std::function<void(std::vector<FormRecord> &)> change) {
        std::vector<FormRecord> r = ReportRecords();
        change(r);
        return FormTemplateBytes(r);
    };
    refused(with([](auto &r) { r[3].kind = 9; }), "unknown kind");
    refused(with([](auto &r) { r[6].limit = 0; }), "edit without a limit");
    refused(with([](auto &r) { r[4].column = 50; }), "outside the form");
    refused(with([](auto &r) { r[2].caption = " styczeń\nluty\n"; }), "item without its blank");
    refused(with([](auto &r) { r[1].flags = 0x0400; }), "a label that edits data");
    refused(with([](auto &r) { r[5].id = 0x4104; }), "two controls, one id");
    bad = good;
    bad.back() = 'x';
    refused(bad, "the last caption without its NUL");

    EXPECT_EQ(RunForm(report, good, 20011, data), 0);
    EXPECT_NE(std::string(StandinFormError()).find("form number"), std::string::npos);
    alignas(8) uint8_t fake[8] = {};
    EXPECT_EQ(host::VeldarRunForm(good.data(), 20012, data, fake, fake), 0);
    EXPECT_NE(std::string(StandinFormError()).find("binders"), std::string::npos);
}

}  // namespace
