// What the report asks of the host, call by call, and the files it writes, over
// generated months and choices: each run reduced to a digest of the whole host-call
// sequence with its arguments and a digest of the three export files, compared with
// the digests recorded in golden/host-calls.txt. Besides a few months made for one
// case each, a sweep of generated months of many shapes. A change to how the report
// finds its rows must leave every digest as it is; a change to how it walks the
// host's tables leaves the files' digests.
//
// Arguments are written in a form that means the same in every build and run: a
// numbered key or cursor block instead of its stack address, a row and field of a
// list instead of a heap address, list sizes in rows, texts with their bytes.
//
// PIM_HOST_CALLS_TRACE=DIR writes each run's calls as text into DIR (to compare two
// versions by hand); PIM_HOST_CALLS_WRITE=FILE writes the digests found to FILE.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <ostream>

#include "collect.h"
#include "host_records.h"
#include "month_generator.h"
#include "row_index.h"
#include "plugin_fixture.h"
#include "report_fixture.h"

using namespace testing_support;

namespace {

class Fnv64 {
public:
    void Add(const void *bytes, std::size_t length) {
        const auto *b = static_cast<const uint8_t *>(bytes);
        for (std::size_t i = 0; i < length; ++i) hash_ = (hash_ ^ b[i]) * 0x100000001B3ull;
    }
    void Add(const std::string &text) { Add(text.data(), text.size()); }
    std::string Hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016" PRIx64, hash_);
        return text;
    }

private:
    uint64_t hash_ = 0xCBF29CE484222325ull;
};

// splitmix64, for the sweep's choices: the same on every platform.
class Choices {
public:
    explicit Choices(uint64_t seed) : state_(seed) {}
    // 0 .. n-1
    int32_t Below(int32_t n) {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<int32_t>((z ^ (z >> 31)) % static_cast<uint64_t>(n));
    }
    template <class T, std::size_t N>
    const T &Pick(const T (&items)[N]) {
        return items[Below(static_cast<int32_t>(N))];
    }

private:
    uint64_t state_;
};

// Turns each recorded call into one line of text, digested (and traced when asked).
// Written into one reused buffer: the recorder sees every host call of a run, and
// allocations are slow under Wine.
class CallRecorder {
public:
    CallRecorder(const pim::CRaportSprzPapierosow &report, std::FILE *trace) : r_(report), trace_(trace) {
        line_.reserve(4096);
        StandinSetCallRecorder(&CallRecorder::Record, this);
    }
    ~CallRecorder() { StandinSetCallRecorder(nullptr, nullptr); }

    uint64_t calls() const { return calls_; }
    std::string digest() const { return digest_.Hex(); }
    // Walks of the document table by the key they were opened with: how many, and the
    // outlets listed when the first began.
    const std::map<int, std::pair<int, int32_t>> &documentWalks() const { return documentWalks_; }

private:
    static void Record(void *self, uint32_t ordinal, const StandinCallArg *args, int32_t count) {
        static_cast<CallRecorder *>(self)->Add(ordinal, args, count);
    }

    void Put(const char *text) { line_ += text; }
    void Put(int64_t value) {
        char digits[24];
        int n = 0;
        uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
        do digits[n++] = static_cast<char>('0' + magnitude % 10);
        while ((magnitude /= 10) != 0);
        if (value < 0) line_ += '-';
        while (n > 0) line_ += digits[--n];
    }
    void Put(const char *what, int64_t value) {
        Put(what);
        Put(value);
    }

    void Add(uint32_t ordinal, const StandinCallArg *args, int32_t count) {
        if (ordinal == kOrd_VeldarOpenCursor && count > 3 && args[1].address == r_.documentTable) {
            auto key = keys_.find(args[3].address);
            auto &[walks, outlets] = documentWalks_[key == keys_.end() ? 0 : key->second];
            if (walks++ == 0) outlets = r_.outletCount;
        }
        line_.clear();
        Put(ordinal);
        Put("(");
        for (int32_t i = 0; i < count; ++i) {
            if (i > 0) Put(", ");
            Argument(ordinal, i, args);
        }
        Put(")\n");
        ++calls_;
        digest_.Add(line_);
        if (trace_ != nullptr) std::fwrite(line_.data(), 1, line_.size(), trace_);
    }

    void Argument(uint32_t ordinal, int32_t i, const StandinCallArg *args) {
        const StandinCallArg &a = args[i];
        // Key and cursor blocks are the plug-in's storage: named by the key prepared
        // and the cursor opened in them, in call order.
        if (ordinal == kOrd_VeldarPrepareKey && i == 2) return Name(keys_, a.address, ++keyCount_, "key");
        if (ordinal == kOrd_VeldarOpenCursor && i == 0) return Name(cursors_, a.address, ++cursorCount_, "cursor");
        if (ordinal == kOrd_VeldarOpenCursor && i == 3) return Known(keys_, a.address, "key");
        if ((ordinal == kOrd_VeldarFetchNext || ordinal == kOrd_VeldarCloseCursor) && i == 0)
            return Known(cursors_, a.address, "cursor");
        if (ordinal == kOrd_VeldarResizeBlock && i == 0) return Resized(a.address);
        if (ordinal == kOrd_VeldarResizeBlock && i == 1) return Rows(args[0].address, a.number);
        switch (a.kind) {
            case kArgNumber: return Put(a.number);
            case kArgText:
                Where(a.address);
                Put("=[", a.textLength);
                Put("]");
                if (a.text != nullptr) line_.append(a.text, a.textLength);
                return;
            default: return Where(a.address);
        }
    }

    void Name(std::map<const void *, int> &names, const void *block, int number, const char *what) {
        names[block] = number;
        Put(what, number);
    }
    void Known(const std::map<const void *, int> &names, const void *block, const char *what) {
        auto found = names.find(block);
        if (found == names.end()) return Put("unknown ");
        Put(what, found->second);
    }

    // The list whose array a resize grows, found by the array (the pointer to it is
    // the plug-in's own business), and the new size in that list's rows. A list's
    // first array holds 50 rows, which tells its row from the size alone.
    enum class List { None, Items, Outlets, OutletItems, Other };
    List ListOf(const void *slot, int32_t &outlet) const {
        const void *array = *static_cast<const void *const *>(slot);
        if (array == nullptr) return List::None;
        if (array == r_.itemList) return List::Items;
        if (array == r_.outletList) return List::Outlets;
        for (outlet = 0; outlet < r_.outletCount; ++outlet)
            if (array == r_.outletList[outlet].outletItems) return List::OutletItems;
        return List::Other;
    }
    void Resized(const void *slot) {
        int32_t outlet = 0;
        switch (ListOf(slot, outlet)) {
            case List::None: return Put("new array");
            case List::Items: return Put("item list");
            case List::Outlets: return Put("outlet list");
            case List::OutletItems: return Put("outlet ", outlet), Put(" items");
            case List::Other: return Put("another array");
        }
    }
    void Rows(const void *slot, int64_t bytes) {
        int32_t outlet = 0;
        const List list = ListOf(slot, outlet);
        int64_t row = 0;
        const char *of = "";
        if (list == List::Items || (list == List::None && bytes == 50 * int64_t{sizeof(pim::ItemRow)}))
            row = sizeof(pim::ItemRow), of = " item rows";
        else if (list == List::Outlets || (list == List::None && bytes == 50 * int64_t{sizeof(pim::OutletRow)}))
            row = sizeof(pim::OutletRow), of = " outlet rows";
        else if (list != List::Other)
            row = sizeof(pim::OutletItemRow), of = " outlet item rows";
        if (row != 0 && bytes % row == 0) return Put(bytes / row), Put(of);
        Put(bytes);
        Put(" bytes");
    }

    // Where an address points, in the report object's terms.
    void Where(const void *p) {
        if (p == nullptr) return Put("null");
        auto at = reinterpret_cast<uintptr_t>(p);
        auto within = [at](const void *base, std::size_t bytes) {
            auto b = reinterpret_cast<uintptr_t>(base);
            return base != nullptr && at >= b && at < b + bytes;
        };
        auto offset = [&](const char *name, const void *base) {
            Put(name);
            Put("+", static_cast<int64_t>(at - reinterpret_cast<uintptr_t>(base)));
        };
        const std::pair<const void *, const char *> members[] = {
            {&r_.goodsTable, "&goodsTable"}, {&r_.documentTable, "&documentTable"}, {&r_.lineTable, "&lineTable"},
            {&r_.itemList, "&itemList"},     {&r_.outletList, "&outletList"},       {r_.documentTable, "table 44"},
            {r_.lineTable, "table 45"},      {r_.goodsTable, "goods table"}};
        for (const auto &[address, name] : members)
            if (address == p) return Put(name);
        const std::pair<const void *, const char *> texts[] = {
            {r_.dateFrom, "dateFrom"}, {r_.dateTo, "dateTo"}, {r_.periodStart, "periodStart"}};
        for (const auto &[address, name] : texts)
            if (within(address, 256)) return offset(name, address);
        if (within(&r_.options, sizeof r_.options)) return offset("options", &r_.options);
        if (within(r_.documentRecord, sizeof(TsprRecord))) return offset("document", r_.documentRecord);
        if (within(r_.lineRecord, sizeof(TsprDokRecord))) return offset("line", r_.lineRecord);
        if (r_.goodsTable != nullptr && within(r_.goodsTable->record, sizeof(GoodsRecord)))
            return offset("goods", r_.goodsTable->record);
        if (RowOf(p, r_.itemList, r_.itemCapacity, "item")) return;
        if (RowOf(p, r_.outletList, r_.outletCapacity, "outlet")) return;
        for (int32_t o = 0; o < r_.outletCount; ++o) {
            const pim::OutletRow &outlet = r_.outletList[o];
            const std::size_t mark = line_.size();
            Put("outlet ", o);
            if (RowOf(p, outlet.outletItems, outlet.outletItemCapacity, " outlet item")) return;
            line_.resize(mark);
        }
        Put("elsewhere");
    }

    template <class Row>
    bool RowOf(const void *p, const Row *rows, int32_t capacity, const char *what) {
        auto at = reinterpret_cast<uintptr_t>(p), base = reinterpret_cast<uintptr_t>(rows);
        if (rows == nullptr || at < base || at >= base + static_cast<uintptr_t>(capacity) * sizeof(Row)) return false;
        Put(what);
        Put(" ", static_cast<int64_t>((at - base) / sizeof(Row)));
        Put("+", static_cast<int64_t>((at - base) % sizeof(Row)));
        return true;
    }

    const pim::CRaportSprzPapierosow &r_;
    std::FILE *trace_;
    std::string line_;
    std::map<const void *, int> keys_, cursors_;
    int keyCount_ = 0, cursorCount_ = 0;
    uint64_t calls_ = 0;
    Fnv64 digest_;
    std::map<int, std::pair<int, int32_t>> documentWalks_;
};

// One run: a month, the choices on the form, and what fails on the way.
struct MonthRun {
    std::string name;
    std::function<std::string()> month;
    int monthNumber = 3;
    std::vector<int> groups;
    uint16_t kinds = pim::kKindInvoices | pim::kKindReceipts;
    // Records no data set can express, patched into the loaded month.
    std::function<void()> patch;
    // The failResize-th resize call fails. Which row goes missing depends on the order
    // of the adds, so such a run is held to its calls' digest and, against the run
    // without the failure, to rows only missing, nothing leaked and files well formed.
    uint32_t failResize = 0;
    // The plug-in's index memory: the failIndex-th allocation fails (0: none), and
    // with indexOnward every later one too. Such a run must write the files of the
    // run named sameAs; its calls are its own when the memory that lets the report
    // read the documents once failed (it reads them once per outlet then).
    uint32_t failIndex = 0;
    bool indexOnward = false;
    std::string sameAs;
    std::string shape;  // what a sweep month was made of, for messages
};

void PrintTo(const MonthRun &run, std::ostream *out) { *out << run.name << (run.shape.empty() ? "" : ": ") << run.shape; }

genmonth::MonthShape Shape(uint64_t seed, int32_t documents, int32_t lines, int32_t outlets, int32_t goods,
                           int32_t warehouses) {
    return {.seed = seed, .documents = documents, .linesPerDocument = lines, .outlets = outlets, .goods = goods,
            .warehouses = warehouses, .groups = 6, .selectedGroups = 3, .year = kTestYear};
}

// A generated month with goods and documents of its own added: goods right after the
// year (before any line needs them), documents at the end.
std::string WithExtras(const genmonth::MonthShape &shape, const std::string &goods, const std::string &documents) {
    std::string text = genmonth::GenerateMonth(shape);
    const std::size_t afterYear = text.find('\n', text.find("year |")) + 1;
    return text.substr(0, afterYear) + goods + text.substr(afterYear) + documents;
}

std::string Small() { return genmonth::GenerateMonth(Shape(11, 240, 4, 20, 90, 4)); }
// Few outlets buying much: outlets' own lists grow past 50 rows.
std::string FewBigOutlets() { return genmonth::GenerateMonth(Shape(12, 300, 8, 6, 400, 4)); }
// More outlets than the outlet list's first 50 rows.
std::string ManyOutlets() { return genmonth::GenerateMonth(Shape(14, 350, 3, 70, 60, 3)); }
// Goods number 0 of warehouse 0 (the key a TOTAL row has) with the given code, bought
// twice by customers 3 and 4, on invoices and receipts.
std::string WithGoodsZeroCoded(const std::string &code) {
    return WithExtras(Shape(13, 200, 5, 15, 80, 3), "goods | 0 | 0 | 1 | " + code + " | szt. | 12 | Towar " +
                                                        (code == "TOTAL" ? "TOTAL" : "zero") + "\n",
                      Month({"invoice | 900001 | 10.03.2025 | 3", "line | 0 | 0 | 2", "line | 1 | 1 | 1",
                             "invoice | 900002 | 11.03.2025 | 3", "line | 0 | 0 | 3",
                             "receipt | 900003 | 12.03.2025 | 4", "line | 0 | 0 | 4", "line | 0 | 0 | 5",
                             "receipt | 900004 | 12.03.2025 | 0", "line | 0 | 0 | 6"}));
}
std::string WithGoodsZero() { return WithGoodsZeroCoded("ZERO"); }
std::string WithGoodsCodedTotal() { return WithGoodsZeroCoded("TOTAL"); }

// Goods records that share a goods number within their warehouse (no data set can
// say so; the host's table can hold it): every row of such a number is itemised.
void MakeDuplicateGoods() {
    const struct {
        int16_t warehouse, index, goodsNo, group;
    } patches[] = {{1, 4, 1, 1}, {1, 7, 1, 1}, {2, 3, 2, 2}, {2, 10, 5, 3}, {3, 0, 2, 5}};
    for (const auto &p : patches) {
        ASSERT_EQ(StandinPatchRecord(4, p.warehouse, p.index, offsetof(GoodsRecord, goodsNo), &p.goodsNo, 2), 1);
        ASSERT_EQ(StandinPatchRecord(4, p.warehouse, p.index, offsetof(GoodsRecord, goodsGroup), &p.group, 2), 1);
    }
}

// Goods 0 of warehouse 0 (the key a TOTAL row has) in a generated month, coded as
// given, with a line of it in about every fifth document, of both kinds or of
// receipts only: outlets meet it before and after their TOTAL rows.
std::string WithGoodsZeroLines(const genmonth::MonthShape &shape, const std::string &code, bool receiptsOnly,
                               uint64_t seed) {
    const std::string text = WithExtras(shape, "goods | 0 | 0 | 1 | " + code + " | SZTA. | 5 | " + code + "\n", "");
    Choices c(seed);
    std::string out;
    for (std::size_t at = 0, end; at < text.size(); at = end) {
        end = text.find('\n', at) + 1;
        out.append(text, at, end - at);
        if (((text.compare(at, 7, "invoice") == 0 && !receiptsOnly) || text.compare(at, 7, "receipt") == 0) &&
            c.Below(5) == 0)
            out += "line | 0 | 0 | " + std::to_string(1 + c.Below(9)) + "\n";
    }
    return out;
}

// Goods records of a generated month given the number of another record of their
// warehouse (and a chosen group), so that the item list holds rows of one key twice.
void DuplicateGoods(const genmonth::MonthShape &shape, uint64_t seed) {
    Choices c(seed);
    const int16_t group = 1;
    for (int k = 0; k < 4; ++k) {
        const int32_t warehouse = 1 + c.Below(shape.warehouses), count = shape.goods / shape.warehouses;
        const int32_t index = 1 + c.Below(count - 1);
        const int16_t goodsNo = static_cast<int16_t>(1 + c.Below(index));  // the number of an earlier record
        ASSERT_EQ(StandinPatchRecord(4, warehouse, index, offsetof(GoodsRecord, goodsNo), &goodsNo, 2), 1);
        ASSERT_EQ(StandinPatchRecord(4, warehouse, index, offsetof(GoodsRecord, goodsGroup), &group, 2), 1);
    }
}

// The sweep: generated months of many shapes, for the files above all. Few to many
// outlets whose documents interleave in the cursor's order, one customer's documents
// spread over the whole month, outlets' lists past 50 rows, customers whose first
// documents hold no chosen line (few groups chosen of many, few lines), documents
// outside the month and without a date (every generated month), February, each kind
// alone and both, goods 0 of warehouse 0 and duplicate item rows now and then.
constexpr int kSweepMonths = 240;

MonthRun SweepRun(int i) {
    Choices c(0x5EED0000u + static_cast<uint64_t>(i));
    genmonth::MonthShape shape{.seed = 1000u + static_cast<uint64_t>(i), .year = kTestYear};
    shape.month = i % 4 == 0 ? 2 : 1 + c.Below(12);
    static const int32_t kOutlets[] = {1, 2, 3, 5, 8, 13, 25, 40, 55, 70, 90};
    shape.outlets = c.Pick(kOutlets);
    // The walk per outlet (the files' digests were recorded from it, and the report
    // falls back to it without memory) makes calls that grow with outlets ×
    // documents: kept small enough to digest every call quickly.
    shape.documents = 10 + c.Below(std::min(290, 14000 / shape.outlets));
    shape.linesPerDocument = 1 + c.Below(8);
    shape.warehouses = 1 + c.Below(5);
    shape.goods = shape.warehouses * (2 + c.Below(60));
    shape.groups = 2 + c.Below(11);
    shape.selectedGroups = 1 + c.Below(std::min(3, shape.groups));

    MonthRun run;
    char name[16];
    std::snprintf(name, sizeof name, "sweep-%03d", i);
    run.name = name;
    run.monthNumber = shape.month;
    static const uint16_t kKinds[] = {pim::kKindInvoices, pim::kKindReceipts,
                                      pim::kKindInvoices | pim::kKindReceipts};
    run.kinds = kKinds[i % 3];
    const int chosen = c.Below(20);  // groups on the form: mostly those the month calls chosen
    for (int g = 1; g <= (chosen < 2 ? 1 : chosen < 4 ? shape.groups : chosen == 4 ? 0 : shape.selectedGroups); ++g)
        run.groups.push_back(g);
    const int extra = c.Below(12);
    static const char *const kZeroCodes[] = {"ZERO", "TOTAL", "TOTAL"};
    const std::string zeroCode = extra < 3 ? kZeroCodes[extra] : "";
    const bool receiptsOnly = extra == 2, duplicates = extra == 3 && shape.goods >= 2 * shape.warehouses;
    const uint64_t seed = shape.seed;
    run.month = zeroCode.empty() ? std::function<std::string()>([shape] { return genmonth::GenerateMonth(shape); })
                                 : [=] { return WithGoodsZeroLines(shape, zeroCode, receiptsOnly, seed); };
    if (duplicates) run.patch = [shape, seed] { DuplicateGoods(shape, seed); };
    run.shape = "month " + std::to_string(shape.month) + ", " + std::to_string(shape.documents) + " documents of " +
                std::to_string(shape.linesPerDocument) + " lines, " + std::to_string(shape.outlets) + " outlets, " +
                std::to_string(shape.goods) + " goods in " + std::to_string(shape.warehouses) + " warehouses, " +
                std::to_string(run.groups.size()) + " of " + std::to_string(shape.groups) + " groups chosen" +
                (zeroCode.empty() ? "" : ", goods 0/0 coded " + zeroCode + (receiptsOnly ? " on receipts" : "")) +
                (duplicates ? ", duplicate goods" : "");
    return run;
}

std::vector<MonthRun> Runs() {
    std::vector<MonthRun> runs;
    auto add = [&runs](std::string name, std::function<std::string()> month, int monthNumber, std::vector<int> groups,
                       uint16_t kinds, uint32_t failResize) {
        MonthRun run;
        run.name = std::move(name);
        run.month = std::move(month);
        run.monthNumber = monthNumber;
        run.groups = std::move(groups);
        run.kinds = kinds;
        run.failResize = failResize;
        runs.push_back(run);
    };
    const uint16_t both = pim::kKindInvoices | pim::kKindReceipts;
    add("small-both", Small, 3, {1, 2, 3}, both, 0);
    add("small-invoices", Small, 3, {1, 2, 3}, pim::kKindInvoices, 0);
    add("small-receipts", Small, 3, {1, 2, 3}, pim::kKindReceipts, 0);
    add("small-groups-2-5", Small, 3, {2, 5}, both, 0);
    add("small-no-group", Small, 3, {}, both, 0);
    add("small-groups-4-9-450", Small, 3, {4, 9, 450}, both, 0);
    add("small-february", Small, 2, {1, 2, 3}, both, 0);
    for (uint32_t k : {1u, 2u, 3u, 4u, 6u, 9u, 14u, 20u, 22u})
        add("small-resize-" + std::to_string(k) + "-fails", Small, 3, {1, 2, 3}, both, k);
    add("big-outlets-both", FewBigOutlets, 3, {1, 2, 3}, both, 0);
    add("big-outlets-receipts", FewBigOutlets, 3, {1, 3}, pim::kKindReceipts, 0);
    for (uint32_t k : {3u, 5u, 6u, 8u, 12u})
        add("big-outlets-resize-" + std::to_string(k) + "-fails", FewBigOutlets, 3, {1, 2, 3}, both, k);
    add("many-outlets-both", ManyOutlets, 3, {1, 2, 3}, both, 0);
    for (uint32_t k : {3u, 4u})
        add("many-outlets-resize-" + std::to_string(k) + "-fails", ManyOutlets, 3, {1, 2, 3}, both, k);
    add("duplicate-goods-both", Small, 3, {1, 2, 3}, both, 0);
    add("duplicate-goods-receipts", Small, 3, {1, 2, 3, 5}, pim::kKindReceipts, 0);
    add("duplicate-goods-resize-2-fails", Small, 3, {1, 2, 3}, both, 2);
    for (auto at = runs.end() - 3; at != runs.end(); ++at) at->patch = MakeDuplicateGoods;
    add("goods-zero-both", WithGoodsZero, 3, {1, 2}, both, 0);
    add("goods-zero-receipts", WithGoodsZero, 3, {1, 2}, pim::kKindReceipts, 0);
    add("goods-coded-total-both", WithGoodsCodedTotal, 3, {1, 2}, both, 0);
    for (int i = 0; i < kSweepMonths; ++i) runs.push_back(SweepRun(i));

    // Without the memory of the indexes, from the first allocation or a later one on,
    // or with one allocation failing: the same files (a month without outlets too).
    for (const MonthRun &same : std::vector<MonthRun>(runs)) {
        if (same.name != "small-both" && same.name != "small-no-group" && same.name != "big-outlets-both" &&
            same.name != "duplicate-goods-both" && same.name != "many-outlets-resize-3-fails" &&
            same.name != "goods-zero-both" &&
            same.name != "sweep-014" && same.name != "sweep-041" && same.name != "sweep-213" &&
            same.name != "goods-coded-total-both" && same.name != "sweep-146")
            continue;
        for (uint32_t n : {1u, 2u, 3u, 5u, 9u})
            for (bool onward : {false, true}) {
                MonthRun run = same;
                run.name += std::string(onward ? "-index-memory-gone-from-" : "-index-memory-fails-at-") + std::to_string(n);
                run.failIndex = n;
                run.indexOnward = onward;
                run.sameAs = same.name;
                runs.push_back(run);
            }
    }
    return runs;
}

// The digests recorded for a run: "calls N DIGEST" and the files' digest (none for a
// run whose resize fails).
struct Recorded {
    std::string calls, files;
};

std::map<std::string, Recorded> Expected() {
    std::map<std::string, Recorded> expected;
    std::ifstream in(PIM_HOST_CALLS_GOLDEN);
    std::string name, rest;
    while (in >> name && std::getline(in, rest)) {
        if (name[0] == '#') continue;
        rest = rest.substr(rest.find_first_not_of(' '));
        const std::size_t files = rest.find(" files ");
        expected[name] = {rest.substr(0, files), files == std::string::npos ? "" : rest.substr(files + 7)};
    }
    return expected;
}

// A file as it would read on any platform: without the carriage returns that text
// mode adds on Windows.
std::string PortableFile(const std::string &path) {
    if (!FileExists(path)) return "(absent)";
    std::string text = ReadFile(path), out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

// A written file is a header and lines of as many fields as the header, each ended.
void ExpectWellFormed(const std::string &file, const std::string &text) {
    if (text == "(absent)") return;
    ASSERT_FALSE(text.empty()) << file;
    ASSERT_EQ(text.back(), '\n') << file;
    const std::size_t fields = std::count(text.begin(), text.begin() + text.find('\n'), '\t');
    EXPECT_GE(fields, 2u) << file;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin() + at, text.begin() + end, '\t')), fields)
            << file << ": " << text.substr(at, end - at);
    }
}

class HostCalls : public ReportTest, public ::testing::WithParamInterface<MonthRun> {
protected:
    struct Outcome {
        std::string calls;  // "calls N DIGEST"
        std::string files;  // the three files' digest
        SeenLists lists;    // before they were released
    };

    Outcome Run(const MonthRun &run) {
        LoadMonth(run.month());
        if (run.patch) run.patch();
        pim::CRaportSprzPapierosow &r = NewReport(run.monthNumber, {}, run.kinds);
        for (int g : run.groups) r.options.groupSelected[g] = 1;
        std::strcpy(r.options.outletShortName, "SKLEP1");
        std::strcpy(r.options.branchName, "Lublin Centrum");
        std::snprintf(r.periodStart, sizeof r.periodStart, "01.%02d.%04d", run.monthNumber, kTestYear);
        const char *kinds[] = {"VAT", "PAR", "TOW"};
        char files[3][pim::kExportFileNameSize];
        for (int f = 0; f < 3; ++f) {
            r.MakeExportFileName(files[f], r.periodStart, kinds[f], r.options.outletShortName);
            RemoveFile(files[f]);
        }

        std::FILE *trace = nullptr;
        if (const char *dir = std::getenv("PIM_HOST_CALLS_TRACE"))
            trace = std::fopen((std::string(dir) + "/" + run.name + ".txt").c_str(), "wb");
        Outcome outcome;
        {
            CallRecorder recorder(r, trace);
            StandinFailResizeCall(run.failResize);
            pim::FailIndexAllocation(run.failIndex, run.indexOnward);
            Collect();
            r.ExportFiles();
            outcome.lists = Seen();
            ExpectListsInShape();
            pim::ReleaseLists(r);  // what the destructor does, while the object is whole
            StandinFailResizeCall(0);
            pim::FailIndexAllocation(0, false);
            outcome.calls = "calls " + std::to_string(recorder.calls()) + " " + recorder.digest();
            // Without the memory for the outlets' sums a kind's documents are read once
            // per outlet, and once when there is none.
            for (const auto &[key, walks] : recorder.documentWalks())
                EXPECT_TRUE(run.failIndex == 0 || walks.first <= std::max(1, walks.second)) << "document walks, key " << key;
        }
        if (trace != nullptr) std::fclose(trace);

        Fnv64 written;
        for (const char *file : files) {
            const std::string text = PortableFile(file);
            ExpectWellFormed(file, text);
            written.Add(std::string(file) + "\n");
            written.Add(text);
        }
        outcome.files = written.Hex();
        return outcome;
    }
};

TEST_P(HostCalls, AsksAndWritesWhatItAlwaysDid) {
    const MonthRun &run = GetParam();
    const Outcome got = Run(run);
    if (const char *path = std::getenv("PIM_HOST_CALLS_WRITE"); path != nullptr && run.sameAs.empty())
        std::ofstream(path, std::ios::binary | std::ios::app)
            << run.name << " " << got.calls << (run.failResize != 0 ? "" : " files " + got.files) << "\n";
    static const std::map<std::string, Recorded> expected = Expected();
    const std::string &name = run.sameAs.empty() ? run.name : run.sameAs;
    auto want = expected.find(name);
    ASSERT_NE(want, expected.end()) << "no digests recorded for " << name;
    if (run.failIndex == 0) {
        EXPECT_EQ(got.calls, want->second.calls) << "the host calls";
    }
    if (run.failResize == 0) {
        EXPECT_EQ(got.files, want->second.files) << "the files";
        return;
    }
    MonthRun whole = run;
    whole.failResize = 0;
    ExpectOnlyRowsLost(got.lists, Run(whole).lists);
}

INSTANTIATE_TEST_SUITE_P(Months, HostCalls, ::testing::ValuesIn(Runs()), [](const auto &info) {
    std::string name;
    for (char c : info.param.name) name += c == '-' ? '_' : c;
    return name;
});

}  // namespace
