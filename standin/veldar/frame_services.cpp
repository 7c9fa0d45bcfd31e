// The host services the plug-in's frame uses: version, tables, menu, messages,
// install notice and the INI file.
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "exports.h"
#include "form_engine.h"
#include "state.h"

namespace standin {

namespace {

void ResetTables(State &s) {
    s.tables.clear();
    const std::pair<int32_t, int16_t> defaults[] = {{44, 980}, {45, 298}, {49, 1024}};
    for (auto [number, size] : defaults) s.tables[number].table.recordSize = size;
}

}  // namespace

State &state() {
    static State s = [] {
        State initial;
        ResetTables(initial);
        return initial;
    }();
    return s;
}

std::string FormatV(const char *format, va_list values) {
    va_list copy;
    va_copy(copy, values);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) return std::string();
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, values);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

namespace {
bool TerminalOutput() {
#if defined(_WIN32)
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(fileno(stdout)) != 0;
#endif
}
}  // namespace

void Show(int32_t kind, int32_t flags, const std::string &title, const std::string &text) {
    State &s = state();
    s.events.push_back({kind, flags, title, text});
    if (!s.echo) return;
    const bool menu = kind == kEventMenuAdd || kind == kEventMenuRemove;
    std::string echo;
    if (menu) {
        char line[64];
        std::snprintf(line, sizeof line, "[menu] command 0x%04X %s\n", static_cast<unsigned>(flags),
                      kind == kEventMenuAdd ? "added" : "withdrawn");
        echo = line;
    } else {
        const bool bold = TerminalOutput();
        echo = "\n== " + std::string(kind == kEventNotice ? "notice" : "message") + " [" + Render(title, bold) +
               "] ==\n" + Render(text, bold) + "\n";
    }
    // While the form's screen is up, the console line would land on it and vanish.
    if (!form::DeferWhileShown(echo)) {
        std::fputs(echo.c_str(), stdout);
        std::fflush(stdout);
    }
    // Whoever fills in the form in the terminal reads what the plug-in shows there,
    // and answers it with a key, as in the host.
    if (!menu && s.formInteractive) form::MessageInteractive(Render(title, false), Render(text, false));
}

}  // namespace standin

using namespace standin;

// ---- control interface ----

STANDIN_API void StandinReset(void) {
    State &s = state();
    bool echo = s.echo;
    s = State{};
    std::fill(std::begin(callCounts), std::end(callCounts), 0u);
    callRecorder = nullptr;
    callRecorderContext = nullptr;
    s.echo = echo;
    ResetTables(s);
    ResetHeapAndGlobals();
    ResetSalesTables();
    ResetPluginEntries();
}

void standin::RecordCall(uint32_t ordinal, StandinCallArg *args, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        StandinCallArg &a = args[i];
        if (a.kind != kArgText || (a.textLength & kTextUpTo) == 0) continue;
        const uint32_t most = a.textLength & ~kTextUpTo;
        uint32_t n = 0;
        if (a.text != nullptr)
            while (n < most && a.text[n] != '\0') ++n;
        a.textLength = n;
    }
    callRecorder(callRecorderContext, ordinal, args, count);
}

STANDIN_API void StandinSetCallRecorder(StandinCallRecorder recorder, void *context) {
    callRecorder = recorder;
    callRecorderContext = context;
}

STANDIN_API void StandinSetEcho(int32_t on) { state().echo = on != 0; }
STANDIN_API void StandinSetVersion(int32_t version) { state().version = version; }
STANDIN_API void StandinSetTableRecordSize(int32_t tableNumber, int32_t recordSize) {
    state().tables[tableNumber].table.recordSize = static_cast<int16_t>(recordSize);
}
STANDIN_API void StandinSetTablePresent(int32_t tableNumber, int32_t present) {
    state().tables[tableNumber].present = present != 0;
}
STANDIN_API void StandinSetNoticeAnswer(int32_t change, int16_t value) {
    state().noticeChanges = change != 0;
    state().noticeValue = value;
}

STANDIN_API int32_t StandinEventCount(void) { return static_cast<int32_t>(state().events.size()); }
STANDIN_API int32_t StandinGetEvent(int32_t index, StandinEvent *event) {
    const auto &events = state().events;
    if (index < 0 || static_cast<std::size_t>(index) >= events.size()) return 0;
    const Event &e = events[static_cast<std::size_t>(index)];
    *event = {e.kind, e.flags, e.title.c_str(), e.text.c_str(), static_cast<uint32_t>(e.text.size())};
    return 1;
}
STANDIN_API void StandinClearEvents(void) { state().events.clear(); }
STANDIN_API uint32_t StandinCallCount(uint32_t ordinal) {
    return ordinal < std::size(callCounts) ? callCounts[ordinal] : 0;
}
STANDIN_API int32_t StandinMenuCount(void) { return static_cast<int32_t>(state().menu.size()); }
STANDIN_API const MenuEntryRecord *StandinMenuEntry(int32_t index) {
    const auto &menu = state().menu;
    return index >= 0 && static_cast<std::size_t>(index) < menu.size() ? menu[static_cast<std::size_t>(index)]
                                                                         : nullptr;
}

// ---- host functions ----

int32_t HOST_CONV_STDCALL VeldarGetVersion(void) {
    Called(kOrd_VeldarGetVersion);
    return state().version;
}

HostTable *HOST_CONV_STDCALL VeldarGetTable(int32_t tableNumber) {
    Called(kOrd_VeldarGetTable, Number(tableNumber));
    auto &tables = state().tables;
    auto it = tables.find(tableNumber);
    if (it == tables.end() || !it->second.present) return nullptr;
    return &it->second.table;
}

int32_t HOST_CONV_STDCALL VeldarAddMenuCommand(const MenuEntryRecord *entry) {
    Called(kOrd_VeldarAddMenuCommand, Address(entry));
    state().menu.push_back(entry);
    Show(kEventMenuAdd, entry->commandId, "", entry->caption != nullptr ? entry->caption : "");
    return 1;
}

int32_t HOST_CONV_STDCALL VeldarRemoveMenuCommand(uint32_t commandId) {
    Called(kOrd_VeldarRemoveMenuCommand, Number(commandId));
    auto &menu = state().menu;
    bool found = false;
    for (auto it = menu.begin(); it != menu.end();) {
        if ((*it)->commandId == commandId) {
            it = menu.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    Show(kEventMenuRemove, static_cast<int32_t>(commandId), "", "");
    return found ? 1 : 0;
}

int32_t HOST_CONV_STDCALL VeldarShowMessage(const char *title, const char *text, int32_t style) {
    Called(kOrd_VeldarShowMessage, Text(title), Text(text), Number(style));
    Show(kEventMessage, style, title, text);
    return 1;
}

int32_t HOST_CONV_CDECL VeldarShowMessageF(const char *title, const char *format, int32_t flags, ...) {
    va_list values;
    va_start(values, flags);
    std::string text = FormatV(format, values);
    va_end(values);
    Called(kOrd_VeldarShowMessageF, Text(title), Formatted(format, text), Number(flags));
    Show(kEventMessageF, flags, title, text);
    return 1;
}

int32_t HOST_CONV_STDCALL VeldarShowMessageV(const char *caption, const char *format, int32_t kind, va_list values) {
    std::string text = FormatV(format, values);
    Called(kOrd_VeldarShowMessageV, Text(caption), Formatted(format, text), Number(kind));
    Show(kEventMessageV, kind, caption, text);
    return 1;
}

int32_t HOST_CONV_CDECL VeldarShowNotice(int32_t id, int16_t *flag, int32_t, const char *text) {
    Called(kOrd_VeldarShowNotice, Number(id), Address(flag), Text(text));
    Show(kEventNotice, id, "", text);
    if (state().noticeChanges) *flag = state().noticeValue;
    return 1;
}

// ---- INI values ----

namespace {

// The value of section/key in an INI file, if the file, section and key exist.
bool ReadIni(const std::string &file, const std::string &section, const std::string &key, std::string &value) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::string line, current;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            auto close = line.find(']');
            current = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            continue;
        }
        auto eq = line.find('=');
        if (eq == std::string::npos || current != section) continue;
        if (line.substr(0, eq) == key) {
            value = line.substr(eq + 1);
            return true;
        }
    }
    return false;
}

// Sets section/key, keeping the rest of the file; creates what is missing.
bool WriteIni(const std::string &file, const std::string &section, const std::string &key, const std::string &value) {
    std::vector<std::string> lines;
    {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(line);
        }
    }
    std::string current;
    bool inSection = false, done = false;
    std::size_t sectionEnd = lines.size();
    for (std::size_t i = 0; i < lines.size() && !done; ++i) {
        const std::string &line = lines[i];
        if (!line.empty() && line.front() == '[') {
            if (inSection) {
                sectionEnd = i;
                break;
            }
            auto close = line.find(']');
            current = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
            inSection = current == section;
            continue;
        }
        if (inSection && line.compare(0, key.size() + 1, key + "=") == 0) {
            lines[i] = key + "=" + value;
            done = true;
        }
    }
    if (!done) {
        if (inSection) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), key + "=" + value);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(key + "=" + value);
        }
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const auto &line : lines) out << line << "\r\n";
    return static_cast<bool>(out);
}

}  // namespace

int16_t HOST_CONV_CDECL VeldarProfileValue(const char *file, int32_t mode, const char *section, const char *key,
                                          const char *format, ...) {
    Called(kOrd_VeldarProfileValue, Text(file), Number(mode), Text(section), Text(key), Text(format));
    va_list values;
    va_start(values, format);
    int16_t status = 1;
    if (mode == 8) {
        std::string value;
        if (ReadIni(file, section, key, value) && std::vsscanf(value.c_str(), format, values) >= 1) status = 0;
    } else if (mode == 9) {
        if (WriteIni(file, section, key, FormatV(format, values))) status = 0;
    }
    va_end(values);
    return status;
}

// ---- load-time and attach-time entries ----

void HOST_CONV_CDECL VeldarTranslateException(uint32_t, struct _EXCEPTION_POINTERS *) {
    // The real host turns a structured exception into its own C++ exception here.
    // The stand-in's host program catches structured exceptions itself, so the
    // translator only counts that it was consulted.
    Called(kOrd_VeldarTranslateException);
}

void *HOST_CONV_STDCALL VeldarDelayLoadHook(uint32_t, void *) {
    // Leaves every delay-load notification to the helper's defaults.
    Called(kOrd_VeldarDelayLoadHook);
    return nullptr;
}
