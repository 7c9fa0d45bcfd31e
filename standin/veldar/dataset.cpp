// The data-set loader: a month of sales written as readable UTF-8 lines (format in
// docs/dataset.md) turned into the host's records, texts in Mazovia. A data set is
// checked whole before it replaces anything, so a bad file changes nothing.
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "exports.h"
#include "mazovia.h"
#include "sales.h"

namespace standin {
namespace {

struct Customer {
    std::string name, taxNumber, address;  // Mazovia
};

struct LoadError {
    std::string message;
};

class Loader {
public:
    explicit Loader(std::string name) : name_(std::move(name)) {}

    void Line(std::size_t number, const std::string &text);
    void Finish(SalesTables &tables, std::vector<GoodsGroup> &groups, int16_t &year) {
        tables = std::move(tables_);
        groups = std::move(groups_);
        year = year_;
    }

private:
    [[noreturn]] void Fail(const std::string &message) const {
        throw LoadError{name_ + ":" + std::to_string(line_) + ": " + message};
    }
    void Expect(const std::vector<std::string> &f, std::size_t least, std::size_t most, const char *shape) const {
        if (f.size() < least || f.size() > most) Fail(std::string("expected ") + shape);
    }
    long Number(const std::string &field, const char *what, long least, long most) const;
    int32_t Quantity(const std::string &field, const char *what) const;
    std::string Text(const std::string &field, const char *what, std::size_t mostChars) const;
    template <std::size_t N>
    void Put(char (&dst)[N], const std::string &field, const char *what) const {
        std::string mz = Text(field, what, N - 1);
        std::memcpy(dst, mz.c_str(), mz.size() + 1);
    }
    std::string Date(const std::string &field) const;

    void Group(const std::vector<std::string> &f);
    void Goods(const std::vector<std::string> &f);
    void NewCustomer(const std::vector<std::string> &f);
    void Document(const std::vector<std::string> &f, int16_t kind);
    void DocumentLine(const std::vector<std::string> &f);

    std::string name_;
    std::size_t line_ = 0;
    SalesTables tables_;
    std::vector<GoodsGroup> groups_;
    std::map<int16_t, Customer> customers_;
    std::map<std::pair<int16_t, int16_t>, std::size_t> goodsAt_;  // (warehouse, goods) to position
    int16_t year_ = 0;
};

std::string Trim(const std::string &s) {
    std::size_t begin = s.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    return s.substr(begin, s.find_last_not_of(" \t") - begin + 1);
}

std::vector<std::string> Fields(const std::string &line) {
    std::vector<std::string> fields;
    std::size_t at = 0;
    for (;;) {
        std::size_t bar = line.find('|', at);
        fields.push_back(Trim(line.substr(at, bar == std::string::npos ? std::string::npos : bar - at)));
        if (bar == std::string::npos) return fields;
        at = bar + 1;
    }
}

long Loader::Number(const std::string &field, const char *what, long least, long most) const {
    char *end = nullptr;
    long value = std::strtol(field.c_str(), &end, 10);
    if (field.empty() || *end != '\0') Fail(std::string(what) + " \"" + field + "\" is not a whole number");
    if (value < least || value > most)
        Fail(std::string(what) + " " + field + " is outside " + std::to_string(least) + ".." + std::to_string(most));
    return value;
}

// A quantity in units with at most three decimals ("12", "-0.5", "1.250"), in thousandths.
int32_t Loader::Quantity(const std::string &field, const char *what) const {
    const std::string bad = std::string(what) + " \"" + field + "\" is not a quantity (units, at most 3 decimals)";
    std::size_t at = field.empty() || (field[0] != '-' && field[0] != '+') ? 0 : 1;
    const bool negative = at == 1 && field[0] == '-';
    long long thousandths = 0;
    int digits = 0, decimals = -1;
    for (; at < field.size(); ++at) {
        char c = field[at];
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9' || decimals == 3) Fail(bad);
        if (++digits > 15) Fail(std::string(what) + " " + field + " is too large");
        thousandths = thousandths * 10 + (c - '0');
        if (decimals >= 0) ++decimals;
    }
    if (digits == 0) Fail(bad);
    for (int d = decimals < 0 ? 0 : decimals; d < 3; ++d) thousandths *= 10;
    if (negative) thousandths = -thousandths;
    if (thousandths < INT32_MIN || thousandths > INT32_MAX)
        Fail(std::string(what) + " " + field + " does not fit the host's 32-bit thousandths");
    return static_cast<int32_t>(thousandths);
}

// A field's text in Mazovia, at most mostChars characters.
std::string Loader::Text(const std::string &field, const char *what, std::size_t mostChars) const {
    std::string out;
    for (std::size_t i = 0; i < field.size();) {
        char32_t c = mazovia::decodeUtf8(field, i);
        int b = mazovia::fromCodePoint(c);
        if (b < 0 || c == U'\uFFFD') Fail(std::string(what) + " holds a character that is not UTF-8 or not in Mazovia");
        if (b < 0x20) Fail(std::string(what) + " holds a control character");
        out += static_cast<char>(b);
    }
    if (out.size() > mostChars)
        Fail(std::string(what) + " has " + std::to_string(out.size()) + " characters, at most " +
             std::to_string(mostChars) + " fit");
    return out;
}

// A date written dd.mm.yyyy, or "-" for a document without one; in the stored form.
std::string Loader::Date(const std::string &field) const {
    if (field == "-") return std::string();
    int day = 0, month = 0, year = 0;
    char rest = 0;
    std::string stored;
    if (field.size() == 10 && std::sscanf(field.c_str(), "%2d.%2d.%4d%c", &day, &month, &year, &rest) == 3)
        stored = StoredDate(year, month, day);
    if (stored.empty()) Fail("date \"" + field + "\" is not a day written dd.mm.yyyy (or - for none)");
    return stored;
}

void Loader::Group(const std::vector<std::string> &f) {
    Expect(f, 3, 3, "group | number | name");
    auto number = static_cast<int16_t>(Number(f[1], "group number", 0, 450));
    for (const GoodsGroup &g : groups_)
        if (g.number == number) Fail("group " + f[1] + " is defined twice");
    groups_.push_back({number, Text(f[2], "group name", 40)});
}

void Loader::Goods(const std::vector<std::string> &f) {
    Expect(f, 8, 8, "goods | warehouse | number | group | code | unit | stock | name");
    GoodsRecord r{};
    auto warehouse = static_cast<int16_t>(Number(f[1], "warehouse", 0, INT16_MAX));
    r.goodsNo = static_cast<int16_t>(Number(f[2], "goods number", INT16_MIN, INT16_MAX));
    r.goodsGroup = static_cast<int16_t>(Number(f[3], "goods group", INT16_MIN, INT16_MAX));
    Put(r.goodsCode, f[4], "goods code");
    std::string unit = Text(f[5], "unit", 5);
    r.stockQuantity = Quantity(f[6], "stock");
    Put(r.goodsName, f[7], "goods name");
    // The unit lives in the host's private part of the goods record; lines copy it.
    static_assert(sizeof(r.hostPrivate1) > 6);
    std::memcpy(r.hostPrivate1, unit.c_str(), unit.size() + 1);
    GoodsTable &table = GoodsTableOf(tables_, warehouse);
    if (!goodsAt_.emplace(std::make_pair(warehouse, r.goodsNo), table.goods.size()).second)
        Fail("goods " + f[2] + " of warehouse " + f[1] + " is defined twice");
    table.goods.push_back(r);
}

void Loader::NewCustomer(const std::vector<std::string> &f) {
    Expect(f, 5, 5, "customer | number | name | tax number | address");
    auto number = static_cast<int16_t>(Number(f[1], "customer number", 1, INT16_MAX));
    Customer c{Text(f[2], "buyer name", 100), Text(f[3], "tax number", 13), Text(f[4], "address", 50)};
    if (!customers_.emplace(number, c).second) Fail("customer " + f[1] + " is defined twice");
}

void Loader::Document(const std::vector<std::string> &f, int16_t kind) {
    Expect(f, 4, 7, "invoice|receipt | id | date | customer [| name | tax number | address]");
    if (f.size() != 4 && f.size() != 7) Fail("a document names its buyer with all three of name, tax number, address");
    SalesDocument d{kind, {}, {}};
    d.header.documentId = static_cast<int32_t>(Number(f[1], "document id", 1, INT32_MAX));
    std::string date = Date(f[2]);
    std::memcpy(d.header.documentDate, date.c_str(), date.size() + 1);
    d.header.customerNo = static_cast<int16_t>(Number(f[3], "customer number", 0, INT16_MAX));
    Customer buyer;
    if (f.size() == 7) {
        buyer = {Text(f[4], "buyer name", 100), Text(f[5], "tax number", 13), Text(f[6], "address", 50)};
    } else if (d.header.customerNo != 0) {
        auto found = customers_.find(d.header.customerNo);
        if (found == customers_.end()) Fail("customer " + f[3] + " is not defined above");
        buyer = found->second;
    }
    std::memcpy(d.header.buyerName, buyer.name.c_str(), buyer.name.size() + 1);
    std::memcpy(d.header.buyerTaxNumber, buyer.taxNumber.c_str(), buyer.taxNumber.size() + 1);
    std::memcpy(d.header.buyerAddress, buyer.address.c_str(), buyer.address.size() + 1);
    const int32_t id = d.header.documentId;  // not a reference into the packed record
    if (!tables_.documentById.emplace(id, tables_.documents.size()).second)
        Fail("document id " + f[1] + " is used twice");
    tables_.documents.push_back(std::move(d));
}

void Loader::DocumentLine(const std::vector<std::string> &f) {
    Expect(f, 4, 5, "line | warehouse | goods number | quantity [| group]");
    if (tables_.documents.empty()) Fail("a line before the first invoice or receipt");
    auto warehouse = static_cast<int16_t>(Number(f[1], "warehouse", 0, INT16_MAX));
    auto goodsNo = static_cast<int16_t>(Number(f[2], "goods number", INT16_MIN, INT16_MAX));
    auto at = goodsAt_.find(std::make_pair(warehouse, goodsNo));
    if (at == goodsAt_.end()) Fail("goods " + f[2] + " of warehouse " + f[1] + " is not defined above");
    const GoodsRecord *goods = &tables_.warehouses[warehouse].goods[at->second];
    TsprDokRecord r{};
    std::memcpy(r.goodsName, goods->goodsName, sizeof r.goodsName);
    std::memcpy(r.goodsCode, goods->goodsCode, sizeof r.goodsCode);
    std::memcpy(r.unit, goods->hostPrivate1, sizeof r.unit);
    r.quantity = Quantity(f[3], "quantity");
    r.goodsGroup = f.size() == 5 ? static_cast<int16_t>(Number(f[4], "goods group", INT16_MIN, INT16_MAX))
                                 : goods->goodsGroup;
    r.warehouseNo = warehouse;
    r.goodsNo = goodsNo;
    tables_.documents.back().lines.push_back(r);
}

void Loader::Line(std::size_t number, const std::string &raw) {
    line_ = number;
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (number == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::string trimmed = Trim(text);
    if (trimmed.empty() || trimmed[0] == '#') return;
    std::vector<std::string> f = Fields(trimmed);
    const std::string &kind = f[0];
    if (kind == "year") {
        Expect(f, 2, 2, "year | yyyy");
        year_ = static_cast<int16_t>(Number(f[1], "year", 1900, 2999));
    } else if (kind == "group") {
        Group(f);
    } else if (kind == "goods") {
        Goods(f);
    } else if (kind == "customer") {
        NewCustomer(f);
    } else if (kind == "invoice") {
        Document(f, kDocumentKindInvoice);
    } else if (kind == "receipt") {
        Document(f, kDocumentKindReceipt);
    } else if (kind == "line") {
        DocumentLine(f);
    } else {
        Fail("unknown record \"" + kind + "\" (year, group, goods, customer, invoice, receipt or line)");
    }
}

std::string &lastError() {
    static std::string error;
    return error;
}

const char *Load(const std::string &text, const std::string &name) {
    Loader loader(name);
    std::istringstream in(text);
    std::string line;
    try {
        for (std::size_t number = 1; std::getline(in, line); ++number) loader.Line(number, line);
    } catch (const LoadError &e) {
        lastError() = e.message;
        return lastError().c_str();
    }
    SalesTables tables;
    std::vector<GoodsGroup> groups;
    int16_t year = 0;
    loader.Finish(tables, groups, year);
    InstallSalesTables(std::move(tables));
    state().goodsGroups = std::move(groups);
    if (year != 0) StandinSetCurrentYear(year);
    return nullptr;
}

}  // namespace
}  // namespace standin

STANDIN_API const char *StandinLoadDatasetText(const char *text, const char *name) {
    return standin::Load(text, name);
}

STANDIN_API const char *StandinLoadDataset(const char *path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        standin::lastError() = std::string(path) + ": cannot be read";
        return standin::lastError().c_str();
    }
    return standin::Load(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), path);
}

STANDIN_API const char *StandinGoodsGroup(int32_t index, int16_t *number) {
    const auto &groups = standin::state().goodsGroups;
    if (index < 0 || static_cast<std::size_t>(index) >= groups.size()) return nullptr;
    *number = groups[static_cast<std::size_t>(index)].number;
    return groups[static_cast<std::size_t>(index)].name.c_str();
}
