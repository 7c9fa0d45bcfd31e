#include "month_generator.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace genmonth {
namespace {

// splitmix64: small, fast and the same everywhere, unlike the standard distributions.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    int32_t Below(int32_t n) { return static_cast<int32_t>(Next() % static_cast<uint64_t>(n)); }
    // true with probability percent / 100
    bool Percent(int32_t percent) { return Below(100) < percent; }
    template <class T, std::size_t N>
    const T &Pick(const T (&items)[N]) {
        return items[Below(static_cast<int32_t>(N))];
    }

private:
    uint64_t state_;
};

// Invented names only.
struct Kind {
    const char *name, *code, *unit;
};
const Kind kKinds[] = {
    {"Papierosy", "PAP", "szt."}, {"Tytoń", "TYT", "op."},     {"Cygaretki", "CYG", "op."},
    {"Gilzy", "GIL", "op."},      {"Zapalniczki", "ZAP", "szt."}, {"Napój", "NAP", "but."},
    {"Baton", "BAT", "szt."},     {"Guma do żucia", "GUM", "op."}, {"Gazeta", "GAZ", "egz."},
    {"Herbata", "HER", "kart."},  {"Kawa", "KAW", "op."},     {"Bibułki", "BIB", "op."},
};
const char *const kBrandStarts[] = {"Bor", "Kal", "Wis", "Dar", "Mir", "Sol", "Lan", "Tor", "Ruf", "Gal", "Żur", "Łoś"};
const char *const kBrandEnds[] = {"ek", "an", "ix", "ola", "ent", "ur", "os", "ina", "ąg", "eń"};
const char *const kVariants[] = {"Czerwone", "Niebieskie", "Złote", "Srebrne", "Classic", "Mentolowe", "Lekkie"};
const char *const kFirstNames[] = {"Anna", "Jan", "Łucja", "Piotr", "Żaneta", "Marek", "Halina", "Sławomir"};
const char *const kLastNames[] = {"Kowal", "Wróbel", "Zając", "Żak", "Dąbek", "Mazur", "Lis", "Gąsior"};
const char *const kShops[] = {"Kiosk", "Sklep Spożywczy", "Delikatesy", "PHU", "Stacja Paliw", "Market", "Pawilon"};
const char *const kStreets[] = {"Lipowa", "Krótka", "Polna", "Słoneczna", "Łąkowa", "Źródlana", "Ogrodowa", "Leśna"};
const char *const kStreetPrefixes[] = {"ul.", "al.", "os.", "pl.", "UL.", "Pl."};
const char *const kCities[] = {"Lublin", "Świdnik", "Zamość", "Chełm", "Puławy", "Kraśnik", "Łęczna", "Opole Lubelskie"};

constexpr int16_t kReturnsWarehouse = 120;

std::string Format(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char *format, ...) {
    char text[256];
    va_list values;
    va_start(values, format);
    std::vsnprintf(text, sizeof text, format, values);
    va_end(values);
    return text;
}

int DaysIn(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

std::string Brand(int32_t n) {
    constexpr int32_t starts = sizeof kBrandStarts / sizeof *kBrandStarts;
    constexpr int32_t ends = sizeof kBrandEnds / sizeof *kBrandEnds;
    return std::string(kBrandStarts[n % starts]) + kBrandEnds[(n + n / starts) % ends];
}

const Kind &KindOfGroup(int32_t group) { return kKinds[(group - 1) % (sizeof kKinds / sizeof *kKinds)]; }

// Every address shape the report's address split tells apart: street and postal code
// in either order, with or without a street prefix, only a city, a city and code, a
// trailing blank, an empty address.
std::string Address(Random &random) {
    const std::string street = Format("%s %d", random.Pick(kStreets), 1 + random.Below(120));
    const std::string prefix = random.Pick(kStreetPrefixes);
    const std::string code = Format("%02d-%03d", 20 + random.Below(5), random.Below(1000));
    const std::string city = random.Pick(kCities);
    switch (random.Below(10)) {
        case 0: return prefix + " " + street + " " + code + " " + city;
        case 1: return code + " " + city + " " + prefix + " " + street;
        case 2: return code + " " + city;
        case 3: return city + ", " + prefix + " " + street;
        case 4: return prefix + " " + street;
        case 5: return street + " " + code + " " + city;
        case 6: return city + " " + code;
        case 7: return city;
        case 8: return prefix + " " + street + " " + code + " " + city + " ";
        default: return random.Percent(50) ? "" : "ul. " + street + " " + code + " " + city;
    }
}

std::string Buyer(Random &random, int32_t n) {
    std::string name = std::string(random.Pick(kShops)) + " \"" + Brand(n) + "\" nr " + std::to_string(n);
    if (random.Percent(50)) name += std::string(" ") + random.Pick(kFirstNames) + " " + random.Pick(kLastNames);
    const std::string tax = Format("%03d-%03d-%02d-%02d", 700 + random.Below(250), random.Below(1000),
                                   random.Below(100), random.Below(100));
    return name + " | " + tax + " | " + Address(random);
}

std::string Quantity(Random &random) {
    int32_t units = 1 + random.Below(200);
    std::string text = random.Percent(10) ? Format("%d.%03d", units / 10, random.Below(1000)) : std::to_string(units);
    return random.Percent(1) ? "-" + text : text;  // a correction
}

std::string Date(Random &random, const MonthShape &s, int32_t document) {
    const int last = DaysIn(s.year, s.month);
    if (random.Percent(5)) {
        switch (random.Below(3)) {
            case 0: {  // the last days of the month before
                int month = s.month == 1 ? 12 : s.month - 1, year = s.month == 1 ? s.year - 1 : s.year;
                return Format("%02d.%02d.%04d", DaysIn(year, month) - random.Below(2), month, year);
            }
            case 1: {  // the first day of the month after
                int month = s.month == 12 ? 1 : s.month + 1, year = s.month == 12 ? s.year + 1 : s.year;
                return Format("01.%02d.%04d", month, year);
            }
            default: return "-";
        }
    }
    // Documents follow the calendar, the first and last day included.
    const int day = 1 + static_cast<int>(static_cast<int64_t>(document) * last / s.documents);
    return Format("%02d.%02d.%04d", day, s.month, s.year);
}

// A line that keeps the texts it was sold with: its goods item renamed since, or
// gone from the goods table (a negative number, which no goods record has here).
std::string LineWithOwnTexts(Random &random, const MonthShape &s, const std::vector<int32_t> &goodsIn) {
    const int32_t warehouse = 1 + random.Below(s.warehouses);
    const bool gone = random.Percent(50);
    const int32_t number = gone ? -1 - random.Below(1000) : 1 + random.Below(goodsIn[static_cast<std::size_t>(warehouse)]);
    const int32_t group = gone ? 1 + random.Below(s.groups) : 1 + (number - 1) % s.groups;
    const Kind &kind = KindOfGroup(group);
    const std::string quantity = Quantity(random);
    return Format("line | %d | %d | %s | %d | %s-%05d-%s | %s | %s %s %s\n", warehouse, number, quantity.c_str(), group,
                  kind.code, gone ? -number : number, gone ? "W" : "S", kind.unit, kind.name,
                  Brand(gone ? -number : number).c_str(), gone ? "(wycofane)" : "(dawna nazwa)");
}

}  // namespace

std::string CheckShape(const MonthShape &s) {
    if (s.documents < 1 || s.documents > 10000000) return "documents must be 1..10000000";
    if (s.linesPerDocument < 1 || s.linesPerDocument > 1000) return "lines per document must be 1..1000";
    if (s.outlets < 1 || s.outlets > 32767) return "outlets must be 1..32767";
    if (s.warehouses < 1 || s.warehouses > 99) return "warehouses must be 1..99";
    if (s.goods < s.warehouses || (s.goods + s.warehouses - 1) / s.warehouses > 32767) return "goods must be warehouses..32767 per warehouse";
    if (s.groups < 1 || s.groups > 450) return "groups must be 1..450";
    if (s.selectedGroups < 0 || s.selectedGroups > s.groups) return "selected groups must be 0..groups";
    if (s.year < 1801 || s.year > 2998) return "year must be 1801..2998";
    if (s.month < 1 || s.month > 12) return "month must be 1..12";
    if (s.ownLineTexts < 0 || s.ownLineTexts > 100) return "lines with texts of their own must be 0..100 percent";
    if (s.repeatedGoods < 0 || s.repeatedGoods > 100) return "repeated goods must be 0..100 percent";
    return "";
}

std::string SelectedGroupList(const MonthShape &s) {
    std::string list;
    for (int32_t g = 1; g <= s.selectedGroups; ++g) {
        if (g > 1) list += ',';
        list += std::to_string(g);
    }
    return list.empty() ? "none" : list;
}

std::string GenerateMonth(const MonthShape &s) {
    Random random(s.seed);
    std::string out;
    out.reserve(static_cast<std::size_t>(s.documents) * (40 + 24 * static_cast<std::size_t>(s.linesPerDocument)) +
                static_cast<std::size_t>(s.goods) * 80 + static_cast<std::size_t>(s.outlets) * 120);
    out += Format("# A generated month: seed %llu, %d documents, %d lines per document, %d outlets,\n",
                  static_cast<unsigned long long>(s.seed), s.documents, s.linesPerDocument, s.outlets);
    out += Format("# %d goods over %d warehouses, %d groups (a report chooses %s).\n", s.goods, s.warehouses,
                  s.groups, SelectedGroupList(s).c_str());
    if (s.ownLineTexts > 0 || s.repeatedGoods > 0)
        out += Format("# %d%% of lines with goods texts of their own, %d%% of goods numbers repeated.\n",
                      s.ownLineTexts, s.repeatedGoods);
    out += Format("year | %d\n", s.year);

    for (int32_t g = 1; g <= s.groups; ++g) {
        out += Format("group | %d | %s", g, KindOfGroup(g).name);
        out += g > 12 ? Format(" %d\n", g) : "\n";
    }

    // The same goods number is the same product in every warehouse, as in a real
    // wholesaler's warehouses; only the stock differs.
    // A repeated number is another batch of the product: its own code and stock.
    auto goodsLine = [&](int32_t warehouse, int32_t number, const char *batch = "") {
        const int32_t group = 1 + (number - 1) % s.groups;
        const Kind &kind = KindOfGroup(group);
        std::string stock = Quantity(random);
        out += Format("goods | %d | %d | %d | %s-%05d%s | %s | %s | %s %s %s%s\n", warehouse, number, group, kind.code,
                      number, *batch != '\0' ? "B" : "", kind.unit, stock.c_str(), kind.name, Brand(number).c_str(),
                      kVariants[number % (sizeof kVariants / sizeof *kVariants)], batch);
    };
    std::vector<int32_t> goodsIn(static_cast<std::size_t>(s.warehouses) + 1, 0);  // by warehouse
    for (int32_t w = 1; w <= s.warehouses; ++w) {
        int32_t &count = goodsIn[static_cast<std::size_t>(w)];
        count = s.goods / s.warehouses + (w <= s.goods % s.warehouses ? 1 : 0);
        for (int32_t n = 1; n <= count; ++n) {
            goodsLine(w, n);
            if (s.repeatedGoods > 0 && random.Percent(s.repeatedGoods)) goodsLine(w, n, " (partia B)");
        }
    }
    out += "# a returns warehouse, which the report never lists\n";
    const int32_t returnsGoods = goodsIn[1] < 20 ? goodsIn[1] : 20;
    for (int32_t n = 1; n <= returnsGoods; ++n) goodsLine(kReturnsWarehouse, n);

    for (int32_t c = 1; c <= s.outlets; ++c) out += Format("customer | %d | ", c) + Buyer(random, c) + "\n";

    const int32_t firstId = (s.year % 100) * 1000000 + 1;
    int32_t previousLines = 0;
    for (int32_t d = 0; d < s.documents; ++d) {
        const bool receipt = random.Percent(20);
        int32_t customer = receipt && random.Percent(60) ? 0 : 1 + random.Below(s.outlets);
        std::string buyer;
        if (random.Percent(2)) {  // a one-off buyer, named on the document itself
            buyer = " | " + Buyer(random, s.outlets + d + 1);
            if (random.Percent(50)) customer = 0;
        }
        out += Format("%s | %d | %s | %d", receipt ? "receipt" : "invoice", firstId + d, Date(random, s, d).c_str(),
                      customer) +
               buyer + "\n";

        // Pairs of documents hold exactly twice the average between them.
        const int32_t lines = d % 2 == 0 ? (d + 1 == s.documents ? s.linesPerDocument
                                                                  : 1 + random.Below(2 * s.linesPerDocument - 1))
                                         : 2 * s.linesPerDocument - previousLines;
        previousLines = lines;
        for (int32_t l = 0; l < lines; ++l) {
            if (s.ownLineTexts > 0 && random.Percent(s.ownLineTexts)) {
                out += LineWithOwnTexts(random, s, goodsIn);
                continue;
            }
            const bool returns = random.Percent(2);
            const int32_t warehouse = returns ? kReturnsWarehouse : 1 + random.Below(s.warehouses);
            const int32_t count = returns ? returnsGoods : goodsIn[static_cast<std::size_t>(warehouse)];
            out += Format("line | %d | %d | %s", warehouse, 1 + random.Below(count), Quantity(random).c_str());
            out += random.Percent(1) ? Format(" | %d\n", 1 + random.Below(s.groups)) : "\n";
        }
    }
    return out;
}

}  // namespace genmonth
