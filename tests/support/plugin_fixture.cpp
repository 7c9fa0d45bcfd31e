#include "plugin_fixture.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace testing_support {

std::vector<ShownEvent> Events() {
    std::vector<ShownEvent> out;
    for (int32_t i = 0; i < StandinEventCount(); ++i) {
        StandinEvent e{};
        StandinGetEvent(i, &e);
        out.push_back({e.kind, e.flags, e.title, std::string(e.text, e.textLength)});
    }
    return out;
}

std::vector<ShownEvent> EventsOfKind(int32_t kind) {
    std::vector<ShownEvent> out;
    for (auto &e : Events())
        if (e.kind == kind) out.push_back(e);
    return out;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string OnDisk(const std::string &lines) {
#if defined(_WIN32)
    std::string out;
    for (char c : lines) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
#else
    return lines;
#endif
}

void WriteFile(const std::string &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string &path) { return static_cast<bool>(std::ifstream(path)); }

void RemoveFile(const std::string &path) { std::remove(path.c_str()); }

void ExpectNoFileLeftOpen() {
    std::string names;
    for (int32_t i = 0; const char *name = StandinOpenFile(i); ++i) names += std::string(" ") + name;
    EXPECT_EQ(StandinOpenFileCount(), 0) << "files the plug-in left open:" << names;
}

void PluginTest::SetUp() {
    StandinReset();
    StandinSetEcho(0);
    Load();
}

// Whatever a test looks at, the plug-in kept to the host interface where the
// stand-in watches it (block alignment, argument bytes) and closed its files.
void PluginTest::TearDown() {
    Unload();
    const char *first = StandinFault(0);
    EXPECT_EQ(StandinFaultCount(), 0) << (first != nullptr ? first : "");
    ExpectNoFileLeftOpen();
}

void PluginTest::Load(const std::string &path) {
    Unload();
    const std::string where = path.empty() ? standin::DefaultPluginPath() : path;
    module_ = standin::LoadModule(where);
    ASSERT_NE(module_, nullptr) << "cannot load " << where;
    connect_ = reinterpret_cast<standin::PluginConnectFn>(standin::ModuleOrdinal(module_, 30001));
    setup_ = reinterpret_cast<standin::PluginSetupFn>(standin::ModuleOrdinal(module_, 30008));
    hook_ = reinterpret_cast<standin::PluginHookFn>(standin::ModuleOrdinal(module_, 30009));
    ASSERT_NE(connect_, nullptr);
    ASSERT_NE(setup_, nullptr);
    ASSERT_NE(hook_, nullptr);
}

void PluginTest::Unload() {
    if (module_ != nullptr) standin::UnloadModule(module_);
    module_ = nullptr;
}

int32_t PluginTest::Connect(char *nameBuffer) { return standin::EnterStdcall(connect_, hostObject_, nameBuffer); }
int32_t PluginTest::Disconnect(char *nameBuffer) { return standin::EnterStdcall(connect_, nullptr, nameBuffer); }
int32_t PluginTest::Setup(int32_t flag) { return standin::EnterStdcall(setup_, flag); }
void PluginTest::Hook() { standin::EnterCdecl(hook_); }
int32_t PluginTest::ChooseCommand() {
    return StandinMenuCount() > 0 ? standin::EnterStdcall(StandinMenuEntry(0)->handler) : -1;
}

void PluginTest::ConnectAndSetUp() {
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(Setup(0), 0);
}

}  // namespace testing_support
