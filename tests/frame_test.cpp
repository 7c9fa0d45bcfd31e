// The plug-in frame as the host sees it: connect, setup, the menu command, the
// install notice, the record-size check and the refusal report.
#include <cstring>
#include <filesystem>

#include "plugin_fixture.h"

#if !defined(_WIN32)
#include "winshim.h"
#endif

using namespace testing_support;

namespace {

const std::string kDisplayName = Mz(
    "\x02"
    "EXPORT DANYCH O SPRZEDAŻY DO PRODUCENTA.\x01\nMENU:\n  Miesiące->Eksport-import danych->\n"
    "  Eksport do innych programów->WYŚLIJ RAPORT O SPRZEDAŻY");
const char *kIni = "RuzozavURivuvorur.ini";

std::string VersionsMessage() {
    return Mz("Moduł \"") + kDisplayName +
           Mz("\" i program występują w różnych wersjach!\n\nZostał zakualizowany tylko program albo tylko "
              "moduł,\na nie oba jednocześnie! Aby naprawić tę sytuację\nzainstaluj aktualizację programu "
              "wraz z modułem \"") +
           kDisplayName + Mz("\".\n\nMODUŁ NIE ZOSTANIE ZAŁADOWANY!!!\n");
}

std::string SizesReport(const std::string &rows, const std::string &fileName) {
    return Mz("Rozmiary rekordów niektórych tabel nie zgadzają się\nmiędzy programem a wtyczką \"") + kDisplayName +
           Mz("\":\n\n\x01tl18l33\x01TABELA\tWE WTYCZCE\tW PROGRAMIE\n") + rows +
           Mz("\nModuł wtyczki \x02") + fileName + Mz("\x01\nNIE zostanie załadowany!");
}

// The part of the plug-in's path after its last backslash, or all of it.
std::string PluginFileName() {
    std::string path = standin::DefaultPluginPath();
    auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class Frame : public PluginTest {
protected:
    void SetUp() override {
        RemoveFile(kIni);
        PluginTest::SetUp();
    }
    void TearDown() override {
        PluginTest::TearDown();
        RemoveFile(kIni);
    }
    // The host refused (a table of another size was set), then set up with the
    // refusal flag: the one message shown.
    std::string RefusalReport() {
        EXPECT_EQ(Connect(), -1);
        Setup(1);
        auto shown = EventsOfKind(kEventMessage);
        EXPECT_EQ(shown.size(), 1u);
        return shown.empty() ? std::string() : shown[0].text;
    }
};

}  // namespace

TEST_F(Frame, ConnectCopiesTheDisplayNameAndAcceptsAMatchingHost) {
    char name[400];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(Connect(name), 0);
    EXPECT_EQ(std::string(name), kDisplayName);
    EXPECT_EQ(std::strlen(name), 141u);
    EXPECT_EQ(name[142], 'x') << "copies exactly 142 bytes";
    EXPECT_EQ(StandinCallCount(kOrd_VeldarGetVersion), 1u);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarGetTable), 3u);
    EXPECT_EQ(StandinEventCount(), 0) << "connect itself shows nothing";
}

TEST_F(Frame, ConnectWithoutANameBufferStillChecksTheHost) {
    EXPECT_EQ(Connect(nullptr), 0);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarGetVersion), 1u);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarGetTable), 3u);
    StandinSetVersion(113);
    Load();
    EXPECT_EQ(Connect(nullptr), -1);
}

TEST_F(Frame, OnlyVersion112IsAcceptedAndOtherVersionsReadNoTable) {
    for (int32_t version : {111, 113, 0, -112}) {
        StandinReset();
        StandinSetVersion(version);
        Load();
        EXPECT_EQ(Connect(), -1) << version;
        EXPECT_EQ(StandinCallCount(kOrd_VeldarGetTable), 0u) << version;
        Setup(1);
        auto shown = EventsOfKind(kEventMessageF);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].title, "STOP!!!");
        EXPECT_EQ(shown[0].flags, 0xC001);
        EXPECT_EQ(shown[0].text, VersionsMessage());
    }
}

TEST_F(Frame, RefusalReportListsEveryMismatchedTableInOrder) {
    struct Case {
        std::vector<std::pair<int, int>> sizes;  // table, reported size
        std::vector<int> missing;
        std::string rows;
    };
    const Case cases[] = {
        {{{45, 300}}, {}, "\x01tp25p40\x01Tspr_dok\t298\t300\n"},
        {{{44, 981}, {49, 1000}}, {}, "\x01tp25p40\x01Tspr\t980\t981\n\x01tp25p40\x01k9\t1024\t1000\n"},
        {{{44, 0x7FFF}, {45, 1}, {49, 2048}},
         {},
         "\x01tp25p40\x01Tspr\t980\t32767\n\x01tp25p40\x01Tspr_dok\t298\t1\n\x01tp25p40\x01k9\t1024\t2048\n"},
        {{}, {49}, "\x01tp25p40\x01k9\t1024\tbrak\n"},
        {{{44, 32768}, {45, 65535}}, {}, "\x01tp25p40\x01Tspr\t980\t-32768\n\x01tp25p40\x01Tspr_dok\t298\t-1\n"},
    };
    for (const Case &c : cases) {
        StandinReset();
        for (auto [table, size] : c.sizes) StandinSetTableRecordSize(table, size);
        for (int table : c.missing) StandinSetTablePresent(table, 0);
        Load();
        EXPECT_EQ(Connect(), -1) << c.rows;
        EXPECT_EQ(Setup(1), 0);
        auto shown = EventsOfKind(kEventMessage);
        ASSERT_EQ(shown.size(), 1u) << c.rows;
        EXPECT_EQ(shown[0].title, "STOP!");
        EXPECT_EQ(shown[0].flags, 0xC001);
        EXPECT_EQ(shown[0].text, SizesReport(c.rows, PluginFileName()));
        EXPECT_EQ(StandinMenuCount(), 0);
    }
}

TEST_F(Frame, ConnectingTwiceReadsNoNewSizesAndListsEachTableOnce) {
    StandinSetTableRecordSize(45, 300);
    EXPECT_EQ(Connect(), -1);
    StandinSetTableRecordSize(45, 298);  // the first reading stands
    StandinSetTableRecordSize(44, 1);
    EXPECT_EQ(Connect(), -1);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarGetTable), 6u) << "the host is asked on every check";
    Setup(1);
    auto shown = EventsOfKind(kEventMessage);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, SizesReport("\x01tp25p40\x01Tspr_dok\t298\t300\n", PluginFileName()));
}

TEST_F(Frame, RefusalReportNamesThePluginFileAfterTheLastBackslash) {
    // A copy of the plug-in under another directory and name.
    const std::string dir = "APP";
    const std::string copy = dir + "/PIM.DLL";
    RemoveFile(copy);
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(standin::DefaultPluginPath(), copy);
    const std::string loaded = std::filesystem::absolute(copy).string();
    Load(loaded);
    StandinSetTableRecordSize(44, 1);
#if defined(_WIN32)
    const std::string expected = "PIM.DLL";
#else
    const std::string expected = loaded;  // a path without a backslash is used whole
#endif
    EXPECT_EQ(RefusalReport(), SizesReport("\x01tp25p40\x01Tspr\t980\t1\n", expected));
    Unload();
    RemoveFile(copy);
}

#if !defined(_WIN32)
// Natively the shim can answer the attach step's GetModuleFileNameA (on Windows the
// attach step has run before any import could be patched): a path it could not
// take leaves the footer name empty; one that filled its buffer, left unterminated
// as older Windows leave it, is cut to the buffer.
TEST_F(Frame, TheFooterNamesWhatTheAttachStepCouldTake) {
    const std::string longPath = "C:\\Program Files\\" + std::string(400, 'p') + "\\PIM.DLL";
    const struct {
        bool fails;
        const char *path;
        std::string footerName;
    } cases[] = {{true, nullptr, ""}, {false, longPath.c_str(), std::string(299 - 17, 'p')}};
    for (const auto &c : cases) {
        Unload();
        StandinReset();
        WinShimSetModuleFileNameFails(c.fails ? 1 : 0);
        WinShimSetModuleFileName(c.path);
        Load();
        WinShimSetModuleFileNameFails(0);
        WinShimSetModuleFileName(nullptr);
        StandinSetTableRecordSize(45, 300);
        EXPECT_EQ(RefusalReport(), SizesReport("\x01tp25p40\x01Tspr_dok\t298\t300\n", c.footerName));
    }
}
#endif

TEST_F(Frame, RefusalReportBeforeAnyCheckIsTheVersionsMessage) {
    EXPECT_EQ(Setup(5), 0);
    auto shown = Events();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, kEventMessageF);
    EXPECT_EQ(shown[0].text, VersionsMessage());
    EXPECT_EQ(StandinMenuCount(), 0);
    EXPECT_FALSE(FileExists(kIni));
}

TEST_F(Frame, SetupRegistersTheMenuRecord) {
    ConnectAndSetUp();
    ASSERT_EQ(StandinMenuCount(), 1);
    const MenuEntryRecord *entry = StandinMenuEntry(0);
    const auto *bytes = reinterpret_cast<const unsigned char *>(entry);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[2], 0xD3);
    EXPECT_EQ(bytes[3], 0x42);
    EXPECT_EQ(std::string(entry->caption), Mz("WYŚLIJ RAPORT O SPRZEDAŻY"));
    EXPECT_EQ(entry->commandId, 0x7923);
    EXPECT_EQ(entry->padding, 0);
    EXPECT_NE(entry->handler, nullptr);
    EXPECT_EQ(entry->extra, 0u);
    EXPECT_EQ(StandinMenuEntry(0), entry) << "one static record";
}

TEST_F(Frame, InstallNoticeIsShownWithoutASettingAndTheFlagIsWrittenBack) {
    ConnectAndSetUp();
    auto notices = EventsOfKind(kEventNotice);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].flags, 1668);
    EXPECT_EQ(notices[0].text, Mz("Zainstalowano wtyczkę do programu:\n") + kDisplayName);
    EXPECT_EQ(ReadFile(kIni), "[RuzozavURivuvorur]\r\nPytaj=0\r\n");

    // The notice left the flag at 0, so the next start asks again.
    Disconnect();
    StandinReset();
    Load();
    ConnectAndSetUp();
    EXPECT_EQ(EventsOfKind(kEventNotice).size(), 1u);
}

TEST_F(Frame, InstallNoticeKeepsWhatTheUserAnswered) {
    StandinSetNoticeAnswer(1, 1);
    ConnectAndSetUp();
    EXPECT_EQ(EventsOfKind(kEventNotice).size(), 1u);
    EXPECT_EQ(ReadFile(kIni), "[RuzozavURivuvorur]\r\nPytaj=1\r\n");

    StandinReset();
    Load();
    ConnectAndSetUp();
    EXPECT_TRUE(EventsOfKind(kEventNotice).empty());
    EXPECT_EQ(StandinCallCount(kOrd_VeldarProfileValue), 1u) << "read only, nothing written";
    EXPECT_EQ(StandinMenuCount(), 1);
}

TEST_F(Frame, InstallNoticeFlagIsReadAsAWholeIntAndNarrowed) {
    // 65536 narrows to a 16-bit 0: the notice counts as not dealt with.
    WriteFile(kIni, "[RuzozavURivuvorur]\r\nPytaj=65536\r\n");
    ConnectAndSetUp();
    EXPECT_EQ(EventsOfKind(kEventNotice).size(), 1u);
    EXPECT_EQ(ReadFile(kIni), "[RuzozavURivuvorur]\r\nPytaj=0\r\n");

    WriteFile(kIni, "[RuzozavURivuvorur]\r\nPytaj=-3\r\n");
    StandinReset();
    Load();
    ConnectAndSetUp();
    EXPECT_TRUE(EventsOfKind(kEventNotice).empty());
    EXPECT_EQ(ReadFile(kIni), "[RuzozavURivuvorur]\r\nPytaj=-3\r\n");
}

TEST_F(Frame, AnUnreadableSettingCountsAsZero) {
    WriteFile(kIni, "[RuzozavURivuvorur]\r\nPytaj=tak\r\n");
    ConnectAndSetUp();
    EXPECT_EQ(EventsOfKind(kEventNotice).size(), 1u);
    EXPECT_EQ(ReadFile(kIni), "[RuzozavURivuvorur]\r\nPytaj=0\r\n");
}

TEST_F(Frame, DisconnectWithdrawsTheCommandWhetherOrNotItWasRegistered) {
    EXPECT_EQ(Disconnect(), 0);
    auto removed = EventsOfKind(kEventMenuRemove);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0].flags, 0x7923);

    ConnectAndSetUp();
    ASSERT_EQ(StandinMenuCount(), 1);
    char name[200] = "unchanged";
    EXPECT_EQ(Disconnect(name), 0);
    EXPECT_EQ(StandinMenuCount(), 0);
    EXPECT_STREQ(name, "unchanged");
}

TEST_F(Frame, HookTouchesNothing) {
    Hook();
    EXPECT_EQ(StandinEventCount(), 0);
    for (uint32_t ordinal : {kOrd_VeldarGetVersion, kOrd_VeldarGetTable, kOrd_VeldarAddMenuCommand})
        EXPECT_EQ(StandinCallCount(ordinal), 0u);
}
