// The stand-in host's sales tables: the data-set loader and the walks the host's
// key and cursor functions give over what it loaded.
#include <cstdio>
#include <cstring>
#include <vector>

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
        {"customer | 0 | Sklep | 1 | Lublin",
         "bad:1: customer number 0 stands for no customer; a customer record takes any other"},
        {"goods | 32768 | 1 | 5 | K | szt. | 1 | N", "bad:1: warehouse 32768 is outside -32768..32767"},
        {"invoice | 2147483648 | - | 0", "bad:1: document id 2147483648 is outside -2147483648..2147483647"},
        {"invoice | 1 | - | 0\nline | 1 | 9 | 1 | 5 | K | szt.",
         "bad:2: a line gives its own goods code, unit and name all three, after its goods group"},
        {"group | 451 | Za duża", "bad:1: group number 451 is outside 0..450"},
        {"customer | 7 | Sklep ☃ | 1 | Kraków", "bad:1: buyer name holds U+2603 '☃' at column 22, which Mazovia has not got"},
        {"invoice | 1 | 30.02.2025 | 0", "bad:1: date \"30.02.2025\" is not a day written dd.mm.yyyy (or - for none)"},
        {"invoice | 1 | 01.03.2025 | 5", "bad:1: customer 5 is not defined above"},
        {"invoice | 1 | 01.03.2025 | 0 | Jan", "bad:1: a document names its buyer with all three of name, tax number, address"},
        {"receipt | 1 | - | 0\r\nreceipt | 1 | - | 0", "bad:2: document id 1 is used twice"},
        {"invoice | 1 | - | 0\nline | 1 | 9 | 1",
         "bad:2: goods 9 of warehouse 1 is not defined above (a line of goods not defined gives its group, code, "
         "unit and name)"},
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

// The fuzzer's finds: each loaded as something the format does not allow.
TEST_F(Dataset, FuzzerFindsAreErrors) {
    const struct {
        const char *name, *text, *error;
    } cases[] = {
        {"overlong_2byte_A", "group | 1 | x\xC1\x81y\n",
         "overlong_2byte_A:1: byte 0xC1 at column 14 is not UTF-8 (it begins an overlong form)"},
        {"overlong_pipe_in_text", "group | 1 | a\xC1\xBC" "b\n",
         "overlong_pipe_in_text:1: byte 0xC1 at column 14 is not UTF-8 (it begins an overlong form)"},
        {"invalid_lead_F8", "group | 1 | x\xF8\x80\x81\x81y\n", "invalid_lead_F8:1: byte 0xF8 at column 14 is not UTF-8"},
        {"del_in_text", "group | 1 | a\x7F" "b\n",
         "del_in_text:1: control character U+007F (DEL) at column 14: none may be written, and a tab only as a "
         "blank around a field"},
        {"vtab_before_number", "group | \v7 | a\n",
         "vtab_before_number:1: control character U+000B (vertical tab) at column 9: none may be written, and a tab "
         "only as a blank around a field"},
        {"blank_padded_date", "invoice | 1 | 1. 3. 2025 | 0\n",
         "blank_padded_date:1: date \"1. 3. 2025\" is not a day written dd.mm.yyyy (or - for none): U+002E '.' at "
         "column 16"},
        {"signed_date", "invoice | 1 | +1.+3.2025 | 0\n",
         "signed_date:1: date \"+1.+3.2025\" is not a day written dd.mm.yyyy (or - for none): U+002B '+' at column 15"},
    };
    for (const auto &c : cases) EXPECT_STREQ(StandinLoadDatasetText(c.text, c.name), c.error);

    // A NUL can only come from a file: the number before it must not load alone.
    const char *path = "nul_after_number_file_only.txt";
    const char bytes[] = "group | 7\0zz | a\n";
    FILE *file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes, 1, sizeof bytes - 1, file);
    std::fclose(file);
    const char *error = StandinLoadDataset(path);
    std::remove(path);
    EXPECT_STREQ(error, "nul_after_number_file_only.txt:1: control character U+0000 (NUL) at column 10: none may be "
                        "written, and a tab only as a blank around a field");
}

TEST_F(Dataset, OnlyStrictUtf8) {
    const struct {
        const char *text, *error;
    } cases[] = {
        {"group | 1 | Łódź \xE0\x80\xAF", "bad:1: byte 0xE0 at column 18 is not UTF-8 (it begins an overlong form)"},
        {"group | 1 | \xF0\x80\x80\xAF", "bad:1: byte 0xF0 at column 13 is not UTF-8 (it begins an overlong form)"},
        {"group | 1 | \xED\xA0\x80", "bad:1: byte 0xED at column 13 is not UTF-8 (it begins a surrogate)"},
        {"group | 1 | \xF4\x90\x80\x80", "bad:1: byte 0xF4 at column 13 is not UTF-8 (it begins a character beyond U+10FFFF)"},
        {"group | 1 | ab\xC5", "bad:1: byte 0xC5 at column 15 is not UTF-8 (its character is cut short)"},
        {"group | 1 | \xE2\x82x", "bad:1: byte 0xE2 at column 13 is not UTF-8 (its character is cut short)"},
        {"group | 1 | \x80", "bad:1: byte 0x80 at column 13 is not UTF-8 (a continuation byte without a lead)"},
        {"gr\xC3\xB3up | 1 | a", "bad:1: unknown record \"gróup\" (year, group, goods, customer, invoice, receipt or line)"},
        {"group | 1 | ć\tś", "bad:1: group name holds a control character, U+0009 (tab) at column 14"},
        {"group | 1 | €", "bad:1: group name holds U+20AC '€' at column 13, which Mazovia has not got"},
    };
    for (const auto &c : cases) EXPECT_STREQ(StandinLoadDatasetText(c.text, "bad"), c.error) << c.text;
    // Characters of two and three bytes that Mazovia has are read.
    ASSERT_EQ(StandinLoadDatasetText("group | 1 | \xC2\xA0ó\xE2\x96\xA0", "good"), nullptr);
    int16_t number = 0;
    EXPECT_STREQ(StandinGoodsGroup(0, &number), "\xFF\xA2\xFE");
}

TEST_F(Dataset, NumbersAndDatesAreWrittenOneWay) {
    const struct {
        const char *text, *error;
    } cases[] = {
        {"group | +7 | a", "bad:1: group number \"+7\" is not a whole number: U+002B '+' at column 9"},
        {"group | \xC2\xA0" "7 | a", "bad:1: group number \"\xC2\xA0" "7\" is not a whole number: U+00A0 (no-break space) at column 9"},
        {"group | 1 2 | a", "bad:1: group number \"1 2\" is not a whole number: U+0020 (blank) at column 10"},
        {"group | - | a", "bad:1: group number \"-\" is not a whole number"},
        {"group | | a", "bad:1: group number \"\" is not a whole number"},
        {"group | -3 | a", "bad:1: group number -3 is outside 0..450"},
        {"group | 99999999999999999999 | a", "bad:1: group number 99999999999999999999 is outside 0..450"},
        {"group | \"7\" | a", "bad:1: group number is quoted at column 9; only texts may be"},
        {"goods | 1 | 1 | 5 | K | szt. | 1,5 | N",
         "bad:1: stock \"1,5\" is not a quantity (units, at most 3 decimals): U+002C ',' at column 33"},
        {"invoice | 1 | 1.3.2025 | 0", "bad:1: date \"1.3.2025\" is not a day written dd.mm.yyyy (or - for none): U+002E '.' at column 16"},
        {"invoice | 1 | 01.03.20255 | 0", "bad:1: date \"01.03.20255\" is not a day written dd.mm.yyyy (or - for none): U+0035 '5' at column 25"},
        {"invoice | 1 | 01.03.202 | 0", "bad:1: date \"01.03.202\" is not a day written dd.mm.yyyy (or - for none)"},
        {"invoice | 1 | 01.03.1799 | 0", "bad:1: date \"01.03.1799\" is not a day written dd.mm.yyyy (or - for none)"},
        {"year | 1899", "bad:1: year 1899 is outside 1900..2999"},
        {"year | 3000", "bad:1: year 3000 is outside 1900..2999"},
    };
    for (const auto &c : cases) EXPECT_STREQ(StandinLoadDatasetText(c.text, "bad"), c.error) << c.text;
    LoadMonth(Month({"year | 2999", "goods | 1 | -2 | -1 | K | szt. | +1.5 | N", "invoice | 7 | 31.12.2999 | 0",
                     "line | 1 | -2 | -0.001", "invoice | 8 | 01.01.1800 | 0"}));
    EXPECT_EQ(*host::VeldarCurrentYear(), 2999);
}

// The first invoice's header, as table 44 holds it.
TsprRecord FirstInvoice() {
    HostTable *documents = host::VeldarGetTable(44);
    Block key, cursor;
    host::VeldarPrepareKey(811, nullptr, key.bytes, 0);
    TsprRecord header{};
    if (host::VeldarOpenCursor(cursor.bytes, documents, 811, key.bytes, 0, 0) == 0) return header;
    if (host::VeldarFetchNext(cursor.bytes) == 1) std::memcpy(&header, documents->record, sizeof header);
    host::VeldarCloseCursor(cursor.bytes);
    return header;
}

// Every record a walk delivers, copied out of the table's buffer.
template <class Record>
std::vector<Record> WalkAll(HostTable *table, int32_t kind, Block &key) {
    std::vector<Record> out;
    Block cursor;
    if (host::VeldarOpenCursor(cursor.bytes, table, kind, key.bytes, 0, 0) != 0)
        while (host::VeldarFetchNext(cursor.bytes) == 1) {
            out.emplace_back();
            std::memcpy(&out.back(), table->record, sizeof(Record));
        }
    host::VeldarCloseCursor(cursor.bytes);
    return out;
}

std::vector<TsprRecord> Headers(int16_t documentKind) {
    Block key;
    host::VeldarPrepareKey(documentKind, nullptr, key.bytes, 0);
    return WalkAll<TsprRecord>(host::VeldarGetTable(44), documentKind, key);
}

std::vector<TsprDokRecord> LinesOf(int16_t documentKind, int32_t documentId) {
    Block key;
    HostTable *lines = nullptr;
    const int16_t lineKind = host::VeldarLineKindOf(documentKind);
    host::VeldarPrepareKey(lineKind, &lines, key.bytes, documentId);
    return WalkAll<TsprDokRecord>(lines, lineKind, key);
}

std::vector<GoodsRecord> GoodsOf(int16_t warehouse) {
    *host::VeldarCurrentWarehouse() = warehouse;
    Block key;
    HostTable *goods = nullptr;
    host::VeldarPrepareKey(4, &goods, key.bytes, 0);
    return WalkAll<GoodsRecord>(goods, 4, key);
}

// What a host's tables can hold: a line's own goods texts, as sold (its goods item
// renamed since, or gone from the table), goods numbers repeated in a warehouse
// (each record an item, in file order), and the whole ranges of the warehouse,
// customer and document id fields.
TEST_F(Dataset, TheTablesHoldWhatAHostsTablesCanHold) {
    LoadMonth(Month({
        "goods | -32768 | 10 | 5 | OLD-1 | szt. | 1 | Stara nazwa",
        "goods | -32768 | 10 | 6 | OLD-2 | op. | 2 | Drugi rekord",
        "goods | 32767 | 1 | 5 | K | szt. | 3 | N",
        "customer | -32768 | Sklep | 1 | Lublin",
        "invoice | -2147483648 | 01.03.2025 | -32768",
        "line | -32768 | 10 | 1",
        "line | -32768 | 10 | 2 | 7 | NEW-1 | kart. | \"Nowa | nazwa\"",
        "line | 5 | 99 | 3 | 4 | GONE | op. | Wycofany",
        "line | 32767 | 1 | 4 | 8",
        "invoice | 0 | 01.03.2025 | 32767 | Kiosk | 2 | Zamość",
        "receipt | 2147483647 | - | -1 | Bar | | ",
    }));
    const std::vector<GoodsRecord> goods = GoodsOf(-32768);
    ASSERT_EQ(goods.size(), 2u);
    EXPECT_STREQ(goods[0].goodsCode, "OLD-1");
    EXPECT_STREQ(goods[1].goodsCode, "OLD-2");
    EXPECT_EQ(goods[1].goodsNo, 10);
    EXPECT_EQ(GoodsOf(32767).size(), 1u);

    const std::vector<TsprRecord> invoices = Headers(811), receipts = Headers(24);
    ASSERT_EQ(invoices.size(), 2u);
    ASSERT_EQ(receipts.size(), 1u);
    EXPECT_EQ(invoices[0].documentId, INT32_MIN);
    EXPECT_EQ(invoices[0].customerNo, -32768);
    EXPECT_STREQ(invoices[0].buyerName, "Sklep");
    EXPECT_EQ(invoices[1].documentId, 0);
    EXPECT_EQ(invoices[1].customerNo, 32767);
    EXPECT_EQ(receipts[0].documentId, INT32_MAX);
    EXPECT_EQ(receipts[0].customerNo, -1);

    struct Expected {
        int16_t warehouse, goodsNo, group;
        const char *code, *unit, *name;
    };
    const Expected expected[] = {{-32768, 10, 5, "OLD-1", "szt.", "Stara nazwa"},  // the first record of its number
                                 {-32768, 10, 7, "NEW-1", "kart.", "Nowa | nazwa"},
                                 {5, 99, 4, "GONE", "op.", "Wycofany"},
                                 {32767, 1, 8, "K", "szt.", "N"}};
    const std::vector<TsprDokRecord> lines = LinesOf(811, INT32_MIN);
    ASSERT_EQ(lines.size(), std::size(expected));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].warehouseNo, expected[i].warehouse) << i;
        EXPECT_EQ(lines[i].goodsNo, expected[i].goodsNo) << i;
        EXPECT_EQ(lines[i].goodsGroup, expected[i].group) << i;
        EXPECT_STREQ(lines[i].goodsCode, expected[i].code) << i;
        EXPECT_STREQ(lines[i].unit, expected[i].unit) << i;
        EXPECT_STREQ(lines[i].goodsName, expected[i].name) << i;
    }
    const int32_t quantity = lines[3].quantity;  // packed in the record: no reference to it
    EXPECT_EQ(quantity, 4000);
}

// Every fetch writes the whole header: bytes the caller scribbled over, and bytes
// the previous header had where this one has zeros, never show through.
TEST_F(Dataset, EveryFetchDeliversTheWholeHeader) {
    LoadMonth(kSmall);
    // Marks in the host's private bytes, 975 among them, in the last piece, which
    // overlaps the one before.
    const uint8_t marks[] = {0x5A, 0xA5};
    for (uint32_t offset : {0u, 15u, 16u, 500u, 961u, 964u})
        ASSERT_EQ(StandinPatchRecord(44, 10, 0, offset, marks, sizeof marks), 1);
    ASSERT_EQ(StandinPatchRecord(44, 10, 0, 975, marks, 1), 1);
    HostTable *documents = host::VeldarGetTable(44);
    Block key;
    host::VeldarPrepareKey(811, nullptr, key.bytes, 0);
    auto walk = [&](bool scribble) {
        std::vector<std::vector<uint8_t>> seen;
        Block cursor;
        if (host::VeldarOpenCursor(cursor.bytes, documents, 811, key.bytes, 0, 0) != 0)
            for (;;) {
                if (scribble) std::memset(documents->record, 0xEE, sizeof(TsprRecord));
                if (host::VeldarFetchNext(cursor.bytes) != 1) break;
                seen.emplace_back(documents->record, documents->record + sizeof(TsprRecord));
            }
        host::VeldarCloseCursor(cursor.bytes);
        return seen;
    };
    const auto clean = walk(false);
    ASSERT_EQ(clean.size(), 2u);  // invoices 10 and 12
    EXPECT_EQ(clean[0][0], 0x5A);
    EXPECT_EQ(clean[0][16], 0x5A);
    EXPECT_EQ(clean[0][965], 0xA5);
    EXPECT_EQ(clean[0][975], 0x5A);
    EXPECT_EQ(reinterpret_cast<const TsprRecord *>(clean[0].data())->documentId, 10);
    const auto *second = reinterpret_cast<const TsprRecord *>(clean[1].data());
    EXPECT_EQ(second->documentId, 12);
    for (std::size_t at : {0u, 15u, 16u, 500u, 501u, 961u, 965u, 975u}) EXPECT_EQ(clean[1][at], 0) << at;
    EXPECT_EQ(walk(true), clean);
}

// The stand-in finds a cursor by its block, whichever of several open ones it is.
TEST_F(Dataset, SeveralCursorsOpenAtOnce) {
    LoadMonth(kSmall);
    HostTable *documents = host::VeldarGetTable(44);
    Block key, first, second, third;
    host::VeldarPrepareKey(811, nullptr, key.bytes, 0);
    for (Block *c : {&first, &second, &third})
        ASSERT_EQ(host::VeldarOpenCursor(c->bytes, documents, 811, key.bytes, 0, 0), 1);
    auto id = [&] { return reinterpret_cast<const TsprRecord *>(documents->record)->documentId; };
    ASSERT_EQ(host::VeldarFetchNext(second.bytes), 1);
    EXPECT_EQ(id(), 10);
    ASSERT_EQ(host::VeldarFetchNext(second.bytes), 1);
    EXPECT_EQ(id(), 12);
    ASSERT_EQ(host::VeldarFetchNext(first.bytes), 1);
    EXPECT_EQ(id(), 10);
    EXPECT_EQ(host::VeldarCloseCursor(first.bytes), 1);
    EXPECT_EQ(host::VeldarFetchNext(first.bytes), 0);  // closed: a misuse
    EXPECT_EQ(host::VeldarOpenCursor(third.bytes, documents, 811, key.bytes, 0, 0), 1);  // open already: a misuse
    ASSERT_EQ(host::VeldarFetchNext(third.bytes), 1);
    EXPECT_EQ(id(), 10);  // started again
    StandinCursorStats stats{};
    StandinGetCursorStats(&stats);
    EXPECT_EQ(stats.openNow, 2);
    EXPECT_EQ(stats.mostOpen, 3);
    EXPECT_EQ(stats.misuses, 2u);
    EXPECT_EQ(host::VeldarCloseCursor(second.bytes), 1);
    EXPECT_EQ(host::VeldarCloseCursor(third.bytes), 1);
    StandinReset();  // the fixture checks a clean slate
}

TEST_F(Dataset, QuotedTextsKeepTheirBlanksAndBars) {
    LoadMonth(Month({
        R"(group | 1 | "  Tytoń | luz  " )",
        R"(group | 2 |"\"Pod Lipą\" \\ 2")",
        R"(group|3|"")",
        R"(group | 4 | "#" )",
        R"(customer | 9 | "Sklep Nocny \"Sowa\" " | 712-404-50-60 | "ul. Głęboka 11 20-612 Lublin ")",
        "invoice | 1 | 01.03.2025 | 9",
    }));
    int16_t number = 0;
    EXPECT_EQ(std::string(StandinGoodsGroup(0, &number)), Mz("  Tytoń | luz  "));
    EXPECT_EQ(std::string(StandinGoodsGroup(1, &number)), Mz("\"Pod Lipą\" \\ 2"));
    EXPECT_EQ(std::string(StandinGoodsGroup(2, &number)), "");
    EXPECT_EQ(std::string(StandinGoodsGroup(3, &number)), "#");
    const TsprRecord header = FirstInvoice();
    EXPECT_EQ(std::string(header.buyerName), Mz("Sklep Nocny \"Sowa\" "));
    EXPECT_EQ(std::string(header.buyerAddress), Mz("ul. Głęboka 11 20-612 Lublin "));

    const struct {
        std::string text, error;
    } cases[] = {
        {R"(group | 1 | "Tytoń | luz)", "bad:1: the quoted text begun at column 13 has no closing \""},
        {R"(group | 1 | "Tytoń \ luz")", "bad:1: the \\ at column 20 escapes nothing: a quoted text writes \\\" for \" and \\\\ for \\"},
        {R"(group | 1 | "Tytoń\")", "bad:1: the quoted text begun at column 13 has no closing \""},
        {R"(group | 1 | "Sowa"" ")", "bad:1: U+0022 '\"' at column 19 follows a quoted text; only blanks may stand before the next |"},
        {R"(group | 1 | "Sowa" nr 2)", "bad:1: U+006E 'n' at column 20 follows a quoted text; only blanks may stand before the next |"},
        {R"("group" | 1 | a)", "bad:1: the record's kind is quoted at column 1; only texts may be"},
        {R"(group | 1 | "\"a\\ €")", "bad:1: group name holds U+20AC '€' at column 20, which Mazovia has not got"},
        {"group | 1 | \"" + std::string(41, 'x') + "\"", "bad:1: group name has 41 characters, at most 40 fit"},
    };
    for (const auto &c : cases) EXPECT_EQ(std::string(StandinLoadDatasetText(c.text.c_str(), "bad")), c.error) << c.text;
}

// Buyers: a document's own name, tax number and address win over its customer
// number, which then need not be defined; without them the number must be.
TEST_F(Dataset, ADocumentsOwnBuyerNeedsNoCustomer) {
    LoadMonth(Month({"customer | 4 | Sklep | 1 | Lublin", "invoice | 1 | 01.03.2025 | 5 | Kiosk | 2 | Zamość"}));
    TsprRecord header = FirstInvoice();
    EXPECT_EQ(header.customerNo, 5);
    EXPECT_EQ(std::string(header.buyerName), "Kiosk");
    LoadMonth(Month({"customer | 4 | Sklep | 1 | Lublin", "invoice | 1 | 01.03.2025 | 4 | Kiosk | 2 | Zamość"}));
    header = FirstInvoice();
    EXPECT_EQ(std::string(header.buyerName), "Kiosk");
    EXPECT_EQ(std::string(header.buyerAddress), Mz("Zamość"));
    LoadMonth(Month({"invoice | 1 | 01.03.2025 | 0"}));
    header = FirstInvoice();
    EXPECT_EQ(std::string(header.buyerName), "");
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
