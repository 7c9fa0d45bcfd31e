#include "report_fixture.h"

#include <algorithm>
#include <cstdio>

#include "frame.h"
#include "host_imports.h"
#include "mazovia.h"
#include "plugin_fixture.h"
#include "row_index.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace testing_support {

namespace {

std::string Utf8(const char *text) { return mazovia::toUtf8(text); }

std::string Quantity(int32_t thousandths) { return std::to_string(thousandths); }

std::set<std::string> OutletItemKeys(const pim::OutletRow &outlet) {
    std::set<std::string> keys;
    for (int32_t i = 0; i < outlet.outletItemCount; ++i) {
        const pim::OutletItemRow &row = outlet.outletItems[i];
        keys.insert(row.totalRow != 0
                        ? "TOTAL " + std::to_string(row.quantity)
                        : std::to_string(row.warehouseNo) + "/" + std::to_string(row.goodsNo));
    }
    return keys;
}

bool IsSubsequence(const std::vector<std::string> &part, const std::vector<std::string> &whole) {
    std::size_t at = 0;
    for (const std::string &p : part) {
        while (at < whole.size() && whole[at] != p) ++at;
        if (at++ >= whole.size()) return false;
    }
    return true;
}

bool IsSubset(const std::set<std::string> &part, const std::set<std::string> &whole) {
    return std::includes(whole.begin(), whole.end(), part.begin(), part.end());
}

template <class Row>
void ExpectListShape(const Row *rows, int32_t count, int32_t capacity) {
    EXPECT_GE(count, 0);
    EXPECT_LE(count, capacity);
    EXPECT_EQ(capacity % 50, 0);
    EXPECT_EQ(rows == nullptr, capacity == 0);
}

}  // namespace

std::string Month(std::initializer_list<const char *> lines) {
    std::string out;
    for (const char *line : lines) out += std::string(line) + "\n";
    return out;
}

void ReportTest::SetUp() {
#if defined(_WIN32)
    // The program is the plug-in here: its attach step finds VELDAR for the binder.
    static const bool attached = (pim::AttachStep(GetModuleHandleA(nullptr), DLL_PROCESS_ATTACH, nullptr), true);
    (void)attached;
#endif
    StandinReset();
    StandinSetEcho(0);
}

void ReportTest::TearDown() {
    StandinCursorStats stats{};
    StandinGetCursorStats(&stats);
    EXPECT_EQ(stats.openNow, 0) << "a cursor was left open";
    EXPECT_EQ(stats.misuses, 0u) << "a cursor was misused";
    EXPECT_EQ(stats.opened, stats.closed) << "every cursor is closed exactly once";
    EXPECT_LE(stats.mostOpen, 2) << "at most a document and a line cursor at once";
    EXPECT_EQ(StandinFaultCount(), 0) << "a block handed to the host was not 8-aligned";
    if (collectedItems_) {
        EXPECT_EQ(StandinCurrentWarehouse(), 100);
    }
    report_.reset();
    EXPECT_EQ(StandinLiveBlocks(), 0) << "the report object left heap blocks behind";
    EXPECT_EQ(pim::RowIndexBytes(), 0) << "the report object left index memory behind";
    ExpectNoFileLeftOpen();
}

void ReportTest::LoadMonth(const std::string &dataset) {
    const char *error = StandinLoadDatasetText(dataset.c_str(), "month");
    ASSERT_EQ(error, nullptr) << error;
}

pim::CRaportSprzPapierosow &ReportTest::NewReport(int month, std::initializer_list<int> groups, uint16_t kinds) {
    static const int lastDay[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    report_ = std::make_unique<pim::CRaportSprzPapierosow>();
    pim::CRaportSprzPapierosow &r = *report_;
    r.documentTable = host::VeldarGetTable(44);
    r.lineTable = host::VeldarGetTable(45);
    r.documentRecord = r.documentTable->record;
    r.lineRecord = r.lineTable->record;
    r.options.month = static_cast<uint16_t>(month - 1);
    r.options.documentKinds = kinds;
    for (int g : groups) r.options.groupSelected[g] = 1;
    char text[32];
    std::snprintf(text, sizeof text, "01.%02d.%04d", month, kTestYear);
    host::VeldarNormalizeDate(r.dateFrom, text);
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", lastDay[month - 1], month, kTestYear);
    host::VeldarNormalizeDate(r.dateTo, text);
    return r;
}

void ReportTest::Collect() {
    pim::CRaportSprzPapierosow &r = report();
    r.CollectItems();
    collectedItems_ = true;
    if (r.options.documentKinds & pim::kKindInvoices) {
        r.CollectOutlets(811);
        r.CollectSales(811);
    }
    if (r.options.documentKinds & pim::kKindReceipts) {
        r.CollectOutlets(24);
        r.CollectSales(24);
    }
}

std::vector<std::string> ReportTest::Items() const {
    std::vector<std::string> out;
    for (int32_t i = 0; i < report_->itemCount; ++i) {
        const pim::ItemRow &row = report_->itemList[i];
        out.push_back(std::to_string(row.warehouseNo) + "/" + std::to_string(row.goodsNo) + " " +
                      Utf8(row.goodsCode) + " " + std::to_string(row.sold) + " " + Quantity(row.stockQuantity) +
                      " " + Quantity(row.receiptsQuantity));
    }
    return out;
}

std::vector<std::string> ReportTest::Outlets() const {
    std::vector<std::string> out;
    for (int32_t o = 0; o < report_->outletCount; ++o) {
        const pim::OutletRow &row = report_->outletList[o];
        out.push_back(std::to_string(row.customerNo) + " " + Utf8(row.name) + "|" + Utf8(row.street) + "|" +
                      Utf8(row.postalCode) + "|" + Utf8(row.city) + "|" + Utf8(row.taxNumber));
    }
    return out;
}

std::vector<std::string> ReportTest::OutletItems(int32_t outlet) const {
    std::vector<std::string> out;
    if (outlet < 0 || outlet >= report_->outletCount) return out;
    const pim::OutletRow &row = report_->outletList[outlet];
    for (int32_t i = 0; i < row.outletItemCount; ++i) {
        const pim::OutletItemRow &item = row.outletItems[i];
        out.push_back(Utf8(item.goodsCode) + " " + Utf8(item.goodsName) + " " + Quantity(item.quantity) + " " +
                      Utf8(item.unit) + " " + std::to_string(item.warehouseNo) + "/" + std::to_string(item.goodsNo));
    }
    return out;
}

int32_t ReportTest::OutletOf(int16_t customerNo) const {
    for (int32_t o = 0; o < report_->outletCount; ++o)
        if (report_->outletList[o].customerNo == customerNo) return o;
    return -1;
}

ReportTest::SeenLists ReportTest::Seen() const {
    SeenLists seen;
    for (const std::string &item : Items()) seen.items.push_back(item.substr(0, item.find(' ', item.find(' ') + 1)));
    for (const std::string &outlet : Outlets()) seen.outlets.insert(outlet);
    seen.outletRows = static_cast<std::size_t>(report_->outletCount);
    for (int32_t o = 0; o < report_->outletCount; ++o)
        seen.outletItems[report_->outletList[o].customerNo] = OutletItemKeys(report_->outletList[o]);
    return seen;
}

void ReportTest::ExpectOnlyRowsLost(const SeenLists &now, const SeenLists &whole) {
    EXPECT_TRUE(IsSubsequence(now.items, whole.items));
    EXPECT_EQ(now.outlets.size(), now.outletRows) << "an outlet listed twice";
    EXPECT_TRUE(IsSubset(now.outlets, whole.outlets));
    for (const auto &[customer, keys] : now.outletItems) {
        auto all = whole.outletItems.find(customer);
        EXPECT_TRUE(all != whole.outletItems.end() && IsSubset(keys, all->second)) << "customer " << customer;
    }
}

void ReportTest::ExpectListsInShape() const {
    ExpectListShape(report_->itemList, report_->itemCount, report_->itemCapacity);
    ExpectListShape(report_->outletList, report_->outletCount, report_->outletCapacity);
    for (int32_t o = 0; o < report_->outletCount; ++o) {
        const pim::OutletRow &outlet = report_->outletList[o];
        ExpectListShape(outlet.outletItems, outlet.outletItemCount, outlet.outletItemCapacity);
    }
}

}  // namespace testing_support
