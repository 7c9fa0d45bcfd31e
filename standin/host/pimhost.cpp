// The stand-in host program: loads the plug-in into its process as the host
// application does, connects it, sets it up, offers its menu command and
// disconnects it again, showing on the console what the plug-in shows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "guarded_call.h"
#include "host_api.h"
#include "module.h"
#include "veldar.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

void Usage() {
    std::puts(
        "usage: pimhost [options]\n"
        "  --plugin PATH          the plug-in to load (default: pim beside this program)\n"
        "  --version N            the interface version the host reports (default 112)\n"
        "  --table-size T=S       table T reports record size S\n"
        "  --no-table T           the host has no table T\n"
        "  --notice-answer V      the user sets the install notice's flag to V\n"
        "  --run                  choose the plug-in's menu command once\n"
        "  --year Y               the host's current year (default: this year)");
}

std::string Utf8(const char *hostText) {
    char buffer[4096];
    StandinRenderText(hostText, buffer, sizeof buffer);
    return buffer;
}

// Runs one call into the plug-in as the host does: a structured exception ends
// that call only, and is reported.
template <class F>
bool CallPlugin(const char *what, F &&call) {
    standin::StructuredException e;
    if (standin::Guarded(call, &e)) return true;
    std::fprintf(stderr, "pimhost: %s ended with exception 0x%08X", what, static_cast<unsigned>(e.code));
    if (e.code == 0xC0000139u && e.parameterCount > 0 && e.parameter < 0x10000)
        std::fprintf(stderr, ": the host library has no entry %u", static_cast<unsigned>(e.parameter));
    std::fputc('\n', stderr);
    return false;
}

}  // namespace

int main(int argc, char **argv) {
#if defined(_WIN32)
    SetErrorMode(SEM_FAILCRITICALERRORS);
#endif
    StandinReset();
    std::string pluginPath = standin::DefaultPluginPath();
    bool runCommand = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "pimhost: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--plugin") {
            pluginPath = value();
        } else if (arg == "--version") {
            StandinSetVersion(std::atoi(value()));
        } else if (arg == "--table-size") {
            int table = 0, size = 0;
            if (std::sscanf(value(), "%d=%d", &table, &size) != 2) {
                std::fprintf(stderr, "pimhost: --table-size wants TABLE=SIZE\n");
                return 2;
            }
            StandinSetTableRecordSize(table, size);
        } else if (arg == "--no-table") {
            StandinSetTablePresent(std::atoi(value()), 0);
        } else if (arg == "--notice-answer") {
            StandinSetNoticeAnswer(1, static_cast<int16_t>(std::atoi(value())));
        } else if (arg == "--run") {
            runCommand = true;
        } else if (arg == "--year") {
            StandinSetCurrentYear(static_cast<int16_t>(std::atoi(value())));
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "pimhost: unknown option %s\n", arg.c_str());
            Usage();
            return 2;
        }
    }
    StandinSetEcho(1);

    std::printf("Loading %s\n", pluginPath.c_str());
    void *plugin = standin::LoadModule(pluginPath);
    if (plugin == nullptr) {
        std::fprintf(stderr, "pimhost: cannot load %s\n", pluginPath.c_str());
        return 1;
    }
    auto connect = reinterpret_cast<standin::PluginConnectFn>(standin::ModuleOrdinal(plugin, 30001));
    auto setup = reinterpret_cast<standin::PluginSetupFn>(standin::ModuleOrdinal(plugin, 30008));
    if (connect == nullptr || setup == nullptr) {
        std::fprintf(stderr, "pimhost: %s is not a plug-in (no exports 30001 and 30008)\n", pluginPath.c_str());
        return 1;
    }

    static char hostObject[64];
    char name[512] = {};
    int32_t accepted = -1;
    int status = 0;
    if (!CallPlugin("PluginConnect", [&] { accepted = connect(hostObject, name); })) status = 4;
    std::printf("\nConnect: %s\nPlug-in name:\n%s\n", accepted == 0 ? "accepted" : "refused", Utf8(name).c_str());
    if (!CallPlugin("PluginSetup", [&] { setup(accepted == 0 ? 0 : 1); })) status = 4;

    if (accepted == 0) {
        std::printf("\nMenu commands:\n");
        for (int32_t i = 0; i < StandinMenuCount(); ++i) {
            const MenuEntryRecord *entry = StandinMenuEntry(i);
            std::printf("  [0x%04X] %s\n", entry->commandId, Utf8(entry->caption).c_str());
        }
        if (runCommand) {
            if (StandinMenuCount() == 0) {
                std::fprintf(stderr, "pimhost: the plug-in offers no command\n");
                status = 1;
            } else {
                const MenuEntryRecord *entry = StandinMenuEntry(0);
                std::printf("\nChoosing \"%s\"\n", Utf8(entry->caption).c_str());
                if (!CallPlugin("the menu command", [&] { entry->handler(); })) status = 4;
            }
        }
    } else if (status == 0) {
        status = 3;
    }

    if (!CallPlugin("disconnecting", [&] { connect(nullptr, nullptr); })) status = 4;
    std::printf("\nDisconnected; menu commands left: %d\n", StandinMenuCount());
    standin::UnloadModule(plugin);
    return status;
}
