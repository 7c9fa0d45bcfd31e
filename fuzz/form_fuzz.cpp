// The stand-in's form engine: a template in the host's layout (its own length words
// say how long it is), then keys, one byte each. A template it accepts runs: after
// every key the focus is on a control that takes it, edit texts end inside their
// fields, the cursor stays in its text and the form draws in its own size.
//
// Key bytes: 0x01 Home, 0x02 BackTab, 0x03 Up, 0x04 Left, 0x05 End, 0x06 Right,
// 0x08 Backspace, 0x09 Tab, 0x0D Enter, 0x0E Down, 0x10-0x14 F1-F5, 0x15 F12,
// 0x1B Esc, 0x7F Delete; any other byte is the character typed.
#include <cstring>
#include <memory>

#include "form_engine.h"
#include "fuzz_support.h"
#include "mazovia.h"
#include "veldar.h"

using namespace standin::form;

namespace {

int32_t KeyOf(uint8_t b) {
    switch (b) {
    case 0x01: return kKeyHome;
    case 0x02: return kKeyBackTab;
    case 0x03: return kKeyUp;
    case 0x04: return kKeyLeft;
    case 0x05: return kKeyEnd;
    case 0x06: return kKeyRight;
    case 0x08: return kKeyBackspace;
    case 0x09: return kKeyTab;
    case 0x0D: return kKeyEnter;
    case 0x0E: return kKeyDown;
    case 0x10: return kKeyF1;
    case 0x11: return kKeyF2;
    case 0x12: return kKeyF3;
    case 0x13: return kKeyF4;
    case 0x14: return kKeyF5;
    case 0x15: return kKeyF12;
    case 0x1B: return kKeyEscape;
    case 0x7F: return kKeyDelete;
    default: return b;
    }
}

// The dialog the form reports to: its second virtual operation takes the events. It
// asks for a redraw now and then, as the report's handler does.
struct Dialog {
    void *const *vtable;
    uint32_t events = 0;
};

int32_t HOST_CONV_THISCALL OnEvent(void *self, int16_t, int16_t) {
    Dialog *d = static_cast<Dialog *>(self);
    return ++d->events % 3 == 0 ? -2 : 0;
}

void *const kDialogTable[2] = {nullptr, reinterpret_cast<void *>(&OnEvent)};

// The bytes Bind gives the data controls, so that the block is exactly that long.
std::size_t DataBytes(const Form &form) {
    std::size_t bytes = 0, run = 0;
    for (const Control &c : form.controls) {
        if ((c.flags & kEditsData) == 0) continue;
        if (c.kind == kCheckBox && run > 0 && run < 16) {
            ++run;
            continue;
        }
        run = c.kind == kCheckBox ? 1 : 0;
        bytes += c.kind == kEdit ? c.limit + 1u : 2u;
    }
    return bytes;
}

std::size_t CodePoints(const std::string &utf8) {
    std::size_t n = 0;
    for (unsigned char b : utf8) n += (b & 0xC0) != 0x80;
    return n;
}

// The drawing with terminal attributes is checked once, at the end (it is the plain
// one with escapes between the cells).
void CheckSession(const Session &session, const Form &form, bool ansiToo) {
    if (const Control *c = session.Focused()) {
        FUZZ_CHECK(c->kind != kLabel, "the focus is on a label");
        if (c->kind == kEdit) {
            FUZZ_CHECK(c->value != nullptr && std::memchr(c->value, '\0', c->limit + 1u) != nullptr,
                       "an edit text runs past its field");
            FUZZ_CHECK(session.Cursor() <= session.Text(*c).size(), "the cursor is past the text");
        }
    }
    for (bool ansi : {false, true}) {
        if (ansi && !ansiToo) break;
        const std::vector<std::string> lines = session.Draw(ansi);
        FUZZ_CHECK(lines.size() == form.header.height, "the form draws in another height");
        if (!ansi)
            for (const std::string &line : lines) {
                FUZZ_CHECK(CodePoints(line) <= form.header.width, "a drawn line is wider than the form");
                FUZZ_CHECK(FuzzIsUtf8(line), "a drawn line is not UTF-8");
            }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    if (size < 8) return 0;
    const std::size_t records = static_cast<std::size_t>(data[4] | data[5] << 8);
    if (size < 8 + records) return 0;  // the harness gives whole templates only
    // The template in a block of its own length, so any read past it shows.
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[8 + records]);
    std::memcpy(bytes.get(), data, 8 + records);

    Form form;
    const std::string error = Parse(bytes.get(), form);
    if (!error.empty()) return 0;

    const std::size_t blockSize = DataBytes(form);
    std::unique_ptr<uint8_t[]> block(new uint8_t[blockSize + 1]());  // +1: never a zero-length block
    Bind(form, block.get());
    for (const Control &c : form.controls)
        FUZZ_CHECK(c.kind == kLabel || c.kind == kButton || c.value != nullptr,
                   "an accepted data control is not bound");

    Dialog dialog{kDialogTable};
    Session session(form, &dialog, false);
    session.Open();
    CheckSession(session, form, false);
    for (std::size_t i = 8 + records; i < size && session.IsOpen(); ++i) {
        session.Key(KeyOf(data[i]));
        CheckSession(session, form, false);
    }
    CheckSession(session, form, true);
    return 0;
}
