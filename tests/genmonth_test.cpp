// The month generator: the same month for the same seed, a month the stand-in loads
// with exactly the counts asked for, and the shapes the report must meet in one.
#include <set>

#include "month_generator.h"
#include "month_pass.h"
#include "report_fixture.h"

using namespace testing_support;

namespace {

genmonth::MonthShape SmallShape(uint64_t seed) {
    genmonth::MonthShape s;
    s.seed = seed;
    s.documents = 300;
    s.linesPerDocument = 4;
    s.outlets = 25;
    s.goods = 101;  // not a multiple of the warehouses
    s.warehouses = 4;
    s.groups = 6;
    s.selectedGroups = 2;
    s.year = kTestYear;
    return s;
}

class GeneratedMonth : public ReportTest {};

TEST_F(GeneratedMonth, SameSeedSameMonthOtherSeedAnother) {
    EXPECT_EQ(genmonth::GenerateMonth(SmallShape(5)), genmonth::GenerateMonth(SmallShape(5)));
    EXPECT_NE(genmonth::GenerateMonth(SmallShape(5)), genmonth::GenerateMonth(SmallShape(6)));
}

TEST_F(GeneratedMonth, LoadsWithTheCountsAskedFor) {
    const genmonth::MonthShape shape = SmallShape(1);
    LoadMonth(genmonth::GenerateMonth(shape));
    const genmonth::PassCounts month = genmonth::OnePass();
    collectedItems_ = true;  // the pass walked the warehouses as the report does
    EXPECT_EQ(month.goods, static_cast<uint32_t>(shape.goods));  // the returns warehouse lies beyond 99
    EXPECT_EQ(month.documents, static_cast<uint32_t>(shape.documents));
    EXPECT_EQ(month.lines, static_cast<uint32_t>(shape.documents * shape.linesPerDocument));
}
// The report over a generated month meets what the bundled month has: outlets with
// every shape of address, receipts without a customer, documents outside the month.
TEST_F(GeneratedMonth, HoldsTheShapesOfARealMonth) {
    genmonth::MonthShape shape = SmallShape(3);
    shape.month = 2;  // the documents before the month lie in another year
    const std::string text = genmonth::GenerateMonth(shape);
    EXPECT_NE(text.find("| 31.01.2025 |"), std::string::npos);
    EXPECT_NE(text.find("| 01.03.2025 |"), std::string::npos);
    EXPECT_NE(text.find("| - |"), std::string::npos);
    LoadMonth(text);
    NewReport(shape.month, {1, 2}, pim::kKindInvoices | pim::kKindReceipts);
    Collect();

    EXPECT_GT(report().outletCount, shape.outlets / 2);
    std::set<std::string> addressShapes;  // which of street, postal code, city an outlet has
    for (int32_t o = 0; o < report().outletCount; ++o) {
        const pim::OutletRow &row = report().outletList[o];
        addressShapes.insert(std::string(row.street[0] ? "S" : "-") + (row.postalCode[0] ? "P" : "-") +
                             (row.city[0] ? "C" : "-"));
    }
    EXPECT_EQ(addressShapes, (std::set<std::string>{"---", "--C", "-PC", "SPC"}));
    int32_t soldOnReceipts = 0;
    for (int32_t i = 0; i < report().itemCount; ++i) soldOnReceipts += report().itemList[i].receiptsQuantity != 0;
    EXPECT_GT(soldOnReceipts, 0) << "receipts without a customer";
}

// Asked for, the month has lines that keep texts of their own (their goods renamed
// or gone) and goods numbers twice in a warehouse; the report meets both.
TEST_F(GeneratedMonth, HoldsTheShapesOfAHostsTablesWhenAskedFor) {
    genmonth::MonthShape shape = SmallShape(4);
    shape.ownLineTexts = 10;
    shape.repeatedGoods = 10;
    const std::string text = genmonth::GenerateMonth(shape);
    for (const char *mark : {"(partia B)", "(dawna nazwa)", "(wycofane)"})
        EXPECT_NE(text.find(mark), std::string::npos) << mark;
    EXPECT_EQ(genmonth::GenerateMonth(SmallShape(4)).find("(partia B)"), std::string::npos) << "off by default";
    LoadMonth(text);
    NewReport(shape.month, {1, 2}, pim::kKindInvoices | pim::kKindReceipts);
    Collect();

    std::set<std::string> itemCodes, keys;
    int32_t twice = 0;
    for (int32_t i = 0; i < report().itemCount; ++i) {
        const pim::ItemRow &row = report().itemList[i];
        itemCodes.insert(row.goodsCode);
        twice += !keys.insert(std::to_string(row.warehouseNo) + "/" + std::to_string(row.goodsNo)).second;
    }
    EXPECT_GT(twice, 0) << "item rows of one goods number and warehouse";
    int32_t ownTexts = 0;
    for (int32_t o = 0; o < report().outletCount; ++o)
        for (int32_t k = 0; k < report().outletList[o].outletItemCount; ++k) {
            const std::string code = report().outletList[o].outletItems[k].goodsCode;
            ownTexts += code != "TOTAL" && itemCodes.count(code) == 0;
        }
    EXPECT_GT(ownTexts, 0) << "outlet rows with a line's own code";
}

TEST(GeneratedMonthShape, RefusesWhatCannotBeGenerated) {
    EXPECT_EQ(genmonth::CheckShape(SmallShape(1)), "");
    for (auto broken : {+[](genmonth::MonthShape &s) { s.outlets = 40000; },
                        +[](genmonth::MonthShape &s) { s.goods = s.warehouses - 1; },
                        +[](genmonth::MonthShape &s) { s.selectedGroups = s.groups + 1; },
                        +[](genmonth::MonthShape &s) { s.month = 13; },
                        +[](genmonth::MonthShape &s) { s.ownLineTexts = 101; },
                        +[](genmonth::MonthShape &s) { s.repeatedGoods = -1; }}) {
        genmonth::MonthShape shape = SmallShape(1);
        broken(shape);
        EXPECT_NE(genmonth::CheckShape(shape), "");
    }
}

}  // namespace
