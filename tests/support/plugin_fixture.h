// Loads the real plug-in into the test process, as the host does, on top of a
// freshly reset stand-in host library.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host_api.h"
#include "mazovia.h"
#include "module.h"
#include "plugin_entry.h"
#include "veldar.h"

namespace testing_support {

// A host text from readable UTF-8, for expected values.
inline std::string Mz(const std::string &utf8) { return mazovia::fromUtf8(utf8); }

struct ShownEvent {
    int32_t kind;
    int32_t flags;
    std::string title;
    std::string text;
};
std::vector<ShownEvent> Events();
std::vector<ShownEvent> EventsOfKind(int32_t kind);

std::string ReadFile(const std::string &path);
// What a file written in text mode holds on this platform: the Windows runtime
// stores each line feed as a carriage return and a line feed.
std::string OnDisk(const std::string &lines);
void WriteFile(const std::string &path, const std::string &bytes);
bool FileExists(const std::string &path);
void RemoveFile(const std::string &path);

// Every file the plug-in opened through the host is closed again (checked where a
// test ends, as heap blocks are).
void ExpectNoFileLeftOpen();

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Loads the plug-in from a path (the default one when empty); unloads a loaded one.
    void Load(const std::string &path = std::string());
    void Unload();

    int32_t Connect(char *nameBuffer = nullptr);
    int32_t Disconnect(char *nameBuffer = nullptr);
    int32_t Setup(int32_t flag);
    void Hook();
    // Chooses the plug-in's one menu command.
    int32_t ChooseCommand();
    // Connects, checks acceptance and sets up with flag 0.
    void ConnectAndSetUp();

    void *module_ = nullptr;
    standin::PluginConnectFn connect_ = nullptr;
    standin::PluginSetupFn setup_ = nullptr;
    standin::PluginHookFn hook_ = nullptr;
    char hostObject_[16] = {};
};

}  // namespace testing_support
