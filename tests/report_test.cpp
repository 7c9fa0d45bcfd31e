// The report command as the host runs it, with the real plug-in: the state bit, the
// host tables, the form and the options file.
#include <cstdlib>
#include <cstring>

#include "plugin_fixture.h"

using namespace testing_support;

namespace {

const char *kOptionsFile = "RuzozavURivuvorur.opc";
const std::string kOpenWarning =
    Mz("Błąd podczas otwierania pliku z opcjami raportu!\nNiektóre opcje zostaną zresetowane!");
const std::string kReadWarning = Mz("Błąd podczas czytania opcji raportu!\n Niektóre opcje zostaną zresetowane!");
const std::string kNoKind = Mz("Nie zaznaczono żadnego typu dokumentu!");

class Report : public PluginTest {
protected:
    void SetUp() override {
        RemoveFile(kOptionsFile);
        PluginTest::SetUp();
        ConnectAndSetUp();
        StandinClearEvents();
        StandinSetCurrentYear(2024);
    }
    void TearDown() override {
        PluginTest::TearDown();
        RemoveFile(kOptionsFile);
        RemoveFile("RuzozavURivuvorur.ini");
    }

    void Command(std::initializer_list<const char *> script = {}) {
        for (const char *action : script) ASSERT_TRUE(StandinFormScriptAdd(action)) << action;
        ASSERT_EQ(StandinMenuCount(), 1);
        EXPECT_EQ(ChooseCommand(), 0);
    }
    std::vector<ShownEvent> Messages() { return EventsOfKind(kEventMessage); }
    std::string Picture() { return StandinFormPicture(); }
};

// A record of 938 bytes with text after the terminators.
std::string Record(uint16_t month, const std::string &outlet, const std::string &branch, uint16_t kinds) {
    std::string r(938, '\0');
    r[0] = static_cast<char>(month), r[1] = static_cast<char>(month >> 8);
    std::memcpy(&r[2], outlet.data(), std::min<std::size_t>(outlet.size(), 11));
    std::memcpy(&r[13], branch.data(), std::min<std::size_t>(branch.size(), 21));
    r[34] = static_cast<char>(kinds), r[35] = static_cast<char>(kinds >> 8);
    for (int g = 0; g < 451; g += 7) r[36 + 2 * g] = static_cast<char>(g % 3);
    return r;
}

TEST_F(Report, TheStateBitIsHeldOnlyWhenItWasClear) {
    StandinSetStateFlags(0x0001);
    Command({"key Esc"});
    EXPECT_EQ(StandinCallCount(kOrd_VeldarSetStateFlag), 2u);
    EXPECT_EQ(StandinStateFlags(), 0x0001);

    StandinSetStateFlags(0x8001);
    Command({"key Esc"});
    EXPECT_EQ(StandinCallCount(kOrd_VeldarSetStateFlag), 2u) << "an already set bit is never touched";
    EXPECT_EQ(StandinStateFlags(), 0x8001);
}

TEST_F(Report, WithoutTable44Or45NothingIsReadOrShown) {
    for (int32_t table : {44, 45}) {
        StandinReset();
        Load();
        ConnectAndSetUp();
        StandinClearEvents();
        const uint32_t tablesBefore = StandinCallCount(kOrd_VeldarGetTable);
        StandinSetTablePresent(table, 0);
        Command();
        auto shown = Messages();
        ASSERT_EQ(shown.size(), 1u) << table;
        EXPECT_EQ(shown[0].title, Mz("Błąd"));
        EXPECT_EQ(shown[0].text, Mz("Błąd operacji dyskowej-CRaportSprzPapierosow!\nOperacja niekompletna!"));
        EXPECT_EQ(shown[0].flags, 1);
        EXPECT_EQ(StandinCallCount(kOrd_VeldarGetTable) - tablesBefore, 2u) << "both asked for first";
        EXPECT_EQ(StandinCallCount(kOrd_VeldarFileOpen), 0u);
        EXPECT_EQ(StandinCallCount(kOrd_VeldarRunForm), 0u);
        EXPECT_EQ(StandinStateFlags(), 0);
    }
}

TEST_F(Report, FirstUseWarnsAndStartsFromNothing) {
    Command({"key Esc"});
    auto shown = Messages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].title, Mz("Uwaga"));
    EXPECT_EQ(shown[0].text, kOpenWarning);
    const std::string picture = Picture();
    EXPECT_NE(picture.find("styczeń           "), std::string::npos) << picture;
    EXPECT_NE(picture.find("Skrót nazwy placówki:     __________ "), std::string::npos) << picture;
    EXPECT_NE(picture.find("[ ] Faktury"), std::string::npos);
    EXPECT_NE(picture.find("[ ] Paragony"), std::string::npos);
    EXPECT_NE(picture.find("[(brak)]"), std::string::npos) << "no goods group";
    EXPECT_FALSE(FileExists(kOptionsFile)) << "an abandoned form saves nothing";
}

TEST_F(Report, AbandoningLeavesTheFileAsItWasEvenAfterEdits) {
    const std::string before = Record(3, "AB\0old", "Hurt\0stare", 1);
    WriteFile(kOptionsFile, before);
    StandinAddGoodsGroup(12, "Papierosy");
    Command({"select 0x4102 7", "type 0x4107 NOWY", "type 0x4109 Inny", "check 0x410C 1", "pick 12",
             "press 0x430F", "key Esc"});
    EXPECT_NE(Picture().find("sierpień"), std::string::npos) << "the form was edited";
    EXPECT_EQ(ReadFile(kOptionsFile), before);
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(StandinCallCount(kOrd_VeldarFileOpen), 1u) << "read, never written";
}

TEST_F(Report, ConfirmingWithoutADocumentKindSavesAndTheNextUseStartsThere) {
    Command({"select 0x4102 2", "type 0x4107 Sklep 1", "type 0x4109 Oddział Łódź", "check 0x410B 0",
             "check 0x410C 0"});
    auto shown = Messages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, kOpenWarning);
    EXPECT_EQ(shown[1].title, Mz("Błąd"));
    EXPECT_EQ(shown[1].text, kNoKind);
    const std::string saved = ReadFile(kOptionsFile);
    ASSERT_EQ(saved.size(), 938u);
    EXPECT_EQ(saved[0], 2);
    EXPECT_EQ(saved.substr(2, 8), std::string("Sklep 1\0", 8));
    EXPECT_EQ(saved.substr(13, 13), Mz("Oddział Łódź") + std::string(1, '\0'));

    StandinClearEvents();
    Command({"key Esc"});
    EXPECT_TRUE(Messages().empty()) << "loaded without a warning";
    EXPECT_NE(Picture().find("marzec"), std::string::npos);
    EXPECT_NE(Picture().find("Sklep 1___"), std::string::npos);
    EXPECT_NE(Picture().find("Oddział Łódź________"), std::string::npos);
}

TEST_F(Report, ShortFilesResetLongOnesLoadTheirFirst938Bytes) {
    const std::string record = Record(5, "Abc", "Xyz", 0);
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{937}}) {
        StandinClearEvents();
        WriteFile(kOptionsFile, record.substr(0, size));
        Command({"key Esc"});
        auto shown = Messages();
        ASSERT_EQ(shown.size(), 1u) << size;
        EXPECT_EQ(shown[0].text, kReadWarning) << size;
        EXPECT_NE(Picture().find("styczeń"), std::string::npos) << size << ": every field reset";
        EXPECT_NE(Picture().find("__________"), std::string::npos) << size;
    }
    StandinClearEvents();
    WriteFile(kOptionsFile, record + "tail");
    Command({});
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, kNoKind) << "no warning before it";
    EXPECT_EQ(ReadFile(kOptionsFile), record) << "saved back as exactly 938 bytes";
}

TEST_F(Report, AConfirmedFormRoundTripsByteForByte) {
    std::string record = Record(11, std::string("AB\0garbage\x7F", 11), std::string("Hurt\0\x01\x02zostaje", 15), 3);
    record[35] = 0x40;  // a bit of its own, kept
    WriteFile(kOptionsFile, record);
    Command({});
    EXPECT_EQ(ReadFile(kOptionsFile), record);
    EXPECT_NE(Picture().find("grudzień"), std::string::npos);
    EXPECT_NE(Picture().find("[X] Faktury"), std::string::npos);
}

TEST_F(Report, ARecordFromElsewhereIsMadeSafe) {
    // Month 12 is the first index past December.
    for (uint16_t month : {12, 14}) {
        std::string record = Record(month, "ABCDEFGHIJK", "abcdefghijklmnopqrstu", 0x0102);
        WriteFile(kOptionsFile, record);
        Command({});
        EXPECT_NE(Picture().find("ABCDEFGHIJ "), std::string::npos) << "ten characters and the field's end";
        EXPECT_NE(Picture().find("styczeń"), std::string::npos) << month;
        std::string repaired = record;
        repaired[0] = 0;
        repaired[12] = 0;
        repaired[33] = 0;
        EXPECT_EQ(ReadFile(kOptionsFile), repaired) << month << ": nothing else changed";
    }
}

// A write that the device cannot take: the close fails and the user is told.
TEST_F(Report, AFileThatCannotBeFinishedWarnsAfterOk) {
#if defined(_WIN32)
    GTEST_SKIP() << "the full device is a Linux one";
#else
    if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ASSERT_EQ(std::system("ln -s /dev/full RuzozavURivuvorur.opc"), 0);
    Command({});
    auto shown = Messages();  // the device reads as zeros: no loading warning
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, Mz("Nie można otworzyć pliku z opcjami raportu!\n Niektóre opcje nie zostaną zapisane!"));
    EXPECT_EQ(shown[1].text, kNoKind) << "the run went on";
#endif
}

}  // namespace
