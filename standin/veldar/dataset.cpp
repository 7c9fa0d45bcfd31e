// The data-set loader: a month of sales written as readable UTF-8 lines (format in
// docs/dataset.md) turned into the host's records, texts in Mazovia. A data set is
// checked whole before it replaces anything, so a bad file changes nothing.
#include <cstdio>
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

// One field of a record: its text, quotes and escapes taken away, and where it
// stands in the line. A line is read only when it is sound UTF-8, so its character k
// stands in column k + 1.
struct Field {
    std::string text;        // UTF-8
    std::size_t begin = 0;   // the line's index of the text's first character
    std::size_t column = 0;  // where the field starts (its quote, if quoted)
    bool quoted = false;
};

bool Blank(char32_t c) { return c == U' ' || c == U'\t'; }

// A record line decoded, strictly; no control character may stand in it, a tab
// only as a blank around a field.
std::string DecodeLine(const std::string &line, std::u32string &chars) {
    if (std::string e = DecodeUtf8(line, chars); !e.empty()) return e;
    for (std::size_t k = 0; k < chars.size(); ++k)
        if ((chars[k] < 0x20 && chars[k] != U'\t') || chars[k] == 0x7F)
            return "control character " + DescribeCharacter(chars[k], k + 1) +
                   ": none may be written, and a tab only as a blank around a field";
    return std::string();
}

// Splits a decoded record line at its bars. A field that begins with '"' is quoted:
// it runs to the next '"' that is not escaped (\" and \\), may hold bars, and keeps
// its blanks; any other field is the text between two bars, blanks at either end
// taken away.
std::string SplitFields(const std::u32string &chars, std::vector<Field> &fields) {
    fields.clear();
    const std::size_t n = chars.size();
    std::size_t at = 0;
    for (;;) {
        while (at < n && Blank(chars[at])) ++at;
        Field f;
        f.column = at + 1;
        f.begin = at;
        if (at < n && chars[at] == U'"') {
            f.quoted = true;
            f.begin = ++at;
            for (;; ++at) {
                if (at >= n) return "the quoted text begun at column " + std::to_string(f.column) + " has no closing \"";
                if (chars[at] == U'"') break;
                if (chars[at] == U'\\') {
                    if (at + 1 >= n || (chars[at + 1] != U'"' && chars[at + 1] != U'\\'))
                        return "the \\ at column " + std::to_string(at + 1) +
                               " escapes nothing: a quoted text writes \\\" for \" and \\\\ for \\";
                    ++at;
                }
                mazovia::appendUtf8(f.text, chars[at]);
            }
            ++at;
            while (at < n && Blank(chars[at])) ++at;
            if (at < n && chars[at] != U'|')
                return DescribeCharacter(chars[at], at + 1) + " follows a quoted text; only blanks may stand before the next |";
        } else {
            std::size_t last = at;  // one past the last character that is not blank
            for (std::size_t k = at; k < n && chars[k] != U'|'; ++k)
                if (!Blank(chars[k])) last = k + 1;
            for (std::size_t k = at; k < last; ++k) mazovia::appendUtf8(f.text, chars[k]);
            at = last;
            while (at < n && chars[at] != U'|') ++at;
        }
        fields.push_back(std::move(f));
        if (at >= n) return std::string();
        ++at;  // the bar
    }
}

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
    using Fields = std::vector<Field>;
    [[noreturn]] void Fail(const std::string &message) const {
        throw LoadError{name_ + ":" + std::to_string(line_) + ": " + message};
    }
    void Expect(const Fields &f, std::size_t least, std::size_t most, const char *shape) const {
        if (f.size() < least || f.size() > most) Fail(std::string("expected ") + shape);
    }
    void Unquoted(const Field &field, const char *what) const {
        if (field.quoted)
            Fail(std::string(what) + " is quoted at column " + std::to_string(field.column) + "; only texts may be");
    }
    std::string CharAt(const Field &field, std::size_t at) const;
    long Number(const Field &field, const char *what, long least, long most) const;
    int32_t Quantity(const Field &field, const char *what) const;
    std::string Text(const Field &field, const char *what, std::size_t mostChars) const;
    template <std::size_t N>
    void Put(char (&dst)[N], const Field &field, const char *what) const {
        std::string mz = Text(field, what, N - 1);
        std::memcpy(dst, mz.c_str(), mz.size() + 1);
    }
    std::string Date(const Field &field) const;

    void Group(const Fields &f);
    void Goods(const Fields &f);
    void NewCustomer(const Fields &f);
    void Document(const Fields &f, int16_t kind);
    void DocumentLine(const Fields &f);

    std::string name_;
    std::size_t line_ = 0;
    std::u32string chars_;  // the line read now
    Fields fields_;
    SalesTables tables_;
    std::vector<GoodsGroup> groups_;
    std::map<int16_t, Customer> customers_;
    // (warehouse, goods) to the position of the first record of that number, the one
    // its cursor delivers first
    std::map<std::pair<int16_t, int16_t>, std::size_t> goodsAt_;
    int16_t year_ = 0;
};

// The character at byte `at` of a field's text, named with its column.
std::string Loader::CharAt(const Field &field, std::size_t at) const {
    std::size_t before = 0;
    for (std::size_t i = 0; i < at; ++i) before += (static_cast<unsigned char>(field.text[i]) & 0xC0) != 0x80;
    std::size_t k = field.begin;  // in the line, past the escapes of a quoted text
    for (std::size_t n = 0; n <= before; ++n, ++k)
        if (field.quoted && chars_[k] == U'\\') ++k;
    std::size_t i = at;
    return DescribeCharacter(mazovia::decodeUtf8(field.text, i), k);
}

// A whole number in decimal digits, with a '-' in front if negative.
long Loader::Number(const Field &field, const char *what, long least, long most) const {
    Unquoted(field, what);
    const std::string &s = field.text;
    const std::string bad = std::string(what) + " \"" + s + "\" is not a whole number";
    std::size_t at = !s.empty() && s[0] == '-' ? 1 : 0;
    if (at == s.size()) Fail(bad);
    long long value = 0;
    for (std::size_t k = at; k < s.size(); ++k) {
        if (s[k] < '0' || s[k] > '9') Fail(bad + ": " + CharAt(field, k));
        if (value <= (1LL << 40)) value = value * 10 + (s[k] - '0');  // beyond any range asked for
    }
    if (at == 1) value = -value;
    if (value < least || value > most)
        Fail(std::string(what) + " " + s + " is outside " + std::to_string(least) + ".." + std::to_string(most));
    return static_cast<long>(value);
}

// A quantity in units with at most three decimals ("12", "-0.5", "1.250"), in thousandths.
int32_t Loader::Quantity(const Field &field, const char *what) const {
    Unquoted(field, what);
    const std::string &s = field.text;
    const std::string bad = std::string(what) + " \"" + s + "\" is not a quantity (units, at most 3 decimals)";
    std::size_t at = s.empty() || (s[0] != '-' && s[0] != '+') ? 0 : 1;
    const bool negative = at == 1 && s[0] == '-';
    long long thousandths = 0;
    int digits = 0, decimals = -1;
    for (; at < s.size(); ++at) {
        const char c = s[at];
        if (c == '.' && decimals < 0) {
            decimals = 0;
            continue;
        }
        if (c < '0' || c > '9') Fail(bad + ": " + CharAt(field, at));
        if (decimals == 3) Fail(bad);
        if (++digits > 15) Fail(std::string(what) + " " + s + " is too large");
        thousandths = thousandths * 10 + (c - '0');
        if (decimals >= 0) ++decimals;
    }
    if (digits == 0) Fail(bad);
    for (int d = decimals < 0 ? 0 : decimals; d < 3; ++d) thousandths *= 10;
    if (negative) thousandths = -thousandths;
    if (thousandths < INT32_MIN || thousandths > INT32_MAX)
        Fail(std::string(what) + " " + s + " does not fit the host's 32-bit thousandths");
    return static_cast<int32_t>(thousandths);
}

// A field's text in Mazovia, at most mostChars characters.
std::string Loader::Text(const Field &field, const char *what, std::size_t mostChars) const {
    std::string out;
    for (std::size_t i = 0; i < field.text.size();) {
        const std::size_t at = i;
        const char32_t c = mazovia::decodeUtf8(field.text, i);
        if (!FitsHostText(c)) Fail(std::string(what) + " " + UnfitForHostText(c, CharAt(field, at)));
        out += static_cast<char>(mazovia::fromCodePoint(c));
    }
    if (out.size() > mostChars)
        Fail(std::string(what) + " has " + std::to_string(out.size()) + " characters, at most " +
             std::to_string(mostChars) + " fit");
    return out;
}

// A date written dd.mm.yyyy, or "-" for a document without one; in the stored form.
std::string Loader::Date(const Field &field) const {
    Unquoted(field, "date");
    const std::string &s = field.text;
    if (s == "-") return std::string();
    const std::string bad = "date \"" + s + "\" is not a day written dd.mm.yyyy (or - for none)";
    static const char kShape[] = "dd.mm.yyyy";
    int parts[3] = {};
    for (std::size_t k = 0, part = 0; k < s.size(); ++k) {
        if (k + 1 >= sizeof kShape) Fail(bad + ": " + CharAt(field, k));
        const bool digit = kShape[k] != '.';
        if (digit ? s[k] < '0' || s[k] > '9' : s[k] != '.') Fail(bad + ": " + CharAt(field, k));
        if (digit) parts[part] = parts[part] * 10 + (s[k] - '0');
        else ++part;
    }
    if (s.size() != sizeof kShape - 1) Fail(bad);
    const std::string stored = StoredDate(parts[2], parts[1], parts[0]);
    if (stored.empty()) Fail(bad);
    return stored;
}

void Loader::Group(const Fields &f) {
    Expect(f, 3, 3, "group | number | name");
    auto number = static_cast<int16_t>(Number(f[1], "group number", 0, 450));
    for (const GoodsGroup &g : groups_)
        if (g.number == number) Fail("group " + f[1].text + " is defined twice");
    groups_.push_back({number, Text(f[2], "group name", 40)});
}

void Loader::Goods(const Fields &f) {
    Expect(f, 8, 8, "goods | warehouse | number | group | code | unit | stock | name");
    GoodsRecord r{};
    auto warehouse = static_cast<int16_t>(Number(f[1], "warehouse", INT16_MIN, INT16_MAX));
    r.goodsNo = static_cast<int16_t>(Number(f[2], "goods number", INT16_MIN, INT16_MAX));
    r.goodsGroup = static_cast<int16_t>(Number(f[3], "goods group", INT16_MIN, INT16_MAX));
    Put(r.goodsCode, f[4], "goods code");
    std::string unit = Text(f[5], "unit", 5);
    r.stockQuantity = Quantity(f[6], "stock");
    Put(r.goodsName, f[7], "goods name");
    // The unit lives in the host's private part of the goods record; lines copy it.
    static_assert(sizeof(r.hostPrivate1) > 6);
    std::memcpy(r.hostPrivate1, unit.c_str(), unit.size() + 1);
    // A number may repeat in a warehouse, as in the host's table: each record is an
    // item of its own, delivered in file order.
    GoodsTable &table = GoodsTableOf(tables_, warehouse);
    goodsAt_.emplace(std::make_pair(warehouse, r.goodsNo), table.goods.size());
    table.goods.push_back(r);
}

void Loader::NewCustomer(const Fields &f) {
    Expect(f, 5, 5, "customer | number | name | tax number | address");
    auto number = static_cast<int16_t>(Number(f[1], "customer number", INT16_MIN, INT16_MAX));
    if (number == 0) Fail("customer number 0 stands for no customer; a customer record takes any other");
    Customer c{Text(f[2], "buyer name", 100), Text(f[3], "tax number", 13), Text(f[4], "address", 50)};
    if (!customers_.emplace(number, c).second) Fail("customer " + f[1].text + " is defined twice");
}

void Loader::Document(const Fields &f, int16_t kind) {
    Expect(f, 4, 7, "invoice|receipt | id | date | customer [| name | tax number | address]");
    if (f.size() != 4 && f.size() != 7) Fail("a document names its buyer with all three of name, tax number, address");
    SalesDocument d{kind, {}, {}};
    d.header.documentId = static_cast<int32_t>(Number(f[1], "document id", INT32_MIN, INT32_MAX));
    std::string date = Date(f[2]);
    std::memcpy(d.header.documentDate, date.c_str(), date.size() + 1);
    d.header.customerNo = static_cast<int16_t>(Number(f[3], "customer number", INT16_MIN, INT16_MAX));
    Customer buyer;
    if (f.size() == 7) {
        buyer = {Text(f[4], "buyer name", 100), Text(f[5], "tax number", 13), Text(f[6], "address", 50)};
    } else if (d.header.customerNo != 0) {
        auto found = customers_.find(d.header.customerNo);
        if (found == customers_.end()) Fail("customer " + f[3].text + " is not defined above");
        buyer = found->second;
    }
    std::memcpy(d.header.buyerName, buyer.name.c_str(), buyer.name.size() + 1);
    std::memcpy(d.header.buyerTaxNumber, buyer.taxNumber.c_str(), buyer.taxNumber.size() + 1);
    std::memcpy(d.header.buyerAddress, buyer.address.c_str(), buyer.address.size() + 1);
    const int32_t id = d.header.documentId;  // not a reference into the packed record
    if (!tables_.documentById.emplace(id, tables_.documents.size()).second)
        Fail("document id " + f[1].text + " is used twice");
    tables_.documents.push_back(std::move(d));
}

// A line keeps its own goods texts, as sold: a line of eight fields gives them (with
// its group) and needs no goods record; a shorter one copies the first goods record
// of its warehouse and number.
void Loader::DocumentLine(const Fields &f) {
    Expect(f, 4, 8, "line | warehouse | goods number | quantity [| group [| code | unit | name]]");
    if (f.size() == 6 || f.size() == 7)
        Fail("a line gives its own goods code, unit and name all three, after its goods group");
    if (tables_.documents.empty()) Fail("a line before the first invoice or receipt");
    const auto warehouse = static_cast<int16_t>(Number(f[1], "warehouse", INT16_MIN, INT16_MAX));
    const auto goodsNo = static_cast<int16_t>(Number(f[2], "goods number", INT16_MIN, INT16_MAX));
    TsprDokRecord r{};
    r.warehouseNo = warehouse;
    r.goodsNo = goodsNo;
    r.quantity = Quantity(f[3], "quantity");
    if (f.size() >= 5) r.goodsGroup = static_cast<int16_t>(Number(f[4], "goods group", INT16_MIN, INT16_MAX));
    if (f.size() == 8) {
        Put(r.goodsCode, f[5], "goods code");
        Put(r.unit, f[6], "unit");
        Put(r.goodsName, f[7], "goods name");
    } else {
        auto at = goodsAt_.find(std::make_pair(warehouse, goodsNo));
        if (at == goodsAt_.end())
            Fail("goods " + f[2].text + " of warehouse " + f[1].text +
                 " is not defined above (a line of goods not defined gives its group, code, unit and name)");
        const GoodsRecord &goods = tables_.warehouses[warehouse].goods[at->second];
        std::memcpy(r.goodsName, goods.goodsName, sizeof r.goodsName);
        std::memcpy(r.goodsCode, goods.goodsCode, sizeof r.goodsCode);
        std::memcpy(r.unit, goods.hostPrivate1, sizeof r.unit);
        if (f.size() == 4) r.goodsGroup = goods.goodsGroup;
    }
    tables_.documents.back().lines.push_back(r);
}

void Loader::Line(std::size_t number, const std::string &raw) {
    line_ = number;
    std::string text = raw;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (number == 1 && text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] == '#') return;
    if (std::string e = DecodeLine(text, chars_); !e.empty()) Fail(e);
    if (std::string e = SplitFields(chars_, fields_); !e.empty()) Fail(e);
    const Fields &f = fields_;
    Unquoted(f[0], "the record's kind");
    const std::string &kind = f[0].text;
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
