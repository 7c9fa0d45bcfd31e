// Host functions bound on first call, as the host sees it through the real
// plug-in: each look-up happens once, and a function the host library lacks brings
// up the serious-error dialog, whose answer decides between a fallback stub and
// the host's exception.
#include <algorithm>
#include <memory>

#include "guarded_call.h"
#include "plugin_fixture.h"
#include "service_hooks.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include "platform_native.h"
#endif

using namespace testing_support;

namespace {

constexpr uint32_t kEntryNotFound = 0xC0000139u;
constexpr int kAbort = 3, kRetry = 4, kIgnore = 5;

class MissingEntry : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        veldar_ = GetModuleHandleA("VELDAR");
        ASSERT_NE(veldar_, nullptr);
        hooks_ = std::make_unique<ServiceHooks>(module_, veldar_);
    }
    void TearDown() override {
        hooks_.reset();
        PluginTest::TearDown();
    }
    // A fresh plug-in that has bound nothing yet, watched by fresh hooks.
    void Reload() {
        hooks_.reset();
        Load();
        hooks_ = std::make_unique<ServiceHooks>(module_, veldar_);
    }

    // Runs a plug-in call as the host does; the exception it ended with, if any.
    template <class F>
    standin::StructuredException Guard(F call) {
        standin::StructuredException caught;
        if (standin::Guarded(call, &caught)) caught = {};
        return caught;
    }
    void ExpectEntryNotFound(const standin::StructuredException &e, uint32_t ordinal) {
        EXPECT_EQ(e.code, kEntryNotFound);
        EXPECT_EQ(e.flags & EXCEPTION_NONCONTINUABLE, 1u);
        EXPECT_EQ(e.parameterCount, 1u);
        EXPECT_EQ(e.parameter, ordinal);
    }

    // The dialog's text for an ordinal as the plug-in builds it, before the
    // conversion: emphasis marks already turned into spaces.
    std::string Message(const std::string &module, uint32_t ordinal) {
        char name[200] = {};
        Connect(name);  // copies the display name (binds nothing new that the tests hide)
        std::string text = "W module \x02" + module + "\x01\nbrak wpisu \x02" + std::to_string(ordinal) +
                           "\x01\nWywołano z wtyczki \x02"_mz + name +
                           Mz("\x01.\n\nBłąd ten można zignorować lecz dalsza praca\nprogramu w tych warunkach "
                              "może być niebezpieczna.\n\nKonieczna jest aktualizacja programu!");
        std::replace(text.begin(), text.end(), '\x01', ' ');
        std::replace(text.begin(), text.end(), '\x02', ' ');
        return text;
    }
    // The host's own conversion from Mazovia to the code page of message boxes.
    std::string ToWindows(std::string text) {
        using Convert = char *(HOST_CONV_STDCALL *)(char *, const char *, int32_t, int32_t);
        auto convert = reinterpret_cast<Convert>(standin::ModuleOrdinal(veldar_, kOrd_VeldarConvertCodePage));
        convert(text.data(), text.c_str(), kCodePageMazovia, kCodePageWindows1250);
        return text;
    }
    std::string PluginPath() {
        char path[300];
        DWORD n = GetModuleFileNameA(static_cast<HMODULE>(module_), path, sizeof path);
        return std::string(path, n);
    }

    void *veldar_ = nullptr;
    std::unique_ptr<ServiceHooks> hooks_;
};

const std::string kCaptionWindows1250 = "POWA\xAF" "NY B\xA3\xA5" "D WTYCZKI";

}  // namespace

TEST_F(MissingEntry, EachHostFunctionIsLookedUpOnceOnItsFirstCall) {
    // The native build has no load-time imports and looks the translator up by
    // ordinal; it is no import entry.
    auto lazyLookups = [&] {
        auto lookups = hooks_->lookups;
        lookups.erase(kOrd_VeldarTranslateException);
        return lookups;
    };
    EXPECT_TRUE(lazyLookups().empty()) << "loading binds nothing";
    EXPECT_EQ(Connect(), 0);
    const std::map<uint32_t, int> once = {{kOrd_VeldarGetVersion, 1}, {kOrd_VeldarGetTable, 1}};
    EXPECT_EQ(lazyLookups(), once) << "three tables are read through one look-up";
    EXPECT_EQ(StandinCallCount(kOrd_VeldarGetTable), 3u);
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(lazyLookups(), once) << "bound entries never reach the binder again";
    EXPECT_EQ(StandinCallCount(kOrd_VeldarGetVersion), 2u);
    EXPECT_TRUE(hooks_->boxes.empty());
}

TEST_F(MissingEntry, RetriedThenIgnoredEntryGetsItsStubAndLaterOnesAskNoMore) {
    // 41399 (cdecl, last digits 99) fits stub 0; 52082 has no stub at all.
    hooks_->hidden = {kOrd_VeldarProfileValue, kOrd_VeldarRemoveMenuCommand};
    hooks_->answers = {kRetry, kRetry, kRetry, kIgnore};
    ASSERT_EQ(Connect(), 0);
    auto setup = Guard([&] { EXPECT_EQ(Setup(0), 0); });
    EXPECT_EQ(setup.code, 0u) << "the stub lets the set-up go on";
    ASSERT_EQ(hooks_->boxes.size(), 4u);
    for (auto &box : hooks_->boxes) EXPECT_EQ(box.text, hooks_->boxes[0].text) << "Retry shows the same box";
    EXPECT_EQ(hooks_->lookups[kOrd_VeldarProfileValue], 1) << "Retry does not look up again";
    EXPECT_EQ(StandinCallCount(kOrd_VeldarProfileValue), 0u);
    EXPECT_EQ(EventsOfKind(kEventNotice).size(), 1u) << "the stub read 0: the notice was never declined";

    // Ignore holds for every later missing entry: no box, and with no fitting stub
    // the call ends in the host's exception.
    ExpectEntryNotFound(Guard([&] { Disconnect(); }), kOrd_VeldarRemoveMenuCommand);
    EXPECT_EQ(hooks_->boxes.size(), 4u);
    EXPECT_EQ(hooks_->lookups[kOrd_VeldarRemoveMenuCommand], 1);
}

TEST_F(MissingEntry, AbortLeavesTheEntryEmptyAndTheNextMissingEntryAsksAgain) {
    hooks_->hidden = {kOrd_VeldarProfileValue, kOrd_VeldarRemoveMenuCommand};
    ASSERT_EQ(Connect(), 0);
    ExpectEntryNotFound(Guard([&] { Setup(0); }), kOrd_VeldarProfileValue);
    EXPECT_EQ(hooks_->boxes.size(), 1u);

    // The empty entry raises again at once: no new look-up, no new box.
    ExpectEntryNotFound(Guard([&] { Setup(0); }), kOrd_VeldarProfileValue);
    EXPECT_EQ(hooks_->boxes.size(), 1u);
    EXPECT_EQ(hooks_->lookups[kOrd_VeldarProfileValue], 1);

    ExpectEntryNotFound(Guard([&] { Disconnect(); }), kOrd_VeldarRemoveMenuCommand);
    ASSERT_EQ(hooks_->boxes.size(), 2u);
    EXPECT_NE(hooks_->boxes[1].text.find("brak wpisu  52082 \n"), std::string::npos);
}

TEST_F(MissingEntry, IgnoreNeverInstallsAStubOfAnotherArgumentSize) {
    // 52256 ends in 56, which names the 56-byte stub; VeldarGetTable takes 4 bytes.
    hooks_->hidden = {kOrd_VeldarGetTable};
    hooks_->answers = {kIgnore};
    ExpectEntryNotFound(Guard([&] { Connect(); }), kOrd_VeldarGetTable);
    EXPECT_EQ(hooks_->boxes.size(), 1u);
    ExpectEntryNotFound(Guard([&] { Connect(); }), kOrd_VeldarGetTable);
    EXPECT_EQ(hooks_->lookups[kOrd_VeldarGetTable], 1);
}

TEST_F(MissingEntry, DialogTextIsConvertedWithoutEmphasisMarks) {
    const std::string expected = ToWindows(Message(PluginPath(), kOrd_VeldarGetVersion));
    Reload();
    hooks_->hidden = {kOrd_VeldarGetVersion};
    const uint32_t conversions = StandinCallCount(kOrd_VeldarConvertCodePage);
    ExpectEntryNotFound(Guard([&] { Connect(); }), kOrd_VeldarGetVersion);
    ASSERT_EQ(hooks_->boxes.size(), 1u);
    const ShownBox &box = hooks_->boxes[0];
    EXPECT_EQ(box.text, expected);
    EXPECT_EQ(box.text.find_first_of("\x01\x02"), std::string::npos);
    EXPECT_NE(box.text.find("Wywo\xB3" "ano"), std::string::npos) << "Windows-1250 letters";
    EXPECT_EQ(box.caption, kCaptionWindows1250);
    EXPECT_EQ(box.style, 0x2012u);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarConvertCodePage) - conversions, 2u) << "message, then caption";
}

// The dialog's first line names the plug-in's path: "<nieznany>" when it cannot be
// had; when older Windows leave a path that fills the buffer unterminated, what
// fits, and nothing from beyond the buffer.
TEST_F(MissingEntry, TheModulePathShownIsWhatCouldBeHad) {
    const std::string longPath = "C:\\" + std::string(400, 'p') + "\\PIM.DLL";
    const std::string unknown = ToWindows(Message("<nieznany>", kOrd_VeldarGetVersion));
    const std::string cut = ToWindows(Message(longPath.substr(0, 299), kOrd_VeldarGetVersion));
    for (bool fails : {true, false}) {
        const std::string &expected = fails ? unknown : cut;
        Reload();
        hooks_->hidden = {kOrd_VeldarGetVersion};
        hooks_->SetModuleFileNameFails(fails);
        if (!fails) hooks_->SetModuleFileName(longPath);
        Guard([&] { Connect(); });
        ASSERT_EQ(hooks_->boxes.size(), 1u);
        EXPECT_EQ(hooks_->boxes[0].text, expected);
    }
}

TEST_F(MissingEntry, MissingConverterShowsBothBoxesUnconverted) {
    // The dialog needs the host's conversion; when that is missing too, its own
    // box comes first and both show the Mazovia bytes as they are.
    hooks_->hidden = {kOrd_VeldarGetVersion, kOrd_VeldarConvertCodePage};
    ExpectEntryNotFound(Guard([&] { Connect(); }), kOrd_VeldarGetVersion);
    ASSERT_EQ(hooks_->boxes.size(), 2u);
    EXPECT_NE(hooks_->boxes[0].text.find("brak wpisu  52158 \n"), std::string::npos);
    EXPECT_NE(hooks_->boxes[1].text.find("brak wpisu  51594 \n"), std::string::npos);
    for (auto &box : hooks_->boxes) {
        EXPECT_NE(box.text.find("Wywo\x92" "ano"), std::string::npos);
        EXPECT_EQ(box.caption, Mz("POWAŻNY BŁĄD WTYCZKI"));
        EXPECT_EQ(box.text.find_first_of("\x01\x02"), std::string::npos);
    }
    EXPECT_EQ(hooks_->lookups[kOrd_VeldarConvertCodePage], 1);
    EXPECT_EQ(StandinCallCount(kOrd_VeldarConvertCodePage), 0u);
}

TEST_F(MissingEntry, InheritedEntriesAreBoundWhenCalledSoAnUncalledMissingOneShowsNoDialog) {
    // The dialog's virtual table holds the entries of 30 inherited operations that
    // the stand-in's form engine never calls; it calls the two bound members.
    hooks_->hidden = {kOrd_WDialogBaseVirtual20950};
    ConnectAndSetUp();
    ASSERT_TRUE(StandinFormScriptAdd("key Esc"));
    ASSERT_EQ(StandinMenuCount(), 1);
    const auto run = Guard([&] { EXPECT_EQ(StandinMenuEntry(0)->handler(), 0); });
    EXPECT_EQ(run.code, 0u);
    EXPECT_TRUE(hooks_->boxes.empty());
    EXPECT_EQ(StandinCallCount(kOrd_VeldarRunForm), 1u);
    for (uint32_t ordinal = kOrd_WDialogBaseVirtual20937; ordinal <= kOrd_WDialogBaseVirtual20966; ++ordinal)
        EXPECT_EQ(hooks_->lookups.count(ordinal), 0u) << ordinal;
    EXPECT_EQ(hooks_->lookups[kOrd_WDialogBaseMember20907], 1);
    EXPECT_EQ(hooks_->lookups[kOrd_WDialogBaseMember20936], 1);
}
