// The form engine in a terminal: raw keys in, the form drawn in character cells out
// (ANSI sequences, UTF-8), and the goods-group picker.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "form_engine.h"
#include "mazovia.h"
#include "state.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace standin::form {
namespace {

Terminal *active = nullptr;

void Out(const std::string &bytes) {
#if defined(_WIN32)
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
#else
    for (std::size_t at = 0; at < bytes.size();) {
        ssize_t n = write(STDOUT_FILENO, bytes.data() + at, bytes.size() - at);
        if (n <= 0) return;
        at += static_cast<std::size_t>(n);
    }
#endif
}

int32_t FromCodePoint(char32_t c) {
    if (c == U'\t') return kKeyTab;
    if (c == U'\r' || c == U'\n') return kKeyEnter;
    if (c == 0x1B || c == 0x03) return kKeyEscape;  // Ctrl-C abandons, as Esc does
    if (c == 0x7F || c == 0x08) return kKeyBackspace;
    int b = mazovia::fromCodePoint(c);
    return b >= 0x20 ? b : kKeyNone;
}

#if defined(_WIN32)

DWORD savedInMode = 0, savedOutMode = 0;
UINT savedCodePage = 0;

#else

termios saved{};

bool ByteWithin(int milliseconds, unsigned char &b) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    return poll(&p, 1, milliseconds) == 1 && read(STDIN_FILENO, &b, 1) == 1;
}

// The key of an escape sequence after ESC (CSI or SS3).
int32_t EscapeKey() {
    unsigned char b = 0;
    if (!ByteWithin(50, b)) return kKeyEscape;
    if (b != '[' && b != 'O') return kKeyNone;
    std::string params;
    unsigned char final = 0;
    while (ByteWithin(50, final) && final >= 0x20 && final < 0x40) params += static_cast<char>(final);
    switch (final) {
    case 'A': return kKeyUp;
    case 'B': return kKeyDown;
    case 'C': return kKeyRight;
    case 'D': return kKeyLeft;
    case 'H': return kKeyHome;
    case 'F': return kKeyEnd;
    case 'Z': return kKeyBackTab;
    case 'P': return kKeyF1;
    case 'Q': return kKeyF2;
    case 'R': return kKeyF3;
    case 'S': return kKeyF4;
    case '~': {
        int n = std::atoi(params.c_str());
        switch (n) {
        case 1: case 7: return kKeyHome;
        case 4: case 8: return kKeyEnd;
        case 3: return kKeyDelete;
        case 12: return kKeyF2;
        case 13: return kKeyF3;
        case 14: return kKeyF4;
        case 15: return kKeyF5;
        case 24: return kKeyF12;
        default: return kKeyNone;
        }
    }
    default: return kKeyNone;
    }
}

#endif

}  // namespace

Terminal::Terminal() {
#if defined(_WIN32)
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE), out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!GetConsoleMode(in, &savedInMode) || !GetConsoleMode(out, &savedOutMode)) return;
    SetConsoleMode(in, ENABLE_EXTENDED_FLAGS);
    SetConsoleMode(out, savedOutMode | ENABLE_PROCESSED_OUTPUT | 0x0004 /* virtual terminal processing */);
    savedCodePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
#else
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) return;
    termios raw = saved;
    raw.c_lflag &= ~(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~(IXON | ICRNL);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) return;
#endif
    std::fflush(stdout);
    Out("\x1b[?1049h\x1b[2J");
    ready_ = true;
    active = this;
}

Terminal::~Terminal() {
    if (!ready_) return;
    active = nullptr;
    Out("\x1b[0m\x1b[?25h\x1b[?1049l");
#if defined(_WIN32)
    SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), savedInMode);
    SetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), savedOutMode);
    SetConsoleOutputCP(savedCodePage);
#else
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
#endif
}

int32_t Terminal::ReadKey() {
#if defined(_WIN32)
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputW(in, &record, 1, &read) || read == 0) return kKeyNone;
        if (record.EventType != KEY_EVENT || !record.Event.KeyEvent.bKeyDown) continue;
        const KEY_EVENT_RECORD &k = record.Event.KeyEvent;
        const bool shift = (k.dwControlKeyState & SHIFT_PRESSED) != 0;
        switch (k.wVirtualKeyCode) {
        case VK_F2: return kKeyF2;
        case VK_F3: return kKeyF3;
        case VK_F4: return kKeyF4;
        case VK_F5: return kKeyF5;
        case VK_F12: return kKeyF12;
        case VK_TAB: return shift ? kKeyBackTab : kKeyTab;
        case VK_UP: return kKeyUp;
        case VK_DOWN: return kKeyDown;
        case VK_LEFT: return kKeyLeft;
        case VK_RIGHT: return kKeyRight;
        case VK_HOME: return kKeyHome;
        case VK_END: return kKeyEnd;
        case VK_DELETE: return kKeyDelete;
        default: break;
        }
        if (k.uChar.UnicodeChar != 0) {
            int32_t key = FromCodePoint(k.uChar.UnicodeChar);
            if (key != kKeyNone) return key;
        }
    }
#else
    for (;;) {
        unsigned char b = 0;
        if (read(STDIN_FILENO, &b, 1) != 1) return kKeyNone;
        if (b == 0x1B) {
            int32_t key = EscapeKey();
            if (key != kKeyNone) return key;
            continue;
        }
        std::string utf8(1, static_cast<char>(b));
        for (int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0; extra > 0; --extra) {
            if (!ByteWithin(50, b)) break;
            utf8 += static_cast<char>(b);
        }
        std::size_t at = 0;
        int32_t key = FromCodePoint(mazovia::decodeUtf8(utf8, at));
        if (key != kKeyNone) return key;
    }
#endif
}

void Terminal::Show(const std::vector<std::string> &lines, int cursorRow, int cursorColumn) {
    std::string screen = "\x1b[?25l\x1b[H";
    for (const std::string &line : lines) screen += line + "\x1b[0m\x1b[K\r\n";
    screen += "\x1b[J";
    if (cursorRow >= 0) screen += "\x1b[" + std::to_string(cursorRow + 1) + ";" + std::to_string(cursorColumn + 1) + "H\x1b[?25h";
    Out(screen);
}

void RunInteractive(Session &session) {
    Terminal terminal;
    if (!terminal.Ready()) return session.Fail("the interactive form needs a terminal");
    const std::string help =
        "\x1b[2mF2-F5, litery: skok   Tab, strza\u0142ki: ruch   \u2190\u2192: miesi\u0105c   spacja: zaznacz\r\n"
        "F12 albo Enter na OK: zatwierd\u017a   Esc: rezygnuj\x1b[0m";
    while (session.IsOpen()) {
        if (session.TakeRedraw()) {
            std::vector<std::string> lines = session.Draw(true);
            lines.push_back("");
            lines.push_back(help);
            const Control *c = session.Focused();
            const bool editing = c != nullptr && c->kind == kEdit;
            terminal.Show(lines, editing ? c->row : -1, editing ? c->column + static_cast<int>(session.Cursor()) : 0);
        }
        int32_t key = terminal.ReadKey();
        if (key == kKeyNone) return session.Fail("the terminal closed");
        session.Key(key);
    }
}

bool PickInteractive(std::vector<bool> &selected) {
    if (active == nullptr) return false;
    const auto &groups = state().goodsGroups;
    std::vector<bool> chosen = selected;
    std::size_t at = 0;
    constexpr std::size_t kRows = 15;
    for (;;) {
        std::vector<std::string> lines = {"\x1b[1mGrupy towarowe\x1b[0m  (spacja: zaznacz, Enter: przyjmij, Esc: rezygnuj)", ""};
        if (groups.empty()) lines.push_back("  (program nie zna \u017cadnej grupy towarowej)");
        std::size_t first = at >= kRows ? at - kRows + 1 : 0;
        for (std::size_t i = first; i < groups.size() && i < first + kRows; ++i) {
            std::string line = i == at ? "\x1b[7m" : "";
            line += chosen[i] ? "[X] " : "[ ] ";
            char number[16];
            std::snprintf(number, sizeof number, "%3d  ", groups[i].number);
            lines.push_back(line + number + mazovia::toUtf8(groups[i].name) + "\x1b[0m");
        }
        active->Show(lines, -1, 0);
        switch (int32_t key = active->ReadKey()) {
        case kKeyUp: case kKeyBackTab: if (at > 0) --at; break;
        case kKeyDown: case kKeyTab: if (at + 1 < groups.size()) ++at; break;
        case ' ': if (at < groups.size()) chosen[at] = !chosen[at]; break;
        case kKeyEnter: case kKeyF12: selected = chosen; return true;
        case kKeyEscape: case kKeyNone: return false;
        default: (void)key; break;
        }
    }
}

}  // namespace standin::form
