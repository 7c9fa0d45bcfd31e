// The stand-in host program: loads the plug-in into its process as the host
// application does, connects it, sets it up, offers its menu command and
// disconnects it again, showing on the console what the plug-in shows.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "guarded_call.h"
#include "host_api.h"
#include "mazovia.h"
#include "module.h"
#include "plugin_entry.h"
#include "veldar.h"

#if defined(_WIN32)
#include <windows.h>
#include <fcntl.h>
#include <io.h>
// after windows.h
#include <shellapi.h>
#else
#include <unistd.h>
#endif

namespace {

void Usage() {
    std::puts(
#include "pimhost_usage.inc"
    );
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

// The files the plug-in wrote that are still there, with their first lines (the
// files hold host texts, so they are shown decoded).
void ShowWrittenFiles(int lines) {
    std::printf("\nFiles written by the plug-in, in %s:\n", std::filesystem::current_path().string().c_str());
    for (int32_t i = 0; const char *name = StandinWrittenFile(i); ++i) {
        std::ifstream in(name, std::ios::binary);
        if (!in) continue;
        std::printf("\n  %s\n", mazovia::toUtf8(name).c_str());
        std::string line;
        for (int n = 0; n < lines && std::getline(in, line); ++n) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::printf("    %s\n", mazovia::toUtf8(line).c_str());
        }
    }
}

const char *const kFormOptions[] = {"--month", "--groups", "--outlet", "--branch", "--kinds",
                                    "--abandon", "--interactive", "--show-form", "--goods-group"};

// Adds the form actions of one option: 1 when done, -1 (after saying why) when its
// value is unusable, 0 when it is no form option.
template <class Value>
int FormOption(const std::string &arg, Value value) {
    if (std::find(std::begin(kFormOptions), std::end(kFormOptions), arg) == std::end(kFormOptions)) return 0;
    auto add = [&](const std::string &action) {
        if (StandinFormScriptAdd(action.c_str()) != 0) return 1;
        std::fprintf(stderr, "pimhost: %s: unusable value\n", arg.c_str());
        return -1;
    };
    if (arg == "--month") {
        int month = std::atoi(value());
        if (month < 1 || month > 12) {
            std::fprintf(stderr, "pimhost: --month wants 1..12\n");
            return -1;
        }
        return add(std::string("select 0x4102 ").append(std::to_string(month - 1)));
    }
    if (arg == "--groups") return add(std::string("pick ") + value()) > 0 ? add("press 0x430F") : -1;
    // A name goes into the host's Mazovia field: what that cannot hold is refused here,
    // named, rather than changed into something the user did not write.
    auto hostText = [&](const std::string &text, const std::string &what) {
        const char *why = StandinHostTextError(text.c_str(), what.c_str());
        if (why != nullptr) std::fprintf(stderr, "pimhost: %s\n", why);
        return why == nullptr;
    };
    if (arg == "--outlet" || arg == "--branch") {
        const std::string text = value();
        if (!hostText(text, arg)) return -1;
        return add(std::string(arg == "--outlet" ? "type 0x4107 " : "type 0x4109 ") + text);
    }
    if (arg == "--kinds") {
        std::string kinds = value();
        bool both = kinds == "invoices,receipts" || kinds == "receipts,invoices";
        bool invoices = both || kinds == "invoices", receipts = both || kinds == "receipts";
        if (!invoices && !receipts && kinds != "none") {
            std::fprintf(stderr, "pimhost: --kinds wants invoices, receipts, invoices,receipts or none\n");
            return -1;
        }
        return add(std::string("check 0x410B ") + (invoices ? "1" : "0")) > 0
                   ? add(std::string("check 0x410C ") + (receipts ? "1" : "0"))
                   : -1;
    }
    if (arg == "--abandon") return add("key Esc");
    if (arg == "--interactive") StandinFormInteractive(1);
    if (arg == "--show-form") StandinFormShow(1);
    if (arg == "--goods-group") {
        std::string v = value();
        auto eq = v.find('=');
        int number = std::atoi(v.c_str());
        if (eq == std::string::npos || number < 0 || number > 450) {
            std::fprintf(stderr, "pimhost: --goods-group wants N=NAME with N in 0..450\n");
            return -1;
        }
        if (!hostText(v.substr(eq + 1), "--goods-group's name")) return -1;
        StandinAddGoodsGroup(static_cast<int16_t>(number), mazovia::fromUtf8(v.substr(eq + 1)).c_str());
    }
    return 1;
}

// Whether the user is at a terminal, for --interactive.
bool InteractiveTerminal() {
#if defined(_WIN32)
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) && GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode);
#else
    return isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
#endif
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

#if defined(_WIN32)
// What the host prints is UTF-8, with terminal escapes for emphasis; a console shows
// it so while the program runs, and gets its own settings back at the end.
class Utf8Console {
public:
    Utf8Console() : out_(GetStdHandle(STD_OUTPUT_HANDLE)), codePage_(GetConsoleOutputCP()) {
        if (!GetConsoleMode(out_, &mode_)) return;  // not a console: bytes pass as they are
        console_ = true;
        std::fflush(stdout);
        // The runtime's text mode would pass the bytes through its own code page, and
        // unbuffered writes would split the characters of several bytes.
        previousMode_ = _setmode(_fileno(stdout), _O_BINARY);
        std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
        SetConsoleOutputCP(CP_UTF8);
        SetConsoleMode(out_, mode_ | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    ~Utf8Console() {
        if (!console_) return;
        std::fflush(stdout);
        _setmode(_fileno(stdout), previousMode_);
        SetConsoleMode(out_, mode_);
        SetConsoleOutputCP(codePage_);
    }
    Utf8Console(const Utf8Console &) = delete;
    Utf8Console &operator=(const Utf8Console &) = delete;

private:
    HANDLE out_;
    UINT codePage_;
    DWORD mode_ = 0;
    int previousMode_ = 0;
    bool console_ = false;
};
#endif

int main(int argc, char **argv) {
#if defined(_WIN32)
    SetErrorMode(SEM_FAILCRITICALERRORS);
    const Utf8Console console;
    // Texts of the options (names for the form) arrive as UTF-8, as on the native build.
    std::vector<std::string> utf8Args;
    std::vector<char *> utf8Argv;
    if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &argc)) {
        for (int i = 0; i < argc; ++i) {
            int n = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
            std::string arg(static_cast<std::size_t>(n > 0 ? n : 1), '\0');
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, arg.data(), n, nullptr, nullptr);
            utf8Args.push_back(arg.c_str());
        }
        LocalFree(wide);
        for (std::string &a : utf8Args) utf8Argv.push_back(a.data());
        argv = utf8Argv.data();
    }
#endif
    StandinReset();
    std::string pluginPath = standin::DefaultPluginPath();
    std::string dataPath = pluginPath.substr(0, pluginPath.find_last_of("\\/") + 1) + "sample-month.txt";
    bool dataGiven = false;
    int16_t year = 0;
    bool runCommand = false;
    bool interactive = false;
    int showLines = -1;
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
            const std::string text = value();
            char *end = nullptr;
            const long y = std::strtol(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0' || y < 1900 || y > 2999) {
                std::fprintf(stderr, "pimhost: --year wants a year 1900..2999, not \"%s\"\n", text.c_str());
                return 2;
            }
            year = static_cast<int16_t>(y);
        } else if (arg == "--show-files") {
            showLines = std::atoi(value());
        } else if (arg == "--data") {
            dataPath = value();
            dataGiven = true;
        } else if (int form = FormOption(arg, value); form != 0) {
            if (form < 0) return 2;
            interactive = interactive || arg == "--interactive";
        } else if (arg == "--help" || arg == "-h") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "pimhost: unknown option %s\n", arg.c_str());
            Usage();
            return 2;
        }
    }
    // Without a terminal the form cannot be filled in: say so before anything runs.
    if (interactive && !InteractiveTerminal()) {
        std::fprintf(stderr,
                     "pimhost: --interactive needs a terminal for input and output; fill the form in "
                     "from options instead (--month, --outlet, ...)\n");
        return 2;
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
    int32_t accepted = -1;
    int status = 0;
    if (!CallPlugin("PluginConnect", [&] { accepted = standin::EnterStdcall(connect, hostObject, name); })) status = 4;
    std::printf("\nConnect: %s\nPlug-in name:\n%s\n", accepted == 0 ? "accepted" : "refused", Utf8(name).c_str());
    if (!CallPlugin("PluginSetup", [&] { standin::EnterStdcall(setup, accepted == 0 ? 0 : 1); })) status = 4;

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
                if (!CallPlugin("the menu command", [&] { standin::EnterStdcall(entry->handler); })) status = 4;
                // The engine has said why on the error stream.
                if (status == 0 && StandinFormError()[0] != '\0') status = 5;
            }
        }
    } else if (status == 0) {
        status = 3;
    }

    if (!CallPlugin("disconnecting", [&] { standin::EnterStdcall(connect, nullptr, nullptr); })) status = 4;
    std::printf("\nDisconnected; menu commands left: %d\n", StandinMenuCount());
    standin::UnloadModule(plugin);
    if (showLines >= 0) ShowWrittenFiles(showLines);
    if (StandinFaultCount() > 0) {
        std::fprintf(stderr, "pimhost: the plug-in broke the host interface %d time(s), as said above\n",
                     static_cast<int>(StandinFaultCount()));
        if (status == 0) status = 6;
    }
    return status;
}
