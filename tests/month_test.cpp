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
