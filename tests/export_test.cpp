// The export files and the final notice, on report objects whose lists are filled
// by hand as the collection fills them (rows on the host's heap).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "frame.h"
#include "host_imports.h"
#include "plugin_fixture.h"
#include "report.h"
#include "report_rows.h"
#include "veldar.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

using testing_support::Mz;
using testing_support::OnDisk;
using testing_support::ReadFile;

const char *const kInvoices = "202403_VAT_SKLEP1.txt";
const char *const kReceipts = "202403_PAR_SKLEP1.txt";
const char *const kStock = "202403_TOW_SKLEP1.txt";

// Where the full-disk device lies for the program writing the files.
#if defined(_WIN32)
const char *const kFullDevice = "Z:\\dev\\full";
#else
const char *const kFullDevice = "/dev/full";
#endif

std::string Golden(const std::string &name) { return ReadFile(std::string(EXPORT_GOLDEN_DIR "/") + name); }

bool Exists(const std::string &path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

template <class Row>
Row &Append(Row *&list, int32_t &count, int32_t &capacity) {
    Row *row = testing_support::AppendRow(list, count, capacity);
    if (row == nullptr) throw std::bad_alloc();  // the host's heap is the test's: never short
    return *row;
}

template <std::size_t N>
void Set(char (&field)[N], const std::string &text) {
    ASSERT_LT(text.size(), N);
    std::memcpy(field, text.c_str(), text.size() + 1);
}

class ExportTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#if defined(_WIN32)
        pim::AttachStep(GetModuleHandleA(nullptr), 1, nullptr);  // the binder finds VELDAR through it
#endif
    }

    void SetUp() override {
        StandinReset();
        for (const char *name : {kInvoices, kReceipts, kStock}) std::remove(name);
        report.emplace();
        pim::CRaportSprzPapierosow &r = *report;
        r.outletList = nullptr;
        r.itemList = nullptr;
        r.outletCount = r.outletCapacity = r.itemCount = r.itemCapacity = 0;
        std::memset(&r.options, 0, sizeof r.options);
        Set(r.options.outletShortName, "SKLEP1");
        Set(r.options.branchName, Mz("Hurtownia Łódź"));
        Set(r.periodStart, "01.03.2024");
    }

    // The rows go back to the host's heap and the lists are left empty, so that the
    // report object's own release finds nothing more to do.
    void TearDown() override {
        pim::CRaportSprzPapierosow &r = *report;
        for (int32_t o = 0; o < r.outletCount; ++o) host::VeldarFreeBlock(r.outletList[o].outletItems);
        host::VeldarFreeBlock(r.outletList);
        host::VeldarFreeBlock(r.itemList);
        r.outletList = nullptr;
        r.itemList = nullptr;
        r.outletCount = r.outletCapacity = r.itemCount = r.itemCapacity = 0;
        EXPECT_EQ(StandinLiveBlocks(), 0);
        testing_support::ExpectNoFileLeftOpen();
        report.reset();
        StandinRedirectFile(nullptr, nullptr);
    }

    int32_t AddOutlet(const std::string &name, const std::string &street, const std::string &city,
                      const std::string &postalCode, const std::string &taxNumber) {
        pim::CRaportSprzPapierosow &r = *report;
        pim::OutletRow &row = Append(r.outletList, r.outletCount, r.outletCapacity);
        Set(row.name, Mz(name));
        Set(row.street, Mz(street));
        Set(row.city, Mz(city));
        Set(row.postalCode, postalCode);
        Set(row.taxNumber, taxNumber);
        return r.outletCount - 1;
    }

    void AddOutletItem(int32_t outlet, const std::string &code, const std::string &name, int32_t quantity,
                       const std::string &unit) {
        pim::OutletRow &o = report->outletList[outlet];
        pim::OutletItemRow &row = Append(o.outletItems, o.outletItemCount, o.outletItemCapacity);
        Set(row.goodsCode, code);
        Set(row.goodsName, Mz(name));
        row.quantity = quantity;
        Set(row.unit, unit);
    }

    void AddItem(int16_t sold, const std::string &code, int32_t stock, int32_t receipts) {
        pim::CRaportSprzPapierosow &r = *report;
        pim::ItemRow &row = Append(r.itemList, r.itemCount, r.itemCapacity);
        row.sold = sold;
        Set(row.goodsCode, code);
        Set(row.goodsName, code);
        row.stockQuantity = stock;
        row.receiptsQuantity = receipts;
    }

    // A small month: an outlet with three rows, one without any, one with two.
    void FillMarch() {
        int32_t a = AddOutlet("  Sklep  Spożywczy   \"U Ani\"  ", "ul. Długa 5", "Łódź", "90-001", "7251234567");
        AddOutletItem(a, "P001", "Papierosy Mocne 20 szt.", 2999, "szt.");
        AddOutletItem(a, "P002", "Papierosy Lekkie", 1000, "szt.");
        AddOutletItem(a, "TOTAL", "TOTAL", 7000, "SZTA.");
        AddOutlet("Kiosk Ruchu", "Plac Wolności 1", "Radom", "26-600", "");
        int32_t c = AddOutlet("Bar   Mleczny", "", "", "", "9482736450");
        AddOutletItem(c, "P003", "Tytoń fajkowy", -1500, "op.");
        AddOutletItem(c, "TOTAL", "TOTAL", 999, "SZTA.");
        AddItem(1, "P001", 120000, 2999);
        AddItem(0, "P004", 5000, 0);
        AddItem(1, "P002", 0, 999);
        AddItem(1, "P003", -1500, 1000);
    }

    // Runs the export; returns the final notice, which must be the one message shown.
    std::string Export() {
        EXPECT_EQ(report->ExportFiles(), 0);
        auto shown = testing_support::Events();
        EXPECT_EQ(shown.size(), 1u);
        if (shown.empty()) return {};
        EXPECT_EQ(shown[0].kind, kEventMessageV);
        EXPECT_EQ(shown[0].title, "Uwaga");
        EXPECT_EQ(shown[0].flags, 1);
        return shown[0].text;
    }

    static std::string Notice(const char *invoices, const char *receipts, const char *stock) {
        return Mz(std::string("Plik \x02") + kInvoices + "\x01 (faktury)  - " + invoices + "\nPlik \x02" + kReceipts +
                  "\x01 (paragony) - " + receipts + "\nPlik \x02" + kStock + "\x01 (magazyn)  - " + stock +
                  "\n\nWszystkie pliki znajdują się w katalogu głównym programu.");
    }

    std::string FileName(const char *period, const char *kind, const std::string &shortName) {
        char buffer[pim::kExportFileNameSize];
        EXPECT_EQ(report->MakeExportFileName(buffer, period, kind, shortName.c_str()), buffer);
        return buffer;
    }

    std::optional<pim::CRaportSprzPapierosow> report;
};

const char *const kOk = "export OK";
const char *const kFailed = "BŁĄD exportu";
const char *const kNothing = "Brak pozycji do wyeksportowania";
const std::string kItemHeader = "ODD\tKODT_PH\tILOSC\n";
const std::string kInvoiceHeader = "ODD\tNAZWA\tULICANR\tMIASTO\tKOD\tNIP\tKODT\tOPIST\tILOSC\tJM\n";

TEST_F(ExportTest, WritesTheThreeFilesOfAMonth) {
    FillMarch();
    EXPECT_EQ(Export(), Notice(kOk, kOk, kOk));
    for (const char *name : {kInvoices, kReceipts, kStock}) EXPECT_EQ(ReadFile(name), OnDisk(Golden(name))) << name;
    // The outlet names are cleaned up in the report object itself.
    EXPECT_STREQ(report->outletList[0].name, Mz("Sklep Spożywczy \"U Ani\"").c_str());
    EXPECT_STREQ(report->outletList[2].name, "Bar Mleczny");
}

TEST_F(ExportTest, NamesFilesByPeriodKindAndShortName) {
    EXPECT_EQ(FileName("01.03.2024", "VAT", "SKLEP1"), kInvoices);
    EXPECT_EQ(FileName("01.03.2024", "PAR", "SKLEP1"), kReceipts);
    EXPECT_EQ(FileName("01.12.1999", "TOW", "SKLEP1"), "199912_TOW_SKLEP1.txt");
    EXPECT_EQ(FileName("01.03.2024", "VAT", ""), "202403_VAT_.txt");
    EXPECT_EQ(FileName("01.03.2024", "VAT", " A B "), "202403_VAT_ A B .txt");  // not trimmed
    EXPECT_EQ(FileName("01.03.12345678901", "VAT", "A"), "12345678903_VAT_A.txt");  // nine digits at most
    // Converted from the host's code page into the file-name character set (the
    // stand-in's is ASCII: Polish letters lose their diacritics).
    EXPECT_EQ(FileName("01.03.2024", "VAT", Mz("ŁÓDŹ-ż")), "202403_VAT_LODZ-z.txt");
    EXPECT_EQ(FileName("01.03.2024", "VAT", Mz("Café")), "202403_VAT_Caf_.txt");
    // Characters that cannot stand in a file name, or would lead out of the directory.
    EXPECT_EQ(FileName("01.03.2024", "VAT", "..\\x"), "202403_VAT_.._x.txt");
    EXPECT_EQ(FileName("01.03.2024", "VAT", "C:/a*?\"<>|"), "202403_VAT_C__a______.txt");
    EXPECT_EQ(FileName("01.03.2024", "VAT", "a\tb\x1f"), "202403_VAT_a_b_.txt");
    // Also what the host's conversion gives a character its file-name set lacks.
    StandinSetFileNameFallback('?');
    EXPECT_EQ(FileName("01.03.2024", "VAT", Mz("Café")), "202403_VAT_Caf_.txt");
    // And before it: a host's conversion may render a control byte as a DOS glyph.
    StandinSetControlGlyphs(1);
    EXPECT_EQ(FileName("01.03.2024", "VAT", "A\x15"), "202403_VAT_A_.txt");
}

TEST_F(ExportTest, EmptyListsLeaveNoFile) {
    // Older files of the same names go too.
    for (const char *name : {kInvoices, kReceipts, kStock}) testing_support::WriteFile(name, "older\n");
    EXPECT_EQ(Export(), Notice(kNothing, kNothing, kNothing));
    for (const char *name : {kInvoices, kReceipts, kStock}) EXPECT_FALSE(Exists(name)) << name;
    EXPECT_EQ(StandinCallCount(kOrd_VeldarFileOpen), 3u);  // each was created before it was deleted
}

TEST_F(ExportTest, ListsWhoseRowsAreAllFilteredOutKeepTheirHeader) {
    AddOutlet("Kiosk", "Polna 1", "Radom", "26-600", "");
    AddOutlet("Bar", "Leśna 2", "Radom", "26-600", "");
    AddItem(0, "P001", 1000, 0);
    AddItem(0, "P002", 2000, 0);
    EXPECT_EQ(Export(), Notice(kOk, kOk, kOk));
    EXPECT_EQ(ReadFile(kInvoices), OnDisk(kInvoiceHeader));
    EXPECT_EQ(ReadFile(kReceipts), OnDisk(kItemHeader));
    EXPECT_EQ(ReadFile(kStock), OnDisk(kItemHeader));
}

TEST_F(ExportTest, EachListDecidesOnlyItsOwnFiles) {
    int32_t a = AddOutlet("Kiosk", "Polna 1", "Radom", "26-600", "123");
    AddOutletItem(a, "TOTAL", "TOTAL", 1000, "SZTA.");
    EXPECT_EQ(Export(), Notice(kOk, kNothing, kNothing));
    EXPECT_EQ(ReadFile(kInvoices),
              OnDisk(kInvoiceHeader + Mz("Hurtownia Łódź") + "\tKiosk\tPolna 1\tRadom\t26-600\t123\tTOTAL\tTOTAL\t1\tSZTA.\n"));
    EXPECT_FALSE(Exists(kReceipts));
    EXPECT_FALSE(Exists(kStock));
}

TEST_F(ExportTest, AFileThatCannotBeCreatedOrWrittenDoesNotStopTheOthers) {
    // The invoice file cannot be created where the host opens it; a line of the stock
    // file fails, though its close succeeds. Neither leaves a file of its name.
    FillMarch();
    for (const char *name : {kInvoices, kStock}) testing_support::WriteFile(name, "older\n");
    StandinRedirectFile(kInvoices, "no-such-directory/x");
    StandinFailFilePrintf(kStock, 2);
    EXPECT_EQ(Export(), Notice(kFailed, kOk, kFailed));
    EXPECT_FALSE(Exists(kInvoices));
    EXPECT_FALSE(Exists(kStock));
    EXPECT_EQ(ReadFile(kReceipts), OnDisk(Golden(kReceipts)));
    EXPECT_STREQ(report->outletList[2].name, "Bar   Mleczny");  // its list was never walked
}

TEST_F(ExportTest, ControlBytesInsideTextsBecomeSpaces) {
    Set(report->options.branchName, "Hurt\tRadom");
    int32_t a = AddOutlet("Sklep\x1a pod\r\nLipą\t", "Polna\x02" "1\x01", "Ra\rdom", "26\n600", "1\t2");
    AddOutletItem(a, "P\t1", "Mocne\r\n20", 1000, "sz\tt");
    AddItem(1, "P\n2", 0, 2000);
    EXPECT_EQ(Export(), Notice(kOk, kOk, kOk));
    // Each becomes one space, also a CR LF pair, a Ctrl-Z and the host's emphasis
    // bytes; the columns stay. In the outlet name that happens before it is trimmed
    // and its runs of spaces collapsed.
    EXPECT_EQ(ReadFile(kInvoices),
              OnDisk(kInvoiceHeader + Mz("Hurt Radom\tSklep pod Lipą\tPolna 1 \tRa dom\t26 600\t1 2\tP 1\tMocne  20\t1\tsz t\n")));
    EXPECT_EQ(ReadFile(kReceipts), OnDisk(kItemHeader + "Hurt Radom\tP 2\t2\n"));
    EXPECT_EQ(ReadFile(kStock), OnDisk(kItemHeader + "Hurt Radom\tP 2\t0\n"));
}

TEST_F(ExportTest, AFullDiskIsReportedAndLeavesNoTruncatedFile) {
    // Enough lines for the runtime's buffer to overflow while the invoice file is
    // written; the stock file's few lines fail only when it is closed. The old files
    // of those names must not survive as if they were this month's.
    int32_t a = AddOutlet("Sklep", "Polna 1", "Radom", "26-600", "123");
    for (int k = 0; k < 40; ++k) AddOutletItem(a, std::to_string(1000 + k), std::string(100, 'x'), 1000, "szt.");
    AddItem(1, "P001", 1000, 1000);
    for (const char *name : {kInvoices, kStock}) {
        testing_support::WriteFile(name, "older\n");
        StandinRedirectFile(name, kFullDevice);
    }
    EXPECT_EQ(Export(), Notice(kFailed, kOk, kFailed));
    EXPECT_FALSE(Exists(kInvoices));
    EXPECT_FALSE(Exists(kStock));
    EXPECT_EQ(ReadFile(kReceipts), OnDisk(kItemHeader + Mz("Hurtownia Łódź") + "\tP001\t1\n"));
#if !defined(_WIN32)
    // The invoice file's failure was seen while writing: its remaining lines were not
    // offered to the full disk (40 rows and a header, 2 + 2 lines for the others).
    // The Windows runtime under Wine reports failed writes only when the file is closed.
    EXPECT_LT(StandinCallCount(kOrd_VeldarFilePrintf), 41u + 4u);
#endif
}

TEST(CollapseSpaces, LeavesOneSpaceOfEveryRun) {
    struct Case {
        const char *in, *out;
    };
    for (const Case &c : {Case{"a   b", "a b"}, Case{"  lead", " lead"}, Case{"trail  ", "trail "},
                          Case{"a  b  c", "a b c"}, Case{"   ", " "}, Case{"", ""}, Case{"a b", "a b"},
                          Case{"tab\t\tkept", "tab\t\tkept"}, Case{" \t ", " \t "}}) {
        std::string text = c.in;
        EXPECT_EQ(pim::CollapseSpaces(text.data()), text.data());
        EXPECT_STREQ(text.c_str(), c.out) << '"' << c.in << '"';
    }
}

}  // namespace
