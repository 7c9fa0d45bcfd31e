// The collection of a month's sales into the report's lists, over small hand-made
// months loaded into the stand-in host.
#include <cstring>

#include "month_generator.h"
#include "plugin_fixture.h"
#include "report_fixture.h"
#include "row_index.h"

using namespace testing_support;
using Rows = std::vector<std::string>;

namespace {

// Goods of groups 1 and 2 (selected in most tests) and 3 (not), in warehouses 1, 2
// and 100; three customers.
const std::string kStock = Month({
    "year | 2025",
    "group | 1 | Papierosy",
    "group | 2 | Tytoń",
    "group | 3 | Napoje",
    "goods | 1 | 10 | 1 | ZEF-C20 | szt. | 500 | Zefir Czerwone 20",
    "goods | 1 | 11 | 1 | MEW-N20 | szt. | 300.5 | Mewa Niebieskie 20",
    "goods | 1 | 12 | 2 | TYT-50 | op. | 40 | Tytoń 50 g",
    "goods | 1 | 13 | 3 | WODA-15 | but. | 100 | Woda 1,5 l",
    "goods | 2 | 10 | 1 | ZEF-C20 | szt. | 50 | Zefir Czerwone 20",
    "goods | 100 | 10 | 1 | ZEF-C20 | szt. | 900 | Zefir Czerwone 20",
    "customer | 7 | Kiosk Ruch 7 | 5260250274 | ul. Długa 5 00-950 Warszawa",
    "customer | 8 | Sklep Ewa | 7010000001 | 31-100 Kraków os. Zielone 3",
    "customer | 9 | Delikatesy Gniezno | 1230000002 | Gniezno",
});

constexpr uint16_t kInvoices = pim::kKindInvoices;
constexpr uint16_t kReceipts = pim::kKindReceipts;
constexpr uint16_t kBoth = kInvoices | kReceipts;

class Collection : public ReportTest {
protected:
    // Loads the stock above plus the documents, collects March 2025 for groups 1 and 2.
    void CollectMarch(const std::string &documents, uint16_t kinds, std::initializer_list<int> groups = {1, 2}) {
        LoadMonth(kStock + documents);
        NewReport(3, groups, kinds);
        Collect();
    }
    std::vector<std::string> ItemsOf(int16_t customerNo) const { return OutletItems(OutletOf(customerNo)); }
    std::vector<int> Customers() const {
        std::vector<int> out;
        for (int32_t o = 0; o < report_->outletCount; ++o) out.push_back(report_->outletList[o].customerNo);
        return out;
    }
};

TEST_F(Collection, ItemsAreTheSelectedGoodsOfWarehousesBelow100) {
    // Also from a host that leaves the table slot as it was for a warehouse without
    // goods (3, after 2's table): no warehouse's goods are walked twice.
    for (int32_t onlyStocked : {0, 1}) {
        StandinSetGoodsTablesOnlyStocked(onlyStocked);
        CollectMarch("", kInvoices);
        EXPECT_EQ(Items(), Rows({"1/10 ZEF-C20 0 500000 0", "1/11 MEW-N20 0 300500 0", "1/12 TYT-50 0 40000 0",
                                 "2/10 ZEF-C20 0 50000 0"}));
        EXPECT_EQ(report().itemList[1].goodsName, std::string("Mewa Niebieskie 20"));
        EXPECT_EQ(Outlets(), Rows());
    }
}

TEST_F(Collection, InvoiceWithoutCustomerCountsNowhere) {
    CollectMarch(Month({"invoice | 1 | 03.03.2025 | 0 | Jan Kowalski | | Gniezno", "line | 1 | 10 | 5"}), kBoth);
    EXPECT_EQ(Outlets(), Rows());
    EXPECT_EQ(Items()[0], "1/10 ZEF-C20 0 500000 0");
}

TEST_F(Collection, ReceiptWithoutCustomerAddsToTheItems) {
    for (uint32_t failIndex : {0u, 1u}) {  // with index memory, and without: no outlet to walk for
        pim::FailIndexAllocation(failIndex, true);
        CollectMarch(Month({"receipt | 1 | 03.03.2025 | 0", "line | 1 | 10 | 2.5", "line | 1 | 13 | 1",
                            "receipt | 2 | 04.03.2025 | 0", "line | 1 | 10 | 1.5", "line | 2 | 10 | 3"}),
                     kReceipts);
        pim::FailIndexAllocation(0, false);
        EXPECT_EQ(Outlets(), Rows());
        EXPECT_EQ(Items(), Rows({"1/10 ZEF-C20 1 500000 4000", "1/11 MEW-N20 0 300500 0",
                                 "1/12 TYT-50 0 40000 0", "2/10 ZEF-C20 1 50000 3000"}));
    }
}

TEST_F(Collection, ReceiptsWithoutCustomerCountOnlyWhenReceiptsAreChosen) {
    CollectMarch(Month({"receipt | 1 | 03.03.2025 | 0", "line | 1 | 10 | 2"}), kInvoices);
    EXPECT_EQ(Items()[0], "1/10 ZEF-C20 0 500000 0");
}

TEST_F(Collection, ReceiptWithCustomerIsLikeAnInvoice) {
    CollectMarch(Month({"receipt | 1 | 03.03.2025 | 7", "line | 1 | 10 | 2"}), kReceipts);
    EXPECT_EQ(Outlets(), Rows({"7 Kiosk Ruch 7|ul. Długa 5|00-950|Warszawa|5260250274"}));
    EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 2000 szt. 1/10", "TOTAL TOTAL 2000 SZTA. 0/0"}));
    EXPECT_EQ(Items()[0], "1/10 ZEF-C20 1 500000 0");  // sold, but not a receipt without customer
}

TEST_F(Collection, BothBoundsOfTheMonthCount) {
    CollectMarch(Month({"invoice | 1 | 28.02.2025 | 7", "line | 1 | 10 | 1",     //
                        "invoice | 2 | 01.03.2025 | 7", "line | 1 | 10 | 10",    //
                        "invoice | 3 | 31.03.2025 | 7", "line | 1 | 10 | 100",   //
                        "invoice | 4 | 01.04.2025 | 7", "line | 1 | 10 | 1000",  //
                        "invoice | 5 | - | 7", "line | 1 | 10 | 10000",          //
                        "invoice | 6 | 15.03.2024 | 8", "line | 1 | 10 | 1",     //
                        "receipt | 7 | 31.03.2025 | 0", "line | 1 | 11 | 3",    //
                        "receipt | 8 | - | 0", "line | 1 | 11 | 30"}),
                 kBoth);
    EXPECT_EQ(Customers(), std::vector<int>({7}));
    EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 110000 szt. 1/10", "TOTAL TOTAL 110000 SZTA. 0/0"}));
    EXPECT_EQ(Items()[1], "1/11 MEW-N20 1 300500 3000");
}

TEST_F(Collection, CustomerWithoutSelectedGoodsIsNoOutlet) {
    CollectMarch(Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 13 | 5",  //
                        "invoice | 2 | 04.03.2025 | 8", "line | 1 | 13 | 1", "line | 1 | 12 | 1"}),
                 kInvoices);
    EXPECT_EQ(Customers(), std::vector<int>({8}));
}

TEST_F(Collection, OutletsInOrderOfFirstDocumentWithTheFirstBuyerData) {
    CollectMarch(Month({"invoice | 1 | 10.03.2025 | 9", "line | 1 | 10 | 1",
                        "invoice | 2 | 02.03.2025 | 7 | Kiosk Nowy | 111 | 00-001 Warszawa", "line | 1 | 10 | 1",
                        "invoice | 3 | 01.03.2025 | 7", "line | 1 | 10 | 1",  //
                        "invoice | 4 | 05.03.2025 | 8", "line | 1 | 12 | 1"}),
                 kInvoices);
    EXPECT_EQ(Outlets(), Rows({"9 Delikatesy Gniezno|||Gniezno|1230000002", "7 Kiosk Nowy||00-001|Warszawa|111",
                               "8 Sklep Ewa|os. Zielone 3|31-100|Kraków|7010000001"}));
}

TEST_F(Collection, LinesOfOneGoodsAndWarehouseMerge) {
    CollectMarch(Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 10 | 1", "line | 1 | 12 | 2", "line | 1 | 10 | 3",
                        "line | 2 | 10 | 4",  //
                        "invoice | 2 | 20.03.2025 | 7", "line | 1 | 12 | 5"}),
                 kInvoices);
    EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 4000 szt. 1/10", "TYT-50 Tytoń 50 g 7000 op. 1/12",
                                "ZEF-C20 Zefir Czerwone 20 4000 szt. 2/10", "TOTAL TOTAL 15000 SZTA. 0/0"}));
}

TEST_F(Collection, TotalCountsEveryLineOfTheOutlet) {
    // Listed goods 2.5 and 1.5; water of a group not selected 3; goods of warehouse 100
    // 1; a line of a selected group whose goods record is in a group not selected 0.25.
    CollectMarch(Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 10 | 2.5", "line | 1 | 13 | 3",
                        "line | 100 | 10 | 1",  //
                        "invoice | 2 | 04.03.2025 | 7", "line | 1 | 11 | 1.5", "line | 1 | 13 | 0.25 | 1"}),
                 kInvoices);
    EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 2500 szt. 1/10", "MEW-N20 Mewa Niebieskie 20 1500 szt. 1/11",
                                "TOTAL TOTAL 8250 SZTA. 0/0"}));
    EXPECT_EQ(Items(), Rows({"1/10 ZEF-C20 1 500000 0", "1/11 MEW-N20 1 300500 0", "1/12 TYT-50 0 40000 0",
                             "2/10 ZEF-C20 0 50000 0"}));
}

TEST_F(Collection, OutletWhoseLinesMatchNoItemKeepsAnEmptyList) {
    // The line's group is selected, but the goods record's group is not: an outlet
    // row, no item row, no TOTAL.
    CollectMarch(Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 13 | 2 | 2"}), kInvoices);
    EXPECT_EQ(Customers(), std::vector<int>({7}));
    EXPECT_EQ(ItemsOf(7), Rows());
    EXPECT_EQ(report().outletList[0].outletItems, nullptr);
}

TEST_F(Collection, BothKindsKeepInvoiceRowsFirst) {
    CollectMarch(Month({"receipt | 1 | 02.03.2025 | 8", "line | 1 | 11 | 1",  //
                        "invoice | 2 | 03.03.2025 | 7", "line | 1 | 10 | 2", "line | 1 | 13 | 1",
                        "receipt | 3 | 04.03.2025 | 7", "line | 1 | 12 | 3", "line | 1 | 10 | 4",
                        "receipt | 4 | 05.03.2025 | 0", "line | 1 | 10 | 5"}),
                 kBoth);
    EXPECT_EQ(Customers(), std::vector<int>({7, 8}));
    EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 6000 szt. 1/10", "TOTAL TOTAL 3000 SZTA. 0/0",
                                "TYT-50 Tytoń 50 g 3000 op. 1/12", "TOTAL TOTAL 7000 SZTA. 0/0"}));
    EXPECT_EQ(ItemsOf(8), Rows({"MEW-N20 Mewa Niebieskie 20 1000 szt. 1/11", "TOTAL TOTAL 1000 SZTA. 0/0"}));
    EXPECT_EQ(Items()[0], "1/10 ZEF-C20 1 500000 5000");
}

TEST_F(Collection, NoLineMergesIntoATotalRow) {
    // Goods number 0 of warehouse 0 has the key of a TOTAL row.
    CollectMarch(Month({"goods | 0 | 0 | 1 | ZERO | szt. | 1 | Towar zero",  //
                        "invoice | 1 | 03.03.2025 | 7", "line | 1 | 10 | 2",
                        "receipt | 2 | 04.03.2025 | 7", "line | 0 | 0 | 5"}),
                 kBoth);
    EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 2000 szt. 1/10", "TOTAL TOTAL 2000 SZTA. 0/0",
                                "ZERO Towar zero 5000 szt. 0/0", "TOTAL TOTAL 5000 SZTA. 0/0"}));
}

// A TOTAL row is the report's own mark, not its text: goods 0 of warehouse 0 coded
// "TOTAL" is a goods item like any other, merging on invoices and receipts, while no
// line ever merges into the TOTAL rows beside it; with or without index memory, and
// whether the item's first line comes before the outlet's first TOTAL row or after.
TEST_F(Collection, AnItemCodedTotalMergesLikeAnyOther) {
    const std::string item = "goods | 0 | 0 | 1 | TOTAL | SZTA. | 1 | TOTAL\n";
    const std::string before = Month({"invoice | 1 | 03.03.2025 | 7", "line | 0 | 0 | 2", "line | 1 | 10 | 1",
                                      "invoice | 2 | 04.03.2025 | 7", "line | 0 | 0 | 3",
                                      "receipt | 3 | 05.03.2025 | 7", "line | 0 | 0 | 4", "line | 1 | 11 | 1",
                                      "receipt | 4 | 06.03.2025 | 7", "line | 0 | 0 | 5"});
    const std::string after = Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 10 | 1",
                                     "receipt | 2 | 05.03.2025 | 7", "line | 0 | 0 | 4",
                                     "receipt | 3 | 06.03.2025 | 7", "line | 0 | 0 | 5"});
    for (uint32_t failIndex : {0u, 1u}) {
        SCOPED_TRACE(failIndex == 0 ? "with index memory" : "without");
        pim::FailIndexAllocation(failIndex, true);
        CollectMarch(item + before, kBoth);
        EXPECT_EQ(ItemsOf(7), Rows({"TOTAL TOTAL 14000 SZTA. 0/0", "ZEF-C20 Zefir Czerwone 20 1000 szt. 1/10",
                                    "TOTAL TOTAL 6000 SZTA. 0/0", "MEW-N20 Mewa Niebieskie 20 1000 szt. 1/11",
                                    "TOTAL TOTAL 10000 SZTA. 0/0"}));
        DestroyReport();
        CollectMarch(item + after, kBoth);
        EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 1000 szt. 1/10", "TOTAL TOTAL 1000 SZTA. 0/0",
                                    "TOTAL TOTAL 9000 SZTA. 0/0", "TOTAL TOTAL 9000 SZTA. 0/0"}));
        DestroyReport();
        pim::FailIndexAllocation(0, false);
    }
}

TEST_F(Collection, NegativeQuantitiesReduceAndSumsWrapAround) {
    CollectMarch(Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 10 | 5", "line | 1 | 10 | -7.5",
                        "invoice | 2 | 03.03.2025 | 8", "line | 1 | 10 | 2147483.647", "line | 1 | 10 | 0.002",
                        "receipt | 3 | 03.03.2025 | 0", "line | 1 | 11 | 2147483.647", "line | 1 | 11 | 2147483.647"}),
                 kBoth);
    EXPECT_EQ(ItemsOf(7), Rows({"ZEF-C20 Zefir Czerwone 20 -2500 szt. 1/10", "TOTAL TOTAL -2500 SZTA. 0/0"}));
    EXPECT_EQ(ItemsOf(8), Rows({"ZEF-C20 Zefir Czerwone 20 -2147483647 szt. 1/10",
                                "TOTAL TOTAL -2147483647 SZTA. 0/0"}));
    EXPECT_EQ(Items()[1], "1/11 MEW-N20 1 300500 -2");
}

TEST_F(Collection, GroupNumbersOutsideThePickersRangeAreNotSelected) {
    // Group flags sit right before the report's dates, whose bytes are not zero: a
    // look past either end of the flags would find a "selected" group.
    CollectMarch(Month({"goods | 1 | 20 | 451 | G451 | szt. | 1 | Poza zakresem",
                        "goods | 1 | 21 | -1 | GM1 | szt. | 1 | Ujemna grupa",
                        "goods | 1 | 22 | 32767 | GMAX | szt. | 1 | Duża grupa",  //
                        "invoice | 1 | 03.03.2025 | 7", "line | 1 | 13 | 1 | 451", "line | 1 | 13 | 1 | -1",
                        "line | 1 | 20 | 1 | 451"}),
                 kInvoices, {0, 1, 2, 450});
    EXPECT_EQ(Items(), Rows({"1/10 ZEF-C20 0 500000 0", "1/11 MEW-N20 0 300500 0", "1/12 TYT-50 0 40000 0",
                             "2/10 ZEF-C20 0 50000 0"}));
    EXPECT_EQ(Outlets(), Rows());
}

TEST_F(Collection, TextsStopAtTheirRecordFields) {
    LoadMonth(kStock + Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 10 | 1"}));
    // Fields filled to their last byte, no terminator, and the next bytes not zero.
    // The address runs into a tax number that looks like a postal code.
    std::string name(101, 'B'), address(51, 'A'), goodsName(121, 'N'), code(17, 'C'), unit = "SZTUKA";
    ASSERT_EQ(StandinPatchRecord(44, 1, 0, 53, name.data(), 101), 1);
    ASSERT_EQ(StandinPatchRecord(44, 1, 0, 154, address.data(), 51), 1);
    ASSERT_EQ(StandinPatchRecord(44, 1, 0, 205, "00-950", 7), 1);
    ASSERT_EQ(StandinPatchRecord(45, 1, 0, 2, goodsName.data(), 121), 1);
    ASSERT_EQ(StandinPatchRecord(45, 1, 0, 123, code.data(), 17), 1);
    ASSERT_EQ(StandinPatchRecord(45, 1, 0, 144, unit.data(), 6), 1);
    ASSERT_EQ(StandinPatchRecord(45, 1, 0, 150, "XXXX", 4), 1);
    ASSERT_EQ(StandinPatchRecord(4, 1, 0, 2, goodsName.data(), 121), 1);
    ASSERT_EQ(StandinPatchRecord(4, 1, 0, 123, code.data(), 17), 1);
    ASSERT_EQ(StandinPatchRecord(4, 1, 0, 140, "YYYY", 4), 1);
    NewReport(3, {1}, kInvoices);
    Collect();
    EXPECT_EQ(report().itemList[0].goodsName, std::string(120, 'N'));
    EXPECT_EQ(report().itemList[0].goodsCode, std::string(16, 'C'));
    ASSERT_EQ(report().outletCount, 1);
    const pim::OutletRow &outlet = report().outletList[0];
    EXPECT_EQ(outlet.name, std::string(100, 'B'));
    EXPECT_EQ(outlet.city, std::string(50, 'A'));
    EXPECT_EQ(outlet.postalCode, std::string());
    EXPECT_EQ(outlet.taxNumber, std::string("00-950"));
    ASSERT_EQ(outlet.outletItemCount, 2);
    EXPECT_EQ(outlet.outletItems[0].goodsName, std::string(120, 'N'));
    EXPECT_EQ(outlet.outletItems[0].goodsCode, std::string(16, 'C'));
    EXPECT_EQ(outlet.outletItems[0].unit, std::string("SZTUK"));
}

// Goods 1..n of group 1 in warehouse 1.
std::string ManyGoods(int n, int warehouse = 1) {
    std::string out;
    for (int g = 1; g <= n; ++g)
        out += "goods | " + std::to_string(warehouse) + " | " + std::to_string(g) + " | 1 | K" + std::to_string(g) +
               " | szt. | 1 | Towar " + std::to_string(g) + "\n";
    return out;
}

TEST_F(Collection, ListsGrowBy50RowsFromTheFirstAndThe51st) {
    std::string month = "year | 2025\n" + ManyGoods(51);
    month += "invoice | 1 | 03.03.2025 | 1 | Klient 1 | | Gniezno\n";
    for (int g = 1; g <= 51; ++g) month.append("line | 1 | ").append(std::to_string(g)).append(" | 1\n");
    for (int c = 2; c <= 51; ++c)
        month += "invoice | " + std::to_string(c) + " | 03.03.2025 | " + std::to_string(c) + " | Klient " +
                 std::to_string(c) + " | | Gniezno\nline | 1 | 1 | 1\n";
    LoadMonth(month);
    NewReport(3, {1}, kInvoices);
    report().CollectItems();
    collectedItems_ = true;
    EXPECT_EQ(report().itemCount, 51);
    EXPECT_EQ(report().itemCapacity, 100);
    report().CollectOutlets(811);
    EXPECT_EQ(report().outletCount, 51);
    EXPECT_EQ(report().outletCapacity, 100);
    report().CollectSales(811);
    EXPECT_EQ(report().outletList[0].outletItemCount, 52);
    EXPECT_EQ(report().outletList[0].outletItemCapacity, 100);
    EXPECT_EQ(report().outletList[1].outletItemCount, 2);
    EXPECT_EQ(report().outletList[1].outletItemCapacity, 50);
    EXPECT_EQ(OutletItems(0)[50], "K51 Towar 51 1000 szt. 1/51");
    EXPECT_EQ(OutletItems(0)[51], "TOTAL TOTAL 51000 SZTA. 0/0");
    EXPECT_EQ(StandinCallCount(21281), 2u + 2u + 2u + 50u);  // items, outlets, outlet 0, the other outlets
}

TEST_F(Collection, MoreThan32767ItemRowsAreAllWalked) {
    std::string month = "year | 2025\n" + ManyGoods(30000, 1) + ManyGoods(3000, 2);
    month += "invoice | 1 | 03.03.2025 | 5 | Hurt | | Gniezno\nline | 2 | 2999 | 4\n";
    month += "receipt | 2 | 03.03.2025 | 0\nline | 2 | 3000 | 6\n";
    LoadMonth(month);
    NewReport(3, {1}, kBoth);
    Collect();
    ASSERT_EQ(report().itemCount, 33000);
    EXPECT_EQ(Items()[32998], "2/2999 K2999 1 1000 0");
    EXPECT_EQ(Items()[32999], "2/3000 K3000 1 1000 6000");
    EXPECT_EQ(ItemsOf(5), Rows({"K2999 Towar 2999 4000 szt. 2/2999", "TOTAL TOTAL 4000 SZTA. 0/0"}));
}

// Every allocation failing in turn, over months of several shapes. A resize of the
// host's that fails only loses rows, leaks nothing, and a file is reported "export
// OK" only when it is the file of the run without the failure; any other is reported
// "BŁĄD exportu" and no file of its name is left, an older one included. A failure of
// the plug-in's own index memory changes nothing at all.
TEST_F(Collection, EveryFailingAllocationOnlyLosesRowsAndFailsTheirFiles) {
    auto shape = [](uint64_t seed, int32_t documents, int32_t lines, int32_t outlets, int32_t goods) {
        return genmonth::GenerateMonth({.seed = seed, .documents = documents, .linesPerDocument = lines,
                                        .outlets = outlets, .goods = goods, .warehouses = 3, .groups = 4,
                                        .selectedGroups = 2, .year = kTestYear});
    };
    // Outlet 7's invoice rows and 8's fill the index of outlet rows to where it grows
    // on the receipts: after that growth fails, 7's goods 0/0 (a TOTAL row's key) must
    // not merge into its invoice TOTAL, nor 8's, the last outlet's, goods 3/1 make a
    // second row.
    auto lines = [](int from, int to) {  // one of each goods from..to of warehouse 3
        std::string out;
        for (int g = from; g <= to; ++g) out.append("line | 3 | ").append(std::to_string(g)).append(" | 1\n");
        return out;
    };
    const std::string receiptsGrowth =
        kStock + "goods | 0 | 0 | 1 | ZERO | szt. | 1 | Towar zero\n" + ManyGoods(55, 3) +
        "invoice | 1 | 03.03.2025 | 7\n" + lines(2, 41) +
        "invoice | 2 | 04.03.2025 | 8\nline | 3 | 1 | 1\nreceipt | 3 | 05.03.2025 | 7\n" + lines(42, 55) +
        "line | 0 | 0 | 2\nreceipt | 4 | 06.03.2025 | 8\nline | 3 | 1 | 4\n";
    const std::string months[] = {
        kStock + ManyGoods(55, 3) +
            Month({"invoice | 1 | 03.03.2025 | 7", "line | 1 | 10 | 1", "line | 3 | 52 | 2", "line | 1 | 10 | 3",
                   "invoice | 2 | 04.03.2025 | 8", "line | 1 | 12 | 1", "line | 1 | 13 | 1",
                   "receipt | 3 | 05.03.2025 | 9", "line | 1 | 11 | 2", "receipt | 4 | 05.03.2025 | 7",
                   "line | 1 | 12 | 2", "receipt | 5 | 06.03.2025 | 0", "line | 3 | 51 | 7"}),
        receiptsGrowth,
        // Outlet 7's 50 line rows fill its list: its TOTAL row needs a growth of its own.
        kStock + ManyGoods(55, 3) + "invoice | 1 | 03.03.2025 | 7\n" + lines(1, 50) +
            "receipt | 2 | 04.03.2025 | 8\nline | 1 | 10 | 1\n",
        shape(21, 90, 6, 4, 240),   // few outlets, their lists past 50 rows
        shape(22, 160, 2, 60, 45),  // outlets past the list's first 50 rows
    };
    const char *kinds[] = {"VAT", "PAR", "TOW"};
    const std::string failed = Mz("BŁĄD exportu");
    bool onlyInvoicesFailed = false;
    for (const std::string &month : months) {
        LoadMonth(month);
        char names[3][pim::kExportFileNameSize];
        auto run = [&] {
            pim::CRaportSprzPapierosow &r = NewReport(3, {1, 2}, kBoth);
            std::strcpy(r.options.outletShortName, "SKLEP1");
            std::strcpy(r.options.branchName, "Lublin");
            std::strcpy(r.periodStart, "01.03.2025");
            for (int f = 0; f < 3; ++f) {
                r.MakeExportFileName(names[f], r.periodStart, kinds[f], r.options.outletShortName);
                WriteFile(names[f], "older\n");
            }
            Collect();
            // Each file's outcome in the final notice and what is left under its name,
            // then the lists.
            std::vector<std::string> out(6);
            StandinClearEvents();
            r.ExportFiles();
            const std::vector<ShownEvent> notice = Events();
            EXPECT_EQ(notice.size(), 1u);
            for (int f = 0; f < 3 && notice.size() == 1; ++f) {
                const std::string &text = notice[0].text;
                const std::size_t at = text.find(" - ", text.find(names[f])) + 3;
                out[2 * f] = text.substr(at, text.find('\n', at) - at);
                out[2 * f + 1] = FileExists(names[f]) ? ReadFile(names[f]) : "(absent)";
            }
            for (const std::string &item : Items()) out.push_back(item);
            for (int32_t o = 0; o < r.outletCount; ++o)
                for (const std::string &row : OutletItems(o)) out.push_back(Outlets()[o] + ": " + row);
            return out;
        };
        const uint32_t before = StandinCallCount(kOrd_VeldarResizeBlock);
        pim::FailIndexAllocation(0, false);
        const std::vector<std::string> whole = run();
        const SeenLists wholeLists = Seen();
        const uint32_t resizes = StandinCallCount(kOrd_VeldarResizeBlock) - before;
        const uint32_t indexAllocations = pim::IndexAllocations();
        ASSERT_GE(resizes, 6u);
        DestroyReport();

        for (uint32_t k = 1; k <= resizes + indexAllocations; ++k) {
            const bool resize = k <= resizes;
            SCOPED_TRACE(resize ? "failing resize call " + std::to_string(k) + " of " + std::to_string(resizes)
                                : "failing index allocation " + std::to_string(k - resizes));
            StandinFailResizeCall(resize ? k : 0);
            pim::FailIndexAllocation(resize ? 0 : k - resizes, false);
            const std::vector<std::string> got = run();
            StandinFailResizeCall(0);
            pim::FailIndexAllocation(0, false);
            if (!resize) {
                EXPECT_TRUE(got == whole) << "the run differs from the one without the failure";
            } else {
                ExpectOnlyRowsLost(Seen(), wholeLists);
                ExpectListsInShape();
                for (int f = 0; f < 3; ++f) {
                    if (got[2 * f] == failed) {
                        EXPECT_EQ(got[2 * f + 1], "(absent)") << names[f];
                    } else {
                        EXPECT_EQ(got[2 * f], whole[2 * f]) << names[f];
                        EXPECT_TRUE(got[2 * f + 1] == whole[2 * f + 1]) << names[f] << " is not the whole run's";
                    }
                }
                onlyInvoicesFailed |= got[0] == failed && got[4] != failed;
            }
            DestroyReport();
            EXPECT_EQ(StandinLiveBlocks(), 0);
            ExpectNoFileLeftOpen();
        }
    }
    EXPECT_TRUE(onlyInvoicesFailed) << "a lost outlet item row fails the invoice file alone";
}

}  // namespace
