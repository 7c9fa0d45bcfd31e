// The stand-in host program: loads the plug-in into its process as the host
// application does, connects it, sets it up, offers its menu command and
// disconnects it again, showing on the console what the plug-in shows.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

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
        "  --year Y               the host's current year (default: this year)\n"
        "  --data FILE            the month of sales data the host holds (default: the\n"
        "                         sample-month.txt beside this program; none: no data)");
}

std::string Utf8(const char *hostText) {
    char buffer[4096];
    StandinRenderText(hostText, buffer, sizeof buffer);
    return buffer;
}

bool FileExists(const std::string &path) {
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) std::fclose(file);
    return file != nullptr;
}

}  // namespace

int main(int argc, char **argv) {
#if defined(_WIN32)
    SetErrorMode(SEM_FAILCRITICALERRORS);
#endif
    StandinReset();
    std::string pluginPath = standin::DefaultPluginPath();
    std::string dataPath = pluginPath.substr(0, pluginPath.find_last_of("\\/") + 1) + "sample-month.txt";
    bool dataGiven = false;
    int16_t year = 0;
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
            year = static_cast<int16_t>(std::atoi(value()));
        } else if (arg == "--data") {
            dataPath = value();
            dataGiven = true;
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "pimhost: unknown option %s\n", arg.c_str());
            Usage();
            return 2;
        }
    }
    // The default month loads only when it is there; a month asked for must load.
    if (dataPath != "none") {
        const char *error = StandinLoadDataset(dataPath.c_str());
        if (error != nullptr && (dataGiven || FileExists(dataPath))) {
            std::fprintf(stderr, "pimhost: %s\n", error);
            return 2;
        }
        std::printf("Sales data: %s\n", error == nullptr ? dataPath.c_str() : "none");
    }
    if (year != 0) StandinSetCurrentYear(year);  // wins over the data set's year
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
    int32_t accepted = connect(hostObject, name);
    std::printf("\nConnect: %s\nPlug-in name:\n%s\n", accepted == 0 ? "accepted" : "refused", Utf8(name).c_str());
    setup(accepted == 0 ? 0 : 1);

    int status = 0;
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
                entry->handler();
            }
        }
    } else {
        status = 3;
    }

    connect(nullptr, nullptr);
    std::printf("\nDisconnected; menu commands left: %d\n", StandinMenuCount());
    standin::UnloadModule(plugin);
    return status;
}
