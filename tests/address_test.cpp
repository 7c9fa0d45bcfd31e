// The address split: street and number, postal code and city out of one text.
#include <cstring>

#include "mazovia.h"
#include "report_fixture.h"

using namespace testing_support;

namespace {

struct Split {
    std::string street, postalCode, city;  // UTF-8
    bool operator==(const Split &) const = default;
};

void PrintTo(const Split &s, std::ostream *os) {
    *os << "{street \"" << s.street << "\", code \"" << s.postalCode << "\", city \"" << s.city << "\"}";
}

class AddressSplit : public ReportTest {
protected:
    Split Of(const std::string &utf8Address) {
        pim::CRaportSprzPapierosow report;
        char street[51], postalCode[51], city[51];
        std::memset(street, 'x', sizeof street);  // the split must empty what it does not fill
        std::memset(postalCode, 'x', sizeof postalCode);
        std::memset(city, 'x', sizeof city);
        report.SplitAddress(mazovia::fromUtf8(utf8Address).c_str(), street, postalCode, city);
        return {mazovia::toUtf8(street), mazovia::toUtf8(postalCode), mazovia::toUtf8(city)};
    }
};

TEST_F(AddressSplit, OutcomeByWhatTheScanFinds) {
    // Code, separator, text, prefix.
    EXPECT_EQ(Of("90-001 Łódź ul. Piotrkowska 12"), (Split{"ul. Piotrkowska 12", "90-001", "Łódź"}));
    // Prefix, then code followed by text.
    EXPECT_EQ(Of("ul. Piotrkowska 12 90-001 Łódź"), (Split{"ul. Piotrkowska 12", "90-001", "Łódź"}));
    // Code followed by text, no prefix: what stands before the code is dropped.
    EXPECT_EQ(Of("Piotrkowska 12 90-001 Łódź"), (Split{"", "90-001", "Łódź"}));
    // Neither: everything is the city.
    EXPECT_EQ(Of("Zawada Książęca 7"), (Split{"", "", "Zawada Książęca 7"}));
    // A prefix without a code gives nothing at all.
    EXPECT_EQ(Of("al. Jerozolimskie 44"), (Split{"", "", ""}));
    // A code that ends the text, with or without a prefix.
    EXPECT_EQ(Of("Gniezno 62-200"), (Split{"", "", ""}));
    EXPECT_EQ(Of("pl. Wolności 3 Gniezno 62-200"), (Split{"", "", ""}));
    // A prefix at the code's separator or right after it.
    EXPECT_EQ(Of("62-200 pl. Wolności 3"), (Split{"", "", ""}));
    EXPECT_EQ(Of("62-200ul. Wolności 3"), (Split{"", "", ""}));
}

TEST_F(AddressSplit, KnownAddresses) {
    const struct {
        const char *address;
        Split expected;
    } cases[] = {
        {"00-950 Warszawa ul. Marszałkowska 1", {"ul. Marszałkowska 1", "00-950", "Warszawa"}},
        {"ul. Marszałkowska 1 00-950 Warszawa", {"ul. Marszałkowska 1", "00-950", "Warszawa"}},
        {"UL. Długa 5 00-950 Warszawa", {"UL. Długa 5", "00-950", "Warszawa"}},
        {"os. Zielone 3 31-100 Kraków", {"os. Zielone 3", "31-100", "Kraków"}},
        {"00-950 Warszawa", {"", "00-950", "Warszawa"}},
        {"Długa 5 00-950 Warszawa", {"", "00-950", "Warszawa"}},
        {"Warszawa Długa 5", {"", "", "Warszawa Długa 5"}},
        {"ul. Długa 5", {"", "", ""}},
        {"ul. Długa 5 Warszawa 00-950", {"", "", ""}},
        {"123-456 Warszawa", {"", "23-456", "Warszawa"}},
        {"ul. Polna 5 os. Zielone 3 31-100 Kraków", {"os. Zielone 3", "31-100", "Kraków"}},
        {"00-950 ul. Długa 5", {"", "", ""}},
    };
    for (const auto &c : cases) EXPECT_EQ(Of(c.address), c.expected) << c.address;
}

TEST_F(AddressSplit, BoundariesOfCodeAndText) {
    // One blank after the code and then the end: the city is empty, not dropped.
    EXPECT_EQ(Of("ul. Długa 5 00-950 "), (Split{"ul. Długa 5", "00-950", ""}));
    // A fourth digit after the code makes it no code.
    EXPECT_EQ(Of("00-9501 Warszawa"), (Split{"", "", "00-9501 Warszawa"}));
    EXPECT_EQ(Of(""), (Split{"", "", ""}));
    // The last code and the last prefix count.
    EXPECT_EQ(Of("ul. Kolejowa 1 00-001 ul. Długa 5 31-100 Kraków"), (Split{"ul. Długa 5", "31-100", "Kraków"}));
    EXPECT_EQ(Of("11-111 Stare 22-222 Nowe"), (Split{"", "22-222", "Nowe"}));
    // Blanks around the parts go; blanks inside stay.
    EXPECT_EQ(Of("  ul.  Długa 5   00-950   Nowy  Targ  "), (Split{"ul.  Długa 5", "00-950", "Nowy  Targ"}));
}

TEST_F(AddressSplit, StreetPrefixes) {
    EXPECT_EQ(Of("Os. Tysiąclecia 4 40-871 Katowice"), (Split{"Os. Tysiąclecia 4", "40-871", "Katowice"}));
    EXPECT_EQ(Of("AL. Grunwaldzka 82 80-244 Gdańsk"), (Split{"AL. Grunwaldzka 82", "80-244", "Gdańsk"}));
    EXPECT_EQ(Of("Pl. Grunwaldzki 8 50-384 Wrocław"), (Split{"Pl. Grunwaldzki 8", "50-384", "Wrocław"}));
    // A prefix may stand inside a word: "Opl." holds "pl.".
    EXPECT_EQ(Of("Opl. 3 58-100 Świdnica"), (Split{"pl. 3", "58-100", "Świdnica"}));
    // Without the dot, or with a Polish letter, it is no prefix.
    EXPECT_EQ(Of("ul Długa 5 00-950 Warszawa"), (Split{"", "00-950", "Warszawa"}));
    EXPECT_EQ(Of("ół. Długa 5 00-950 Warszawa"), (Split{"", "00-950", "Warszawa"}));
}

TEST_F(AddressSplit, OnlyAsciiDigitsMakeACode) {
    // ² and ½ are Mazovia bytes that some code pages call digits.
    EXPECT_EQ(Of("0²-950 Warszawa"), (Split{"", "", "0²-950 Warszawa"}));
    EXPECT_EQ(Of("00-95½ Warszawa"), (Split{"", "", "00-95½ Warszawa"}));
}

TEST_F(AddressSplit, NoPartOverflowsItsField) {
    // Longer than any buyer address field: every part still fits 50 characters.
    std::string longCity(120, 'W');
    Split s = Of("ul. " + std::string(80, 'D') + " 5 00-950 " + longCity);
    EXPECT_EQ(s.postalCode, "00-950");
    EXPECT_EQ(s.street.size(), 50u);
    EXPECT_EQ(s.city, std::string(50, 'W'));
    EXPECT_EQ(Of(std::string(300, 'K')).city, std::string(50, 'K'));
}

}  // namespace
