// The stand-in's form engine: template reading, binding, the running form and the
// host functions that act on it.
#include "form_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "exports.h"
#include "mazovia.h"
#include "plugin_entry.h"
#include "state.h"

namespace standin::form {
namespace {

constexpr uint32_t kMaxTemplateBytes = 0xFFFF + 4;
constexpr int16_t kEventCommand = 1;
constexpr int16_t kEventFocus = 2;
constexpr int16_t kEventChanged = 3;
constexpr int16_t kEventOpen = -2;
constexpr int32_t kResultRedraw = -2;
constexpr uint32_t kFormFlagRedraw = 0x8000;

Session *running = nullptr;

uint16_t Word(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

std::string Hex(unsigned v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", v);
    return text;
}

bool Focusable(const Control &c) { return c.kind != kLabel; }

// Reads records from a bounded byte range.
class Reader {
public:
    Reader(const uint8_t *p, std::size_t size) : p_(p), size_(size) {}
    bool Word(uint16_t &w) {
        if (at_ + 2 > size_) return false;
        w = form::Word(p_ + at_);
        at_ += 2;
        return true;
    }
    bool Skip(std::size_t n) {
        if (at_ + n > size_) return false;
        at_ += n;
        return true;
    }
    bool Text(std::string &t) {
        const void *end = std::memchr(p_ + at_, 0, size_ - at_);
        if (end == nullptr) return false;
        std::size_t n = static_cast<const uint8_t *>(end) - (p_ + at_);
        t.assign(reinterpret_cast<const char *>(p_ + at_), n);
        at_ += n + 1;
        return true;
    }
    const uint8_t *Here() const { return p_ + at_; }
    std::size_t At() const { return at_; }

private:
    const uint8_t *p_;
    std::size_t size_;
    std::size_t at_ = 0;
};

std::string ReadRecord(Reader &in, Control &c) {
    if (!in.Word(c.kind)) return "the template ends inside a record";
    if (c.kind == kEdit && !in.Skip(4)) return "the template ends inside an edit record";
    uint16_t *fields[] = {&c.id, &c.flags, &c.key, &c.column, &c.row, &c.width, &c.height};
    for (uint16_t *f : fields)
        if (!in.Word(*f)) return "the template ends inside a record";
    if (!in.Skip(4) || !in.Text(c.caption)) return "a caption of control " + Hex(c.id) + " has no end";
    if (c.kind == kEdit) {
        const uint8_t *trailer = in.Here();
        if (!in.Skip(18)) return "the edit record " + Hex(c.id) + " has no trailer";
        c.limit = Word(trailer + 7);
        if (c.limit == 0 || c.limit > 255 || Word(trailer + 13) != c.limit)
            return "the edit field " + Hex(c.id) + " has no sound length limit";
    }
    switch (c.kind) {
    case kButton: case kCheckBox: case kLabel: case kEdit: case kFormRecord: break;
    case kList: {
        std::string rest = c.caption;
        if (rest.empty() || rest.back() != '\n') return "the items of list " + Hex(c.id) + " do not end with a line feed";
        for (std::size_t start = 0; start < rest.size();) {
            std::size_t end = rest.find('\n', start);
            if (rest[start] != ' ') return "an item of list " + Hex(c.id) + " does not start with a blank";
            c.items.push_back(rest.substr(start + 1, end - start - 1));
            start = end + 1;
        }
        break;
    }
    default: return "control " + Hex(c.id) + " has the unknown kind " + std::to_string(c.kind);
    }
    return "";
}

const char *KindName(uint16_t kind) {
    switch (kind) {
    case kButton: return "button";
    case kCheckBox: return "check box";
    case kEdit: return "edit field";
    case kList: return "list";
    default: return "control";
    }
}

// What the engine draws and edits must fit and have a value: a check box draws its
// four-cell mark "[ ] " and a button its two brackets inside the control's width, and a
// list, check box or edit field keeps its value only in the data block, which the
// edits-data flag binds it to.
std::string Unfit(const Control &c) {
    const int least = c.kind == kCheckBox ? 4 : c.kind == kButton ? 2 : 1;
    if (c.width < least)
        return std::string("the ") + KindName(c.kind) + " " + Hex(c.id) + " is " + std::to_string(c.width) +
               " cell(s) wide, too narrow for its " + (c.kind == kCheckBox ? "mark \"[ ] \"" : "brackets") +
               " (at least " + std::to_string(least) + ")";
    if ((c.kind == kList || c.kind == kCheckBox || c.kind == kEdit) && (c.flags & kEditsData) == 0)
        return std::string("the ") + KindName(c.kind) + " " + Hex(c.id) + " has no value: it lacks the edits-data flag " +
               Hex(kEditsData);
    return "";
}

}  // namespace

std::string Parse(const uint8_t *bytes, Form &form) {
    if (bytes == nullptr) return "there is no template";
    uint32_t total = Word(bytes) | static_cast<uint32_t>(Word(bytes + 2)) << 16;
    if (total < 4 || total > kMaxTemplateBytes) return "its length " + std::to_string(total) + " is not sound";
    uint16_t records = Word(bytes + 4);
    uint16_t controls = Word(bytes + 6);
    if (static_cast<uint32_t>(records) + 4 != total)
        return "its two lengths disagree (" + std::to_string(total) + " and " + std::to_string(records) + ")";
    Reader in(bytes + 8, records);
    if (std::string e = ReadRecord(in, form.header); !e.empty()) return e;
    if (form.header.kind != kFormRecord) return "it does not start with the form record";
    const Control &h = form.header;
    if (h.width < 3 || h.height < 3 || h.width > 200 || h.height > 60) return "the form's size is not sound";
    form.controls.assign(controls, Control{});
    int checkRun = 0;
    for (Control &c : form.controls) {
        if (std::string e = ReadRecord(in, c); !e.empty()) return e;
        if (c.kind == kFormRecord) return "it holds a second form record";
        if (c.column < 1 || c.row < 1 || c.width < 1 || c.height < 1 || c.column + c.width > h.width - 1 ||
            c.row + c.height > h.height - 1)
            return "control " + Hex(c.id) + " lies outside the form";
        if (std::string e = Unfit(c); !e.empty()) return e;
        for (const Control &o : form.controls) {
            if (&o == &c) break;
            if (o.id == c.id) return "two controls have the id " + Hex(c.id);
        }
        if ((c.flags & kEditsData) != 0) {
            if (c.kind != kList && c.kind != kEdit && c.kind != kCheckBox)
                return "control " + Hex(c.id) + " edits data but is neither list, edit field nor check box";
            checkRun = c.kind == kCheckBox ? checkRun + 1 : 0;
            if (checkRun > 16) return "more than 16 check boxes share one word";
        }
    }
    if (in.At() != records)
        return std::to_string(controls) + " controls take " + std::to_string(in.At()) + " bytes, not " +
               std::to_string(records);
    return "";
}

void Bind(Form &form, uint8_t *data) {
    std::size_t at = 0;
    const Control *previous = nullptr;  // the data control before, for check-box runs
    for (Control &c : form.controls) {
        if ((c.flags & kEditsData) == 0) continue;
        if (c.kind == kCheckBox && previous != nullptr && previous->kind == kCheckBox && previous->bit < 15) {
            c.value = previous->value;
            c.bit = previous->bit + 1;
        } else {
            c.value = data + at;
            at += c.kind == kEdit ? c.limit + 1u : 2u;
        }
        previous = &c;
    }
}

int32_t KeyByName(const std::string &name) {
    static const std::pair<const char *, int32_t> names[] = {
        {"F1", kKeyF1}, {"F2", kKeyF2}, {"F3", kKeyF3}, {"F4", kKeyF4}, {"F5", kKeyF5}, {"F12", kKeyF12},
        {"Tab", kKeyTab}, {"BackTab", kKeyBackTab}, {"Up", kKeyUp}, {"Down", kKeyDown}, {"Left", kKeyLeft},
        {"Right", kKeyRight}, {"Home", kKeyHome}, {"End", kKeyEnd}, {"Enter", kKeyEnter}, {"Esc", kKeyEscape},
        {"Backspace", kKeyBackspace}, {"Delete", kKeyDelete}, {"Space", ' '},
    };
    for (auto [n, k] : names)
        if (name == n) return k;
    std::string m = mazovia::fromUtf8(name);
    return m.size() == 1 ? static_cast<int32_t>(static_cast<uint8_t>(m[0])) : int32_t{kKeyNone};
}

// ---- the running form ----

Session::Session(Form &form, void *dialog, bool terminal)
    : form_(form), dialog_(dialog), terminal_(terminal), focus_(form.controls.size()), outer_(running) {
    running = this;
}

Session::~Session() { running = outer_; }

Session *Session::Running() { return running; }

int32_t Session::Fire(int16_t code, int16_t kind) {
    void *const *vtable = *static_cast<void *const *const *>(dialog_);
    int32_t result = EnterThiscall<int32_t>(vtable[1], dialog_, code, kind);
    if (result == kResultRedraw) redraw_ = true;
    return result;
}

void Session::Open() {
    open_ = true;
    redraw_ = true;
    Fire(static_cast<int16_t>(form_.header.id), kEventOpen);
    for (std::size_t i = 0; i < form_.controls.size(); ++i)
        if (Focusable(form_.controls[i])) {
            SetFocus(i);
            break;
        }
}

void Session::Fail(const std::string &why) {
    if (error_.empty()) error_ = why;
    result_ = kAbandoned;
    open_ = false;
}

bool Session::TakeRedraw() { return std::exchange(redraw_, false); }

const Control *Session::Focused() const { return focus_ < form_.controls.size() ? &form_.controls[focus_] : nullptr; }

Control *Session::Find(uint16_t id) {
    for (Control &c : form_.controls)
        if (c.id == id) return &c;
    return nullptr;
}

bool Session::FocusOn(uint16_t id) {
    for (std::size_t i = 0; i < form_.controls.size(); ++i)
        if (form_.controls[i].id == id && Focusable(form_.controls[i])) {
            SetFocus(i);
            return true;
        }
    return false;
}

int32_t Session::Value(const Control &c) const {
    if (c.value == nullptr) return 0;
    switch (c.kind) {
    case kList: return Word(c.value);
    case kCheckBox: return (Word(c.value) >> c.bit) & 1;
    case kEdit: return static_cast<int32_t>(Text(c).size());
    default: return 0;
    }
}

std::string Session::Text(const Control &c) const {
    if (c.kind != kEdit || c.value == nullptr) return "";
    const char *text = reinterpret_cast<const char *>(c.value);
    return std::string(text, strnlen(text, c.limit));
}

void Session::SetFocus(std::size_t index) {
    if (index == focus_) return;
    focus_ = index;
    const Control &c = form_.controls[index];
    cursor_ = Text(c).size();
    redraw_ = true;
    Fire(static_cast<int16_t>(c.id), kEventFocus);
}

void Session::MoveFocus(int step) {
    const std::size_t n = form_.controls.size();
    for (std::size_t k = 1; k <= n; ++k) {
        std::size_t i = step > 0 ? (focus_ + k) % n : (focus_ + n - k) % n;
        if (Focusable(form_.controls[i])) return SetFocus(i);
    }
}

void Session::Changed(const Control &c) {
    redraw_ = true;
    Fire(static_cast<int16_t>(c.id), kEventChanged);
}

void Session::Activate(std::size_t index) {
    Control &c = form_.controls[index];
    SetFocus(index);
    if (!open_) return;
    if (c.kind == kCheckBox) {
        uint16_t word = static_cast<uint16_t>(Word(c.value) ^ (1u << c.bit));
        c.value[0] = static_cast<uint8_t>(word);
        c.value[1] = static_cast<uint8_t>(word >> 8);
        Changed(c);
    } else if (c.kind == kButton) {
        int32_t answer = Fire(static_cast<int16_t>(c.id), kEventCommand);
        if (c.id == static_cast<uint16_t>(kConfirmed) && answer == 0 && open_) {
            result_ = kConfirmed;
            open_ = false;
        }
    }
}

bool Session::EditKey(Control &c, int32_t key) {
    char *text = reinterpret_cast<char *>(c.value);
    std::size_t length = Text(c).size();
    cursor_ = std::min(cursor_, length);
    if (key >= 0x20 && key <= 0xFF && key != 0x7F) {
        if (length >= c.limit) return true;  // the field is full; the key is swallowed
        std::memmove(text + cursor_ + 1, text + cursor_, length - cursor_);
        text[cursor_++] = static_cast<char>(key);
        text[length + 1] = '\0';
    } else if (key == kKeyBackspace || key == kKeyDelete) {
        if (key == kKeyBackspace) {
            if (cursor_ == 0) return true;
            --cursor_;
        }
        if (cursor_ >= length) return true;
        std::memmove(text + cursor_, text + cursor_ + 1, length - cursor_ - 1);
        text[length - 1] = '\0';
    } else if (key == kKeyLeft || key == kKeyRight || key == kKeyHome || key == kKeyEnd) {
        cursor_ = key == kKeyHome ? 0 : key == kKeyEnd ? length : key == kKeyLeft ? (cursor_ > 0 ? cursor_ - 1 : 0)
                                                                                   : std::min(cursor_ + 1, length);
        redraw_ = true;
        return true;
    } else {
        return false;
    }
    Changed(c);
    return true;
}

void Session::Key(int32_t key) {
    if (!open_ || focus_ >= form_.controls.size()) return;
    Control &c = form_.controls[focus_];
    if (key == kKeyEscape) {
        result_ = kAbandoned;
        open_ = false;
        return;
    }
    if (key == kKeyTab || key == kKeyDown) return MoveFocus(1);
    if (key == kKeyBackTab || key == kKeyUp) return MoveFocus(-1);
    if (c.kind == kEdit && EditKey(c, key)) return;
    if (c.kind == kList && (key == kKeyLeft || key == kKeyRight || key == kKeyHome || key == kKeyEnd)) {
        const int32_t last = static_cast<int32_t>(c.items.size()) - 1;
        int32_t index = Word(c.value);
        if (index > last) index = -1;  // a value the list does not offer: before the first item
        index = key == kKeyHome ? 0 : key == kKeyEnd ? last : key == kKeyLeft ? std::max(index - 1, 0) : std::min(index + 1, last);
        if (index != Word(c.value)) {
            c.value[0] = static_cast<uint8_t>(index);
            c.value[1] = static_cast<uint8_t>(index >> 8);
            Changed(c);
        }
        return;
    }
    if ((c.kind == kCheckBox && key == ' ') || (c.kind == kButton && (key == kKeyEnter || key == ' ')))
        return Activate(focus_);
    if (key == kKeyEnter) return MoveFocus(1);

    // Hot keys: function keys anywhere, letters where they are not typed into a field.
    int32_t hot = key;
    if (key >= 'a' && key <= 'z') hot = key - 'a' + 'A';
    if (hot <= 0 || hot > 0xFFFF) return;
    for (std::size_t i = 0; i < form_.controls.size(); ++i) {
        const Control &h = form_.controls[i];
        if (h.key == hot && Focusable(h)) return h.kind == kCheckBox || h.kind == kButton ? Activate(i) : SetFocus(i);
    }
    for (std::size_t i = 0; i < form_.controls.size(); ++i) {
        if (form_.controls[i].key != hot) continue;
        for (std::size_t j = i + 1; j < form_.controls.size(); ++j)  // a label leads to the control after it
            if (Focusable(form_.controls[j])) return SetFocus(j);
    }
}

// ---- drawing ----

namespace {

enum Attr : uint8_t { kBold = 1, kHot = 2, kInverse = 4 };
struct Cell {
    char32_t ch = U' ';
    uint8_t attr = 0;
};
using Grid = std::vector<std::vector<Cell>>;

// A host caption into cells: 0x02 and 0x05 emphasise, 0x01 ends it, ~x~ marks the hot letter.
int PutCaption(Grid &g, int row, int column, int width, const std::string &caption, uint8_t base) {
    uint8_t attr = base;
    int n = 0;
    for (unsigned char b : caption) {
        if (b == 0x02 || b == 0x05) attr |= kBold;
        else if (b == 0x01) attr &= ~kBold;
        else if (b == '~') attr ^= kHot;
        else if (n < width && b >= 0x20) g[row][column + n++] = {mazovia::toCodePoint(b), attr};
    }
    return n;
}

void PutUtf32(Grid &g, int row, int column, int width, const std::u32string &text, uint8_t attr) {
    for (int i = 0; i < width; ++i) g[row][column + i] = {i < static_cast<int>(text.size()) ? text[i] : U' ', attr};
}

std::u32string Decode(const std::string &mazoviaText) {
    std::u32string out;
    for (unsigned char b : mazoviaText) out += mazovia::toCodePoint(b);
    return out;
}

std::string Sgr(uint8_t attr) {
    std::string s = "\x1b[0";
    if (attr & kBold) s += ";1";
    if (attr & kHot) s += ";4;1";
    if (attr & kInverse) s += ";7";
    return s + "m";
}

}  // namespace

std::vector<std::string> Session::Draw(bool ansi) const {
    const Control &h = form_.header;
    const int width = h.width, height = h.height;
    Grid g(height, std::vector<Cell>(width));
    for (int x = 0; x < width; ++x) g[0][x].ch = g[height - 1][x].ch = U'═';
    for (int y = 0; y < height; ++y) g[y][0].ch = g[y][width - 1].ch = U'║';
    g[0][0].ch = U'╔', g[0][width - 1].ch = U'╗', g[height - 1][0].ch = U'╚', g[height - 1][width - 1].ch = U'╝';
    std::u32string title(1, U' ');
    title.append(Decode(h.caption)).push_back(U' ');
    if (static_cast<int>(title.size()) <= width - 2) PutUtf32(g, 0, (width - static_cast<int>(title.size())) / 2, static_cast<int>(title.size()), title, kBold);

    for (std::size_t i = 0; i < form_.controls.size(); ++i) {
        const Control &c = form_.controls[i];
        const uint8_t focus = ansi && i == focus_ ? kInverse : 0;
        const int w = c.width, row = c.row, col = c.column;
        switch (c.kind) {
        case kLabel: PutCaption(g, row, col, w, c.caption, 0); break;
        case kList: {
            int32_t index = Value(c);
            std::u32string text = index >= 0 && index < static_cast<int32_t>(c.items.size()) ? Decode(c.items[index]) : U"";
            text.resize(w - 1, U' ');
            PutUtf32(g, row, col, w, text + U"▼", focus);
            break;
        }
        case kEdit: {
            std::u32string text = Decode(Text(c));
            text.resize(c.limit, U'_');
            PutUtf32(g, row, col, std::min<int>(w, c.limit), text, focus);
            break;
        }
        case kCheckBox:
            PutUtf32(g, row, col, 4, Value(c) ? U"[X] " : U"[ ] ", focus);
            PutCaption(g, row, col + 4, w - 4, c.caption, 0);
            break;
        case kButton: {
            PutUtf32(g, row, col, 1, U"[", focus);
            int n = c.shown.empty() ? PutCaption(g, row, col + 1, w - 2, c.caption, focus)
                                    : (PutUtf32(g, row, col + 1, std::min<int>(w - 2, c.shown.size()), Decode(c.shown), focus),
                                       std::min<int>(w - 2, c.shown.size()));
            PutUtf32(g, row, col + 1 + n, 1, U"]", focus);
            break;
        }
        default: break;
        }
    }

    std::vector<std::string> lines;
    for (const auto &cells : g) {
        std::string line;
        uint8_t attr = 0;
        for (const Cell &cell : cells) {
            if (ansi && cell.attr != attr) line += Sgr(attr = cell.attr);
            if (!ansi && cell.ch == U'~') continue;
            mazovia::appendUtf8(line, cell.ch);
        }
        if (ansi && attr != 0) line += Sgr(0);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace standin::form

// ---- the host functions ----

using namespace standin;
using namespace standin::form;

namespace {

void Report(const std::string &why) {
    state().formError = why;
    std::fprintf(stderr, "stand-in form engine: %s\n", why.c_str());
}

// Applies one scripted action through the keys a user would press.
void Apply(Session &session, const std::string &action) {
    char verb[16] = {};
    int id = 0;
    int consumed = 0;
    std::sscanf(action.c_str(), "%15s %i%n", verb, &id, &consumed);
    const std::string what(verb);
    if (what == "key") return session.Key(KeyByName(action.substr(4)));
    Control *c = session.Find(static_cast<uint16_t>(id));
    if (c == nullptr || !session.FocusOn(static_cast<uint16_t>(id)))
        return session.Fail("the form has no control " + std::to_string(id) + " for \"" + action + "\"");
    if (!session.IsOpen()) return;
    std::string argument = static_cast<std::size_t>(consumed) < action.size() ? action.substr(consumed + 1) : "";
    if (what == "press") {
        session.Key(kKeyEnter);
    } else if (what == "check" && c->kind == kCheckBox) {
        if (session.Value(*c) != std::atoi(argument.c_str())) session.Key(' ');
    } else if (what == "select" && c->kind == kList) {
        const int index = std::atoi(argument.c_str());
        if (index < 0 || index >= static_cast<int>(c->items.size()))
            return session.Fail("the list has " + std::to_string(c->items.size()) + " items; there is no item " +
                                std::to_string(index + 1));
        session.Key(kKeyHome);
        for (int i = 0; i < index; ++i) session.Key(kKeyRight);
    } else if (what == "type" && c->kind == kEdit) {
        session.Key(kKeyEnd);
        for (std::size_t n = session.Text(*c).size(); n > 0; --n) session.Key(kKeyBackspace);
        const std::string text = mazovia::fromUtf8(argument);
        for (unsigned char ch : text) session.Key(ch);
        if (session.Text(*c) != text)
            return session.Fail("\"" + argument + "\" does not fit the field (at most " + std::to_string(c->limit) +
                                " characters)");
    } else {
        session.Fail("\"" + action + "\" does not suit that control");
    }
}

std::string Joined(const std::vector<std::string> &lines) {
    std::string out;
    for (const auto &l : lines) out += l + "\n";
    return out;
}

// The selected groups, as a button shows them.
std::string Summary(const int16_t *selected) {
    std::string out;
    for (int g = 0; g < 451; ++g)
        if (selected[g] != 0) {
            if (!out.empty()) out += ',';
            out += std::to_string(g);
        }
    return out.empty() ? "(brak)" : out;
}

}  // namespace

int16_t HOST_CONV_STDCALL VeldarRunForm(const void *formTemplate, int32_t formNumber, void *data, void *entryB,
                                        void *entryA) {
    Called(kOrd_VeldarRunForm, Address(formTemplate), Number(formNumber), Address(data), Address(entryB), Address(entryA));
    State &s = state();
    s.formError.clear();
    std::vector<std::string> script;
    script.swap(s.formScript);

    Form form;
    void *dialog = nullptr, *other = nullptr;
    if (std::string e = Parse(static_cast<const uint8_t *>(formTemplate), form); !e.empty()) {
        Report("refused a malformed form template: " + e);
        return kAbandoned;
    }
    if (form.header.id != static_cast<uint16_t>(formNumber)) {
        Report("form number " + std::to_string(formNumber) + " is not the template's " + std::to_string(form.header.id));
        return kAbandoned;
    }
    if (data == nullptr || !BoundDialog(entryA, dialog) || !BoundDialog(entryB, other) || dialog != other) {
        Report("the form's entries were not handed out by binders of one dialog");
        return kAbandoned;
    }
    Bind(form, static_cast<uint8_t *>(data));

    EnterPlain(entryB);
    Session session(form, dialog, s.formInteractive);
    session.Open();
    if (s.formInteractive) {
        RunInteractive(session);
    } else {
        for (const std::string &action : script)
            if (session.IsOpen()) Apply(session, action);
        if (session.IsOpen()) session.Key(kKeyF12);
    }
    s.formPickSet = false;
    s.formPicture = Joined(session.Draw(false));
    if (s.formShow) std::printf("\n%s", s.formPicture.c_str());
    EnterPlain(entryA);
    if (!session.Error().empty()) Report(session.Error());
    return session.Result();
}

int32_t HOST_CONV_STDCALL VeldarSetFormFlags(int32_t formIndex, uint32_t mask, int32_t on) {
    Called(kOrd_VeldarSetFormFlags, Number(formIndex), Number(mask), Number(on));
    Session *run = Session::Running();
    if (run == nullptr || formIndex != 0) return 0;
    if (on != 0 && (mask & kFormFlagRedraw) != 0) run->RequestRedraw();
    return 1;
}

int32_t HOST_CONV_STDCALL VeldarGetControlValue(int32_t controlId) {
    Called(kOrd_VeldarGetControlValue, Number(controlId));
    Session *run = Session::Running();
    const Control *c = run != nullptr ? run->Find(static_cast<uint16_t>(controlId)) : nullptr;
    return c != nullptr ? run->Value(*c) : -1;
}

int32_t HOST_CONV_STDCALL VeldarPickGoodsGroups(int16_t *groupSelected, int32_t controlId, int32_t interactive) {
    Called(kOrd_VeldarPickGoodsGroups, Address(groupSelected), Number(controlId), Number(interactive));
    State &s = state();
    Session *run = Session::Running();
    if (interactive != 0 && s.formPickSet) {
        s.formPickSet = false;
        for (int16_t g : s.formPick) {
            bool known = std::any_of(s.goodsGroups.begin(), s.goodsGroups.end(),
                                     [g](const GoodsGroup &k) { return k.number == g; });
            if (!known || g < 0 || g > 450) {
                if (run != nullptr) run->Fail("the host has no goods group " + std::to_string(g));
                return 0;
            }
        }
        std::fill(groupSelected, groupSelected + 451, int16_t{0});
        for (int16_t g : s.formPick) groupSelected[g] = 1;
    } else if (interactive != 0 && run != nullptr && run->Terminal()) {
        std::vector<bool> chosen;
        for (const GoodsGroup &g : s.goodsGroups) chosen.push_back(g.number >= 0 && g.number <= 450 && groupSelected[g.number] != 0);
        if (PickInteractive(chosen))
            for (std::size_t i = 0; i < chosen.size(); ++i)
                if (s.goodsGroups[i].number >= 0 && s.goodsGroups[i].number <= 450)
                    groupSelected[s.goodsGroups[i].number] = chosen[i] ? 1 : 0;
    }
    if (run != nullptr) {
        if (Control *button = run->Find(static_cast<uint16_t>(controlId))) button->shown = Summary(groupSelected);
        run->RequestRedraw();
    }
    return 1;
}

STANDIN_API int32_t StandinFormScriptAdd(const char *action) {
    char verb[16] = {};
    std::sscanf(action, "%15s", verb);
    const std::string what(verb);
    State &s = state();
    if (what == "pick") {
        s.formPick.clear();
        std::string list = std::strlen(action) > 5 ? std::string(action + 5) : "";
        if (list != "none") {
            for (const char *p = list.c_str(); *p != '\0';) {
                char *end = nullptr;
                long g = std::strtol(p, &end, 10);
                if (end == p || g < 0 || g > 450 || (*end != ',' && *end != '\0')) return 0;
                s.formPick.push_back(static_cast<int16_t>(g));
                p = *end == ',' ? end + 1 : end;
            }
        }
        s.formPickSet = true;
        return 1;
    }
    if (what == "key" && KeyByName(action + std::min<std::size_t>(4, std::strlen(action))) == kKeyNone) return 0;
    if (what != "key" && what != "press" && what != "check" && what != "select" && what != "type") return 0;
    s.formScript.push_back(action);
    return 1;
}

STANDIN_API void StandinFormInteractive(int32_t on) { state().formInteractive = on != 0; }
STANDIN_API void StandinFormShow(int32_t on) { state().formShow = on != 0; }
STANDIN_API const char *StandinFormError(void) { return state().formError.c_str(); }
STANDIN_API const char *StandinFormPicture(void) { return state().formPicture.c_str(); }
STANDIN_API void StandinAddGoodsGroup(int16_t number, const char *name) {
    state().goodsGroups.push_back({number, name != nullptr ? name : ""});
}
