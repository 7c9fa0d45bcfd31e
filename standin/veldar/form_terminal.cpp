// The form engine in a terminal: raw keys in, the form drawn in character cells out
// (ANSI sequences, UTF-8), and the goods-group picker.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "form_engine.h"
#include "mazovia.h"
#include "state.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace standin::form {
namespace {

Terminal *active = nullptr;
std::string deferred;  // console output that waits for the form's screen to close

// The cells a line takes on the screen: its characters, not its terminal sequences.
int Width(const std::string &line) {
    int cells = 0;
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == '\x1b') {
            for (i += 2; i < line.size() && (line[i] < 0x40 || line[i] > 0x7E); ++i) {
            }
            ++i;
            continue;
        }
        mazovia::decodeUtf8(line, i);
        ++cells;
    }
    return cells;
}

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
    if (!deferred.empty()) {
        std::fputs(deferred.c_str(), stdout);
        std::fflush(stdout);
        deferred.clear();
    }
}

bool Terminal::Size(int &columns, int &rows) const {
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info)) return false;
    columns = info.srWindow.Right - info.srWindow.Left + 1;
    rows = info.srWindow.Bottom - info.srWindow.Top + 1;
#else
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0) return false;
    columns = size.ws_col;
    rows = size.ws_row;
#endif
    return columns > 0 && rows > 0;
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
        // Wine's console gives a lone Esc read from a terminal as the key alone, with
        // no character.
        case VK_ESCAPE: return kKeyEscape;
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
    // No line break after the last line: a screen exactly as high as the lines keeps
    // its first one.
    std::string screen = "\x1b[?25l\x1b[H";
    for (std::size_t i = 0; i < lines.size(); ++i) screen += (i > 0 ? "\r\n" : "") + lines[i] + "\x1b[0m\x1b[K";
    screen += "\x1b[J";
    if (cursorRow >= 0) screen += "\x1b[" + std::to_string(cursorRow + 1) + ";" + std::to_string(cursorColumn + 1) + "H\x1b[?25h";
    Out(screen);
}

void RunInteractive(Session &session) {
    Terminal terminal;
    if (!terminal.Ready()) return session.Fail("the interactive form needs a terminal");
    const std::string help[] = {
        "",
        "\x1b[2mF2-F5, litery: skok   Tab, strza\u0142ki: ruch   \u2190\u2192: miesi\u0105c   spacja: zaznacz",
        "\x1b[2mF12 albo Enter na OK: zatwierd\u017a   Esc: rezygnuj",
    };
    while (session.IsOpen()) {
        if (session.TakeRedraw()) {
            std::vector<std::string> lines = session.Draw(true);
            int width = 0, helpWidth = 0, columns = 0, rows = 0;
            for (const std::string &line : lines) width = std::max(width, Width(line));
            for (const std::string &line : help) helpWidth = std::max(helpWidth, Width(line));
            // A Windows console moves on to the next line as soon as the last column
            // is written: everything drawn keeps that column free.
            ++width, ++helpWidth;
            const int height = static_cast<int>(lines.size());
            const bool known = terminal.Size(columns, rows);
            if (known && (width > columns || height > rows))
                return session.Fail("the terminal has " + std::to_string(columns) + " columns and " +
                                    std::to_string(rows) + " rows; the form needs " + std::to_string(width) +
                                    " columns and " + std::to_string(height) +
                                    " rows (enlarge the window, then start again)");
            // The key help goes below the form when there is room for it.
            if (!known || (helpWidth <= columns && height + static_cast<int>(std::size(help)) <= rows))
                lines.insert(lines.end(), std::begin(help), std::end(help));
            const Control *c = session.Focused();
            const bool editing = c != nullptr && c->kind == kEdit;
            terminal.Show(lines, editing ? c->row : -1, editing ? c->column + static_cast<int>(session.Cursor()) : 0);
        }
        int32_t key = terminal.ReadKey();
        if (key == kKeyNone) return session.Fail("the terminal closed");
        session.Key(key);
    }
}

bool DeferWhileShown(const std::string &output) {
    if (active == nullptr) return false;
    deferred += output;
    return true;
}

bool MessageInteractive(const std::string &title, const std::string &text) {
    std::optional<Terminal> own;
    Terminal *terminal = active;
    if (terminal == nullptr) {
        own.emplace();
        if (!own->Ready()) return false;
        terminal = &*own;
    }
    int columns = 80, rows = 24;
    terminal->Size(columns, rows);
    const std::size_t most = static_cast<std::size_t>(std::max(columns - 5, 10));  // the last column free
    const std::u32string hint = U"Enter, Esc albo inny klawisz: dalej";
    // The text's lines, each cut to the window's width.
    std::vector<std::u32string> body;
    std::u32string line;
    for (std::size_t i = 0; i <= text.size();) {
        if (i == text.size() || text[i] == '\n') {
            do {
                body.push_back(line.substr(0, most));
                line.erase(0, most);
            } while (!line.empty());
            ++i;
            continue;
        }
        line += mazovia::decodeUtf8(text, i);
    }
    // A text taller than the window keeps its beginning (the console gets it whole).
    const std::size_t tallest = static_cast<std::size_t>(std::max(rows - 5, 1));
    if (body.size() > tallest) {
        body.resize(tallest);
        body.back() = U"\u2026";
    }
    std::u32string heading;
    for (std::size_t i = 0; i < title.size();) heading += mazovia::decodeUtf8(title, i);
    if (!heading.empty()) heading = U" " + heading + U" ";
    std::size_t inner = std::max(hint.size(), heading.size() + 2);
    for (const std::u32string &l : body) inner = std::max(inner, l.size());
    inner = std::min(inner, most);
    heading = heading.substr(0, inner);

    auto utf8 = [](const std::u32string &cells) {
        std::string out;
        for (char32_t c : cells) mazovia::appendUtf8(out, c);
        return out;
    };
    const std::size_t left = (inner + 2 - heading.size()) / 2;
    std::vector<std::string> lines;
    lines.push_back(utf8(U"\u2554" + std::u32string(left, U'\u2550')) + "\x1b[1m" + utf8(heading) + "\x1b[0m" +
                    utf8(std::u32string(inner + 2 - left - heading.size(), U'\u2550') + U"\u2557"));
    auto row = [&](const std::u32string &cells, const char *attribute) {
        std::u32string padded = cells;
        padded.resize(inner, U' ');
        return utf8(U"\u2551 ") + attribute + utf8(padded) + "\x1b[0m" + utf8(U" \u2551");
    };
    for (const std::u32string &l : body) lines.push_back(row(l, ""));
    lines.push_back(row(U"", ""));
    lines.push_back(row(hint.substr(0, inner), "\x1b[2m"));
    lines.push_back(utf8(U"\u255A" + std::u32string(inner + 2, U'\u2550') + U"\u255D"));
    terminal->Show(lines, -1, 0);
    terminal->ReadKey();
    if (Session *run = Session::Running()) run->RequestRedraw();
    return true;
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
