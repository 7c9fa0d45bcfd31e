// The Mazovia code page: every Polish letter's byte, compile-time and run-time.
#include <gtest/gtest.h>

#include "mazovia.h"

namespace {

struct Letter {
    const char *utf8;
    unsigned char byte;
};
// The host's table, written out independently of mazovia.h.
const Letter kPolish[] = {
    {"ą", 0x86}, {"Ą", 0x8F}, {"ć", 0x8D}, {"Ć", 0x95}, {"ę", 0x91}, {"Ę", 0x90},
    {"ł", 0x92}, {"Ł", 0x9C}, {"ń", 0xA4}, {"Ń", 0xA5}, {"ó", 0xA2}, {"Ó", 0xA3},
    {"ś", 0x9E}, {"Ś", 0x98}, {"ź", 0xA6}, {"Ź", 0xA0}, {"ż", 0xA7}, {"Ż", 0xA1},
};

}  // namespace

TEST(Mazovia, CompileTimeTextsCarryTheHostsBytes) {
    const std::string encoded = "ąĄćĆęĘłŁńŃóÓśŚźŹżŻ"_mz;
    ASSERT_EQ(encoded.size(), 18u);
    for (std::size_t i = 0; i < 18; ++i) EXPECT_EQ(static_cast<unsigned char>(encoded[i]), kPolish[i].byte) << i;
    EXPECT_STREQ("Błąd"_mz, "B\x92\x86" "d");
    EXPECT_STREQ("\x02" "F4\x01 Skrót"_mz, "\x02" "F4\x01 Skr\xA2t");
}

TEST(Mazovia, RoundTripsThroughUtf8) {
    for (const Letter &letter : kPolish) {
        std::string encoded = mazovia::fromUtf8(letter.utf8);
        ASSERT_EQ(encoded.size(), 1u) << letter.utf8;
        EXPECT_EQ(static_cast<unsigned char>(encoded[0]), letter.byte) << letter.utf8;
        EXPECT_EQ(mazovia::toUtf8(encoded), letter.utf8);
    }
    for (int b = 0x80; b < 0x100; ++b) {
        std::string one(1, static_cast<char>(b));
        EXPECT_EQ(mazovia::fromUtf8(mazovia::toUtf8(one)), one) << b;
    }
}

TEST(Mazovia, KeepsAsciiAndMarksWhatItCannotEncode) {
    EXPECT_EQ(mazovia::fromUtf8("ODD\tKOD\n"), "ODD\tKOD\n");
    EXPECT_EQ(mazovia::fromUtf8("€"), "?");
    EXPECT_EQ(mazovia::toUtf8("\x9C\xA2" "d\xA7"), "Łódż");
}
