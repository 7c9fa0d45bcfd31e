// The stand-in host's form engine and message rendering on the inputs the fuzzers
// found (the same files are corpus inputs of fuzz/form and fuzz/render), and on the
// limits those mends set.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "form_bytes.h"
#include "form_engine.h"
#include "veldar.h"

using namespace standin::form;

namespace {

std::string Reproducer(const std::string &name) {
    std::ifstream in(std::string(FUZZ_CORPUS_DIR "/") + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ParseError(const std::string &bytes) {
    Form form;
    return Parse(reinterpret_cast<const uint8_t *>(bytes.data()), form);
}

// A form of 20 x 5 cells with one control, in the host's layout.
struct Rec {
    uint16_t kind, id, flags, column, width;
    std::string caption;
    uint16_t limit = 0;
};

std::string Template(const Rec &c) {
    return testing_support::FormTemplateBytes({{0xFFFF, 1, 0, 0, 0, 0, 20, 5, "T"},
                                               {c.kind, c.id, c.flags, 0, c.column, 1, c.width, 1, c.caption, c.limit}});
}

int32_t HOST_CONV_THISCALL IgnoreEvent(void *, int16_t, int16_t) { return 0; }

TEST(StandinForm, RefusesTheTemplatesTheFuzzerFound) {
    struct Case {
        const char *file, *error;
    } cases[] = {
        {"form/check_narrow_draw", "the check box 0x0010 is 1 cell(s) wide, too narrow for its mark \"[ ] \" (at least 4)"},
        {"form/check_unbound_space", "the check box 0x0010 has no value: it lacks the edits-data flag 0x0400"},
        {"form/edit_unbound_type", "the edit field 0x0010 has no value: it lacks the edits-data flag 0x0400"},
        {"form/list_unbound_key", "the list 0x0010 has no value: it lacks the edits-data flag 0x0400"},
        {"form/fuzzer_found_list_unbound", "the list 0x4102 has no value: it lacks the edits-data flag 0x0400"},
    };
    for (const Case &c : cases) EXPECT_EQ(ParseError(Reproducer(c.file)), c.error) << c.file;
}

TEST(StandinForm, ControlsMustHoldWhatTheyDraw) {
    // In the last usable column (18 + width 1 = 19 = form width - 1): a check box needs
    // four cells for its mark, a button two for its brackets.
    EXPECT_NE(ParseError(Template({kCheckBox, 2, kEditsData, 15, 3, "x"})), "");
    EXPECT_NE(ParseError(Template({kButton, 2, 0, 18, 1, "x"})), "");
    EXPECT_EQ(ParseError(Template({kButton, 2, 0, 17, 2, "x"})), "");
    EXPECT_EQ(ParseError(Template({kList, 2, kEditsData, 18, 1, " a\n"})), "");
    EXPECT_EQ(ParseError(Template({kEdit, 2, kEditsData, 18, 1, "", 5})), "");
    EXPECT_EQ(ParseError(Template({kLabel, 2, 0, 18, 1, "x"})), "") << "a label has no value to bind";
    EXPECT_EQ(ParseError(Template({kButton, 2, 0, 10, 8, "OK"})), "") << "a button has no value to bind";

    // The narrowest check box, in the last usable columns, draws inside its row.
    const std::string bytes = Template({kCheckBox, 2, kEditsData, 15, 4, "x"});
    Form form;
    ASSERT_EQ(Parse(reinterpret_cast<const uint8_t *>(bytes.data()), form), "");
    uint8_t data[2] = {1, 0};
    Bind(form, data);
    void *const table[2] = {nullptr, reinterpret_cast<void *>(&IgnoreEvent)};
    void *const *dialog = table;
    Session session(form, &dialog, false);
    session.Open();
    session.Key(' ');
    EXPECT_EQ(data[0], 0) << "Space unchecks it";
    const std::vector<std::string> lines = session.Draw(false);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1], "║              [ ] ║");
}

std::string Rendered(const std::string &text, uint32_t size = 4096) {
    std::vector<char> out(size + 1, '#');
    out[size] = '\0';  // past the buffer given
    const uint32_t n = StandinRenderText(text.c_str(), out.data(), size);
    if (size > 0) {
        EXPECT_EQ(std::strlen(out.data()), n);
    }
    return std::string(out.data(), n);
}

TEST(StandinRender, TabStopsStayOnTheLine) {
    // The fuzzer's inputs: the first byte was the buffer size.
    EXPECT_EQ(Rendered(Reproducer("render/stop_overflow").substr(1)), "") << "a column past every line is ignored";
    EXPECT_EQ(Rendered(Reproducer("render/stop_huge").substr(1)), std::string(8, ' '))
        << "the tab goes to the next eighth column instead";
    // Its stops: 18111111111111111111 (ignored) and 33; the second directive is not at
    // the start of a line, so it is text.
    EXPECT_EQ(Rendered(Reproducer("render/fuzzer_found_overflow").substr(1)),
              "TABELA" + std::string(27, ' ') + "tp25p40Tspr    980     981\n");

    // Stops up to column 255 hold; beyond it the default applies.
    EXPECT_EQ(Rendered("\x01t255\x01" "a\tb"), "a" + std::string(254, ' ') + "b");
    EXPECT_EQ(Rendered("\x01t256\x01" "a\tb"), "a       b");
    EXPECT_EQ(Rendered("\x01t00000000000000000000012\x01" "a\tb"), "a" + std::string(11, ' ') + "b");
}

TEST(StandinRender, AShortBufferEndsBetweenCharacters) {
    // 0x86 is "ą": two UTF-8 bytes each.
    EXPECT_EQ(Rendered("\x86\x86\x86", 4), "ą");
    EXPECT_EQ(Rendered("\x86\x86\x86", 5), "ąą");
    EXPECT_EQ(Rendered("a\x86", 2), "a");
    EXPECT_EQ(Rendered("\x86", 2), "");
    EXPECT_EQ(Rendered("\x86", 0), "");
}

}  // namespace
