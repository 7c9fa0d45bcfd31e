// The whole report over the bundled month, as a person runs it: the real plug-in in
// the stand-in host, the menu command, the form filled in, and the three files
// compared byte for byte with files checked by hand.
#include <algorithm>

#include "plugin_fixture.h"

using namespace testing_support;

namespace {

const char *kFiles[] = {"202503_VAT_SKLEP1.txt", "202503_PAR_SKLEP1.txt", "202503_TOW_SKLEP1.txt"};

class WholeMonth : public PluginTest {
protected:
    void SetUp() override {
        for (const char *name : kFiles) RemoveFile(name);
        RemoveFile("RuzozavURivuvorur.opc");
        PluginTest::SetUp();
        const char *error = StandinLoadDataset(PIM_DATA_DIR "/sample-month.txt");
        ASSERT_EQ(error, nullptr) << error;
        ConnectAndSetUp();
        StandinClearEvents();
    }
    void TearDown() override {
        PluginTest::TearDown();
        for (const char *name : kFiles) RemoveFile(name);
        RemoveFile("RuzozavURivuvorur.opc");
        RemoveFile("RuzozavURivuvorur.ini");
    }
    void RunCommand(std::initializer_list<const char *> script) {
        for (const char *action : script) ASSERT_TRUE(StandinFormScriptAdd(action)) << action;
        ASSERT_EQ(StandinMenuCount(), 1);
        EXPECT_EQ(ChooseCommand(), 0);
        EXPECT_STREQ(StandinFormError(), "");
    }
};

}  // namespace

TEST_F(WholeMonth, TobaccoGroupsOfMarchWithBothKinds) {
    RunCommand({"select 0x4102 2", "pick 1,2,3", "press 0x430F", "type 0x4107 SKLEP1", "type 0x4109 Lublin Centrum",
                "check 0x410B 1", "check 0x410C 1"});
    for (const char *name : kFiles)
        EXPECT_EQ(ReadFile(name), OnDisk(ReadFile(std::string(PIM_GOLDEN_DIR "/month/") + name))) << name;

    auto notices = EventsOfKind(kEventMessageV);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, Mz("Plik \x02" "202503_VAT_SKLEP1.txt\x01 (faktury)  - export OK\n"
                                  "Plik \x02" "202503_PAR_SKLEP1.txt\x01 (paragony) - export OK\n"
                                  "Plik \x02" "202503_TOW_SKLEP1.txt\x01 (magazyn)  - export OK\n\n"
                                  "Wszystkie pliki znajdują się w katalogu głównym programu."));
    EXPECT_EQ(StandinLiveBlocks(), 0) << "the report released its lists";
    EXPECT_EQ(StandinStateFlags() & 0x8000, 0) << "the state bit is back";
}

TEST_F(WholeMonth, InvoicesOnlyStillListEverySoldItemInTheReceiptsFile) {
    RunCommand({"select 0x4102 2", "pick 1,2,3", "press 0x430F", "type 0x4107 SKLEP1", "type 0x4109 Lublin Centrum",
                "check 0x410B 1", "check 0x410C 0"});
    // Receipts were not counted: the same sold goods as the stock file, each with 0.
    const std::string receipts = ReadFile(kFiles[1]), stock = ReadFile(kFiles[2]);
    std::size_t lines = 0;
    for (std::size_t at = receipts.find('\n'); at != std::string::npos; at = receipts.find('\n', at + 1)) ++lines;
    EXPECT_GT(lines, 10u);
    EXPECT_EQ(lines, static_cast<std::size_t>(std::count(stock.begin(), stock.end(), '\n')));
    std::size_t zeros = 0;
    for (std::size_t at = receipts.find(OnDisk("\t0\n")); at != std::string::npos;
         at = receipts.find(OnDisk("\t0\n"), at + 1))
        ++zeros;
    EXPECT_EQ(zeros, lines - 1) << "every row but the header";
    // Outlets met only on receipts are gone from the invoice file.
    EXPECT_EQ(ReadFile(kFiles[0]).find(Mz("Delikatesy \"Pod Ratuszem\"")), std::string::npos);
    EXPECT_NE(ReadFile(kFiles[0]).find(Mz("Sklep Wielobranżowy")), std::string::npos);
}

// A month in the shapes a host's tables can be in and the bundled month has not:
// lines whose texts differ from their goods record's (renamed since, or gone from
// the table), a goods number twice in one warehouse, a warehouse, customers and
// document ids at the ends of their fields, a warehouse above 255 whose line must not
// pass for warehouse 1's goods 11. Files worked out by hand from the rules:
// outlet rows take the texts of the line that first brought their goods, item rows
// their goods record's; a line counts against every item row of its goods and
// warehouse, so both records of goods 10 in warehouse 1 are sold and the outlet's
// row of it takes each such line twice.
TEST_F(WholeMonth, TheShapesOfAHostsTables) {
    const char *error = StandinLoadDatasetText(
        "year | 2025\n"
        "group | 1 | Papierosy\n"
        "group | 2 | Tytoń\n"
        "goods | 1 | 10 | 1 | PAP-10 | szt. | 40 | Papierosy Mocne\n"
        "goods | 1 | 10 | 1 | PAP-10B | szt. | 5 | Papierosy Mocne partia B\n"
        "goods | 1 | 11 | 1 | PAP-11 | szt. | 7 | Papierosy Lekkie\n"
        "goods | 1 | 20 | 2 | TYT-20 | op. | 12.5 | Tytoń Jasny\n"
        "goods | 2 | 20 | 2 | TYT-20 | op. | 3 | Tytoń Jasny\n"
        "goods | -1 | 10 | 1 | ZW-10 | szt. | 9 | Zwroty\n"
        "customer | -7 | Sklep Ujemny | 111-111-11-11 | ul. Polna 1 20-001 Lublin\n"
        "customer | 32767 | Kiosk Ostatni | 222-222-22-22 | Zamość\n"
        "invoice | -2147483648 | 03.03.2025 | -7\n"
        "line | 1 | 10 | 2 | 1 | PAP-10-OLD | szt. | Papierosy Mocne (dawna nazwa)\n"
        "line | 1 | 10 | 1\n"
        "line | 1 | 20 | 3 | 2 | TYT-X | op. | Tytoń Jasny 50 g\n"
        "line | 1 | 99 | 4 | 1 | PAP-99 | szt. | Papierosy wycofane\n"
        "line | -1 | 10 | 1\n"
        "invoice | 2147483647 | 10.03.2025 | 32767\n"
        "line | 2 | 20 | 1.5\n"
        "line | 257 | 11 | 3 | 1 | PAP-11 | szt. | Papierosy Lekkie\n"
        "invoice | 0 | 12.03.2025 | -7\n"
        "line | 1 | 10 | 1 | 1 | PAP-10-NEW | szt. | Papierosy Mocne Nowe\n"
        "receipt | 5 | 15.03.2025 | 0\n"
        "line | 1 | 10 | 6\n"
        "receipt | 6 | 16.03.2025 | -7\n"
        "line | 1 | 20 | 2 | 2 | TYT-R | op. | Tytoń z paragonu\n",
        "shapes");
    ASSERT_EQ(error, nullptr) << error;
    RunCommand({"select 0x4102 2", "pick 1,2", "press 0x430F", "type 0x4107 SKLEP1", "type 0x4109 Lublin Centrum",
                "check 0x410B 1", "check 0x410C 1"});
    const std::string ujemny = "Lublin Centrum\tSklep Ujemny\tul. Polna 1\tLublin\t20-001\t111-111-11-11\t";
    const std::string ostatni = Mz("Lublin Centrum\tKiosk Ostatni\t\tZamość\t\t222-222-22-22\t");
    EXPECT_EQ(ReadFile(kFiles[0]),
              OnDisk("ODD\tNAZWA\tULICANR\tMIASTO\tKOD\tNIP\tKODT\tOPIST\tILOSC\tJM\n" +
                     // 2 + 1 (its goods' texts) + 1 (its own) units, each twice
                     ujemny + "PAP-10-OLD\tPapierosy Mocne (dawna nazwa)\t8\tszt.\n" +
                     // 3 on the invoice, 2 on its receipt
                     ujemny + Mz("TYT-X\tTytoń Jasny 50 g\t5\top.\n") +
                     // every line of its invoices, the withdrawn goods and warehouse -1 too
                     ujemny + "TOTAL\tTOTAL\t12\tSZTA.\n" + ujemny + "TOTAL\tTOTAL\t2\tSZTA.\n" +
                     // 1.5 and warehouse 257's 3; goods 11 of warehouse 1 was not sold
                     ostatni + Mz("TYT-20\tTytoń Jasny\t1\top.\n") + ostatni + "TOTAL\tTOTAL\t4\tSZTA.\n"));
    // Both records of goods 10 take the receipt without a customer.
    EXPECT_EQ(ReadFile(kFiles[1]), OnDisk("ODD\tKODT_PH\tILOSC\nLublin Centrum\tPAP-10\t6\nLublin Centrum\tPAP-10B\t6\n"
                                          "Lublin Centrum\tTYT-20\t0\nLublin Centrum\tTYT-20\t0\n"));
    EXPECT_EQ(ReadFile(kFiles[2]), OnDisk("ODD\tKODT_PH\tILOSC\nLublin Centrum\tPAP-10\t40\nLublin Centrum\tPAP-10B\t5\n"
                                          "Lublin Centrum\tTYT-20\t12\nLublin Centrum\tTYT-20\t3\n"));
}
