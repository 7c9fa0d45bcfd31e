// The stand-in host's sales tables: the data-set loader and the walks the host's
// key and cursor functions give over what it loaded.
#include <cstring>

#include "host_imports.h"
#include "host_records.h"
#include "mazovia.h"
#include "plugin_fixture.h"
#include "report_fixture.h"

using namespace testing_support;

namespace {

const std::string kSmall = Month({
    "# a comment, then a blank line",
    "",
    "year | 2024",
    "group | 5 | Tytoń i papierosy",
    "goods | 3 | 1 | 5 | TYT-50 | op. | 12.5 | Tytoń żółty 50 g",
    "goods | 7 | 1 | 5 | TYT-50 | op. | 2 | Tytoń żółty 50 g",
    "customer | 4 | Sklep \"Pod Lipą\" | 123-456-78-90 | ul. Lipowa 1 20-001 Lublin",
    "invoice | 10 | 29.02.2024 | 4",
    "  line | 3 | 1 | -1.5   ",
    "line | 7 | 1 | 2 | 6",
    "receipt | 11 | - | 0",
    "invoice | 12 | 01.03.2024 | 0 | Jan Nowak | | Zamość",
});

struct alignas(8) Block {
    uint8_t bytes[128] = {};
};

class Dataset : public ReportTest {};

TEST_F(Dataset, RecordsAreTheHostsLayoutsInMazovia) {
    LoadMonth(kSmall);
    EXPECT_EQ(*host::VeldarCurrentYear(), 2024);
    HostTable *documents = host::VeldarGetTable(44);
    HostTable *lines = host::VeldarGetTable(45);
    Block key, cursor;
    ASSERT_EQ(host::VeldarPrepareKey(811, nullptr, key.bytes, 0), 1);
    ASSERT_NE(host::VeldarOpenCursor(cursor.bytes, documents, 811, key.bytes, 0, 0), 0);
    ASSERT_EQ(host::VeldarFetchNext(cursor.bytes), 1);
    const auto *header = reinterpret_cast<const TsprRecord *>(documents->record);
    EXPECT_EQ(header->documentId, 10);
    EXPECT_EQ(header->customerNo, 4);
    EXPECT_EQ(std::string(header->buyerName), Mz("Sklep \"Pod Lipą\""));
    EXPECT_EQ(std::string(header->buyerAddress), Mz("ul. Lipowa 1 20-001 Lublin"));
    EXPECT_EQ(std::string(header->buyerTaxNumber), "123-456-78-90");
    char day[256];
    host::VeldarNormalizeDate(day, "29.02.2024");
    EXPECT_EQ(host::VeldarCompareDates(header->documentDate, day), 0);

    // The document's lines, while the document cursor stays open.
    Block lineKey, lineCursor;
    HostTable *slot = nullptr;
    const int16_t lineKind = host::VeldarLineKindOf(811);
    EXPECT_NE(lineKind, 811);
    EXPECT_NE(lineKind, host::VeldarLineKindOf(24));
    host::VeldarPrepareKey(lineKind, &slot, lineKey.bytes, 10);
    ASSERT_EQ(slot, lines);
    ASSERT_NE(host::VeldarOpenCursor(lineCursor.bytes, slot, lineKind, lineKey.bytes, 0, 0), 0);
    ASSERT_EQ(host::VeldarFetchNext(lineCursor.bytes), 1);
    const auto *line = reinterpret_cast<const TsprDokRecord *>(lines->record);
    EXPECT_EQ(std::string(line->goodsName), Mz("Tytoń żółty 50 g"));
    EXPECT_EQ(std::string(line->unit), "op.");
    EXPECT_EQ(line->quantity, -1500);
    EXPECT_EQ(line->goodsGroup, 5);
    EXPECT_EQ(line->warehouseNo, 3);
    ASSERT_EQ(host::VeldarFetchNext(lineCursor.bytes), 1);
    EXPECT_EQ(line->goodsGroup, 6);
    EXPECT_EQ(line->warehouseNo, 7);
    EXPECT_NE(host::VeldarFetchNext(lineCursor.bytes), 1);
    host::VeldarCloseCursor(lineCursor.bytes);

    ASSERT_EQ(host::VeldarFetchNext(cursor.bytes), 1);
    EXPECT_EQ(header->documentId, 12);  // invoices only: the receipt between is skipped
    EXPECT_EQ(std::string(header->buyerName), "Jan Nowak");
    EXPECT_NE(host::VeldarFetchNext(cursor.bytes), 1);
    host::VeldarCloseCursor(cursor.bytes);

    int16_t number = 0;
    ASSERT_NE(StandinGoodsGroup(0, &number), nullptr);
    EXPECT_EQ(number, 5);
    EXPECT_EQ(std::string(StandinGoodsGroup(0, &number)), Mz("Tytoń i papierosy"));
    EXPECT_EQ(StandinGoodsGroup(1, &number), nullptr);
}

TEST_F(Dataset, GoodsTableOfTheCurrentWarehouse) {
    LoadMonth(kSmall);
    int16_t *warehouse = host::VeldarCurrentWarehouse();
    HostTable *tables[3] = {};
    int32_t opened[3] = {};
    int32_t fetched[3] = {};
    const int16_t warehouses[3] = {3, 7, 4};
    for (int i = 0; i < 3; ++i) {
        *warehouse = warehouses[i];
        Block key, cursor;
        host::VeldarPrepareKey(4, &tables[i], key.bytes, 0);
        ASSERT_NE(tables[i], nullptr);
        EXPECT_NE(tables[i], host::VeldarGetTable(49));  // k9 stays the table whose size is checked
        opened[i] = host::VeldarOpenCursor(cursor.bytes, tables[i], 4, key.bytes, 0, 0);
        while (host::VeldarFetchNext(cursor.bytes) == 1) ++fetched[i];
        host::VeldarCloseCursor(cursor.bytes);
    }
    EXPECT_NE(tables[0], tables[1]);
    EXPECT_NE(opened[0], 0);
    EXPECT_EQ(opened[2], 0);  // an empty warehouse: nothing to walk
    EXPECT_EQ(fetched[0], 1);
    EXPECT_EQ(fetched[1], 1);
    EXPECT_EQ(fetched[2], 0);
    const auto *goods = reinterpret_cast<const GoodsRecord *>(tables[1]->record);
    EXPECT_EQ(goods->goodsNo, 1);
    const int32_t stock = goods->stockQuantity;  // unaligned in the record: no reference to it
    EXPECT_EQ(stock, 2000);
    EXPECT_EQ(tables[1]->recordSize, 1024);
}

TEST_F(Dataset, CursorMisuseIsCounted) {
    LoadMonth(kSmall);
    Block key, cursor;
    host::VeldarPrepareKey(24, nullptr, key.bytes, 0);
    EXPECT_EQ(host::VeldarOpenCursor(cursor.bytes, host::VeldarGetTable(45), 24, key.bytes, 0, 0), 0);
    host::VeldarCloseCursor(cursor.bytes);
    host::VeldarCloseCursor(cursor.bytes);
    StandinCursorStats stats{};
    StandinGetCursorStats(&stats);
    EXPECT_EQ(stats.misuses, 2u);  // the wrong table, then the second close
    EXPECT_EQ(stats.openNow, 0);
    StandinReset();  // the fixture checks a clean slate
}

TEST_F(Dataset, BadInputNamesFileAndLineAndChangesNothing) {
    LoadMonth(kSmall);
    const struct {
        const char *text;
        const char *error;
    } cases[] = {
        {"year | 2025\nfrobnicate | 1",
         "bad:2: unknown record \"frobnicate\" (year, group, goods, customer, invoice, receipt or line)"},
        {"line | 1 | 1 | 1", "bad:1: a line before the first invoice or receipt"},
        {"goods | 1 | 1 | 5 | K | szt. | 1.2345 | N", "bad:1: stock \"1.2345\" is not a quantity (units, at most 3 decimals)"},
        {"goods | 1 | 1 | 5 | K | szt. | 3000000 | N", "bad:1: stock 3000000 does not fit the host's 32-bit thousandths"},
        {"goods | 1 | 1 | 5 | K | szt. | 1", "bad:1: expected goods | warehouse | number | group | code | unit | stock | name"},
        {"goods | 1 | 1 | 5 | K | sztuki | 1 | N", "bad:1: unit has 6 characters, at most 5 fit"},
        {"goods | 1 | 1 | 5 | K | szt. | 1 | N\ngoods | 1 | 1 | 6 | L | szt. | 1 | M",
         "bad:2: goods 1 of warehouse 1 is defined twice"},
        {"group | 451 | Za duża", "bad:1: group number 451 is outside 0..450"},
        {"customer | 7 | Sklep ☃ | 1 | Kraków", "bad:1: buyer name holds a character that is not UTF-8 or not in Mazovia"},
        {"invoice | 1 | 30.02.2025 | 0", "bad:1: date \"30.02.2025\" is not a day written dd.mm.yyyy (or - for none)"},
        {"invoice | 1 | 01.03.2025 | 5", "bad:1: customer 5 is not defined above"},
        {"invoice | 1 | 01.03.2025 | 0 | Jan", "bad:1: a document names its buyer with all three of name, tax number, address"},
        {"receipt | 1 | - | 0\r\nreceipt | 1 | - | 0", "bad:2: document id 1 is used twice"},
        {"invoice | 1 | - | 0\nline | 1 | 9 | 1", "bad:2: goods 9 of warehouse 1 is not defined above"},
    };
    for (const auto &c : cases) {
        const char *error = StandinLoadDatasetText(c.text, "bad");
        ASSERT_NE(error, nullptr) << c.text;
        EXPECT_EQ(std::string(error), c.error);
    }
    std::string longName = "customer | 7 | " + std::string(101, 'x') + " | 1 | Kraków";
    EXPECT_STREQ(StandinLoadDatasetText(longName.c_str(), "bad"), "bad:1: buyer name has 101 characters, at most 100 fit");
    EXPECT_STREQ(StandinLoadDataset("no-such-month.txt"), "no-such-month.txt: cannot be read");

    // The month loaded first is still there, year included.
    EXPECT_EQ(*host::VeldarCurrentYear(), 2024);
    int16_t number = 0;
    EXPECT_NE(StandinGoodsGroup(0, &number), nullptr);
    Block key, cursor;
    host::VeldarPrepareKey(24, nullptr, key.bytes, 0);
    EXPECT_NE(host::VeldarOpenCursor(cursor.bytes, host::VeldarGetTable(44), 24, key.bytes, 0, 0), 0);
    host::VeldarCloseCursor(cursor.bytes);
}

TEST_F(Dataset, BundledMonthMakesAReport) {
    const char *error = StandinLoadDataset(PIM_DATA_DIR "/sample-month.txt");
    ASSERT_EQ(error, nullptr) << error;
    int16_t number = 0;
    int32_t groups = 0;
    while (StandinGoodsGroup(groups, &number) != nullptr) ++groups;
    EXPECT_GE(groups, 3);
    const int16_t year = *host::VeldarCurrentYear();
    ASSERT_EQ(year, kTestYear);
    NewReport(3, {1, 2, 3}, pim::kKindInvoices | pim::kKindReceipts);
    Collect();
    EXPECT_GE(report().outletCount, 24);
    EXPECT_GE(report().itemCount, 20);
    int32_t withStreet = 0, withCode = 0, sold = 0, fromReceipts = 0;
    for (int32_t o = 0; o < report().outletCount; ++o) {
        withStreet += report().outletList[o].street[0] != '\0';
        withCode += report().outletList[o].postalCode[0] != '\0';
    }
    for (int32_t i = 0; i < report().itemCount; ++i) {
        sold += report().itemList[i].sold;
        fromReceipts += report().itemList[i].receiptsQuantity != 0;
        EXPECT_LT(report().itemList[i].warehouseNo, 100);
    }
    EXPECT_GT(withStreet, 0);
    EXPECT_GT(withCode, withStreet);  // some addresses have a code but no street prefix
    EXPECT_LT(withCode, report().outletCount);
    EXPECT_GT(sold, 0);
    EXPECT_GT(fromReceipts, 0);
}

}  // namespace
