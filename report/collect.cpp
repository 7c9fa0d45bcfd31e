// The collection of a month's sales from the host's tables into the report's lists:
// the goods of the selected groups (items), the customers of the counted documents
// (outlets) with what each bought, and the sales on receipts without a customer.
#include "collect.h"

#include <cstring>
#include <new>

#include "host_imports.h"
#include "host_records.h"
#include "row_index.h"

namespace pim {

// Item rows by goods and warehouse (every row of a key, in list order) and outlets by
// customer (the first row): each holds the first rows of its list and catches up
// before a look-up, so it never holds a row that was not added. The line rows of
// every outlet by outlet, goods and warehouse: entered as they are added, built
// again from the lists after its memory failed; a TOTAL row is never entered, as no
// line merges into one. When an index's memory cannot be had, the look-up walks the
// list instead, to the same rows.
struct CollectIndexes {
    RowIndex items{true};
    RowIndex outlets{false};
    RowIndex outletItems{false};
    bool outletItemsWhole = false;  // outletItems holds every line row of every outlet
};

namespace {

// Warehouses 0 to 99 hold the goods the report lists.
constexpr int16_t kListedWarehouses = 100;

const char kTotal[] = "TOTAL";
const char kTotalUnit[] = "SZTA.";

// A block of storage the host fills (key or cursor), zeroed before use. It lives on
// the stack, so its 8-byte alignment holds in a host that keeps the stack 4-byte
// aligned only because the product is compiled for that entry stack (CMakeLists.txt).
struct alignas(8) HostBlock {
    uint8_t bytes[kKeyBlockBytes > kCursorBlockBytes ? kKeyBlockBytes : kCursorBlockBytes] = {};
};

// Quantities add as the host's 32-bit counters do: wrapping around, never undefined.
int32_t AddQuantity(int32_t sum, int32_t quantity) {
    return static_cast<int32_t>(static_cast<uint32_t>(sum) + static_cast<uint32_t>(quantity));
}

// A group number the picker cannot have selected counts as not selected.
bool GroupSelected(const ReportOptions &options, int16_t group) {
    return group >= 0 && group < kGoodsGroups && options.groupSelected[group] != 0;
}

// Copies a text field of a host record into a row field. At most the smaller
// field's characters are read, so a field the host left without its terminator is
// never read past.
template <std::size_t RowBytes, std::size_t FieldBytes>
void CopyField(char (&row)[RowBytes], const char (&field)[FieldBytes]) {
    constexpr std::size_t chars = (RowBytes < FieldBytes ? RowBytes : FieldBytes) - 1;
    host::VeldarCopyText(row, field, static_cast<uint16_t>(chars));
}

const TsprRecord &Document(const uint8_t *record) { return *reinterpret_cast<const TsprRecord *>(record); }
const TsprDokRecord &Line(const uint8_t *record) { return *reinterpret_cast<const TsprDokRecord *>(record); }
const GoodsRecord &Goods(const uint8_t *record) { return *reinterpret_cast<const GoodsRecord *>(record); }

// Room for one more row at position count, the array grown by kListGrowth rows when
// it is full; the row is cleared. Null when the host has no memory (nothing changed).
template <class Row>
Row *NewRow(Row *&rows, int32_t count, int32_t &capacity) {
    if (count >= capacity) {
        constexpr int32_t kMostRows = static_cast<int32_t>(UINT32_MAX / sizeof(Row)) - kListGrowth;
        if (capacity > kMostRows) return nullptr;
        void *block = rows;
        if (host::VeldarResizeBlock(&block, static_cast<uint32_t>(capacity + kListGrowth) * sizeof(Row)) == 0)
            return nullptr;
        rows = static_cast<Row *>(block);
        capacity += kListGrowth;
    }
    std::memset(static_cast<void *>(&rows[count]), 0, sizeof(Row));
    return &rows[count];
}

// Walks the records that the prepared key selects: every record fetched is in the
// table's record buffer when visit runs; visit returns false to stop. The cursor is
// closed exactly once, whether or not it opened.
template <class Visit>
void WalkCursor(HostTable *table, int32_t tableKind, HostBlock &key, Visit &&visit) {
    HostBlock cursor;
    if (host::VeldarOpenCursor(cursor.bytes, table, tableKind, key.bytes, 0, 0) != 0)
        while (host::VeldarFetchNext(cursor.bytes) == 1 && visit()) {
        }
    host::VeldarCloseCursor(cursor.bytes);
}

// Walks the lines of one document, of the line table kind of its document kind.
template <class Visit>
void WalkLines(CRaportSprzPapierosow &report, int16_t lineKind, int32_t documentId, Visit &&visit) {
    HostBlock key;
    host::VeldarPrepareKey(lineKind, &report.lineTable, key.bytes, documentId);
    WalkCursor(report.lineTable, lineKind, key, visit);
}

// The key of one document kind's walks, prepared once, and the table kind of its lines.
struct DocumentKey {
    int16_t lineKind;
    HostBlock key;
    explicit DocumentKey(int16_t documentKind) : lineKind(host::VeldarLineKindOf(documentKind)) {
        host::VeldarPrepareKey(documentKind, nullptr, key.bytes, 0);
    }
};

// Whether the current document is dated within the report month. The date stays in
// the host's record: its stored form, length included, is the host's, and only the
// host's comparison reads past its first byte.
bool DocumentInMonth(CRaportSprzPapierosow &report) {
    return report.IsDateInRange(Document(report.documentRecord).documentDate, report.dateFrom, report.dateTo) != 0;
}

// Walks the documents of one kind dated within the report month, with the key
// prepared for that kind: visit(document) for each, the header in documentRecord.
template <class Visit>
void WalkMonthDocuments(CRaportSprzPapierosow &report, int16_t documentKind, HostBlock &key, Visit &&visit) {
    WalkCursor(report.documentTable, documentKind, key, [&] {
        if (DocumentInMonth(report)) visit(Document(report.documentRecord));
        return true;
    });
}

uint32_t GoodsKey(int16_t goodsNo, int16_t warehouseNo) {
    return static_cast<uint32_t>(static_cast<uint16_t>(goodsNo)) << 16 | static_cast<uint16_t>(warehouseNo);
}

// The report's indexes, made on first use; null when there is no memory for them.
CollectIndexes *Indexes(CRaportSprzPapierosow &report) {
    if (report.indexes == nullptr) {
        void *memory = ResizeIndexMemory(nullptr, 0, sizeof(CollectIndexes));
        if (memory != nullptr) report.indexes = new (memory) CollectIndexes;
    }
    return report.indexes;
}

// Brings index up to the list's count rows; false when its memory could not be had.
template <class Row, class KeyOf>
bool CatchUp(RowIndex &index, const Row *rows, int32_t count, KeyOf keyOf) {
    if (index.indexed() > count) index.Clear();  // not this list's rows any more
    while (index.indexed() < count)
        if (!index.Add(keyOf(rows[index.indexed()]))) return false;
    return true;
}

uint64_t ItemKey(const ItemRow &row) { return GoodsKey(row.goodsNo, row.warehouseNo); }
uint64_t OutletKey(const OutletRow &row) { return static_cast<uint16_t>(row.customerNo); }
uint64_t OutletItemKey(int32_t o, int16_t goodsNo, int16_t warehouseNo) {
    return static_cast<uint64_t>(static_cast<uint32_t>(o)) << 32 | GoodsKey(goodsNo, warehouseNo);
}

// Enters row i of outlet o into the outlet item index, unless it is a TOTAL row or
// the index already lacks rows.
void EnterOutletItem(CollectIndexes &indexes, int32_t o, const OutletItemRow &row, int32_t i) {
    if (indexes.outletItemsWhole && row.totalRow == 0)
        indexes.outletItemsWhole = indexes.outletItems.Put(OutletItemKey(o, row.goodsNo, row.warehouseNo), i);
}

// Whether the outlet item index holds every line row, after building it again if it
// did not.
bool OutletItemsIndexed(CRaportSprzPapierosow &report, CollectIndexes &indexes) {
    if (indexes.outletItemsWhole) return true;
    indexes.outletItems.Clear();
    indexes.outletItemsWhole = true;
    for (int32_t o = 0; o < report.outletCount && indexes.outletItemsWhole; ++o)
        for (int32_t i = 0; i < report.outletList[o].outletItemCount; ++i)
            EnterOutletItem(indexes, o, report.outletList[o].outletItems[i], i);
    return indexes.outletItemsWhole;
}

// Calls found(item) for every item row of the current line's goods and warehouse.
template <class Found>
void ForEachItemOfLine(CRaportSprzPapierosow &report, Found &&found) {
    const TsprDokRecord &line = Line(report.lineRecord);
    CollectIndexes *indexes = Indexes(report);
    if (indexes != nullptr && CatchUp(indexes->items, report.itemList, report.itemCount, ItemKey)) {
        const RowIndex &index = indexes->items;
        for (int32_t i = index.First(GoodsKey(line.goodsNo, line.warehouseNo)); i >= 0; i = index.Next(i))
            found(report.itemList[i]);
        return;
    }
    for (int32_t i = 0; i < report.itemCount; ++i) {
        ItemRow &item = report.itemList[i];
        if (item.goodsNo == line.goodsNo && item.warehouseNo == line.warehouseNo) found(item);
    }
}

// The position of this customer's outlet row, or -1.
int32_t OutletPosition(CRaportSprzPapierosow &report, int16_t customerNo) {
    CollectIndexes *indexes = Indexes(report);
    if (indexes != nullptr && CatchUp(indexes->outlets, report.outletList, report.outletCount, OutletKey))
        return indexes->outlets.First(static_cast<uint16_t>(customerNo));
    for (int32_t o = 0; o < report.outletCount; ++o)
        if (report.outletList[o].customerNo == customerNo) return o;
    return -1;
}

// The row of outlet o that a line of this goods and warehouse merges into, or null:
// the first with that key that is not a TOTAL row.
OutletItemRow *FindOutletItem(CRaportSprzPapierosow &report, int32_t o, int16_t goodsNo, int16_t warehouseNo) {
    OutletRow &outlet = report.outletList[o];
    CollectIndexes *indexes = Indexes(report);
    if (indexes != nullptr && OutletItemsIndexed(report, *indexes)) {
        const int32_t i = indexes->outletItems.First(OutletItemKey(o, goodsNo, warehouseNo));
        return i < 0 ? nullptr : &outlet.outletItems[i];
    }
    for (int32_t i = 0; i < outlet.outletItemCount; ++i) {
        OutletItemRow &row = outlet.outletItems[i];
        if (row.totalRow == 0 && row.goodsNo == goodsNo && row.warehouseNo == warehouseNo) return &row;
    }
    return nullptr;
}

}  // namespace

int32_t CRaportSprzPapierosow::AddItem(const uint8_t *record) {
    ItemRow *row = NewRow(itemList, itemCount, itemCapacity);
    if (row == nullptr) {
        lostRows |= kLostItemRow;
        return 1;
    }
    const GoodsRecord &goods = Goods(record);
    row->goodsNo = goods.goodsNo;
    row->warehouseNo = *host::VeldarCurrentWarehouse();
    CopyField(row->goodsCode, goods.goodsCode);
    CopyField(row->goodsName, goods.goodsName);
    row->stockQuantity = goods.stockQuantity;
    ++itemCount;
    return 0;
}

int32_t CRaportSprzPapierosow::AddOutlet(const uint8_t *record) {
    OutletRow *row = NewRow(outletList, outletCount, outletCapacity);
    if (row == nullptr) {
        lostRows |= kLostOutletRow;
        return 1;
    }
    const TsprRecord &document = Document(record);
    row->customerNo = document.customerNo;
    CopyField(row->name, document.buyerName);
    CopyField(row->taxNumber, document.buyerTaxNumber);
    char address[sizeof document.buyerAddress];
    CopyField(address, document.buyerAddress);
    SplitAddress(address, row->street, row->postalCode, row->city);
    ++outletCount;
    return 0;
}

int32_t CRaportSprzPapierosow::AddOutletItem(const uint8_t *record, int32_t outletPosition, int32_t total) {
    OutletRow &outlet = outletList[outletPosition];
    if (record != nullptr) {
        const TsprDokRecord &line = Line(record);
        if (OutletItemRow *row = FindOutletItem(*this, outletPosition, line.goodsNo, line.warehouseNo)) {
            row->quantity = AddQuantity(row->quantity, line.quantity);
            return 0;
        }
    }
    OutletItemRow *row = NewRow(outlet.outletItems, outlet.outletItemCount, outlet.outletItemCapacity);
    if (row == nullptr) {
        lostRows |= kLostOutletItemRow;
        return 1;
    }
    if (record != nullptr) {
        const TsprDokRecord &line = Line(record);
        row->goodsNo = line.goodsNo;
        row->warehouseNo = line.warehouseNo;
        row->quantity = line.quantity;
        CopyField(row->unit, line.unit);
        CopyField(row->goodsCode, line.goodsCode);
        CopyField(row->goodsName, line.goodsName);
        if (indexes != nullptr) EnterOutletItem(*indexes, outletPosition, *row, outlet.outletItemCount);
    } else {
        row->totalRow = 1;
        row->quantity = total;
        CopyField(row->goodsCode, kTotal);
        CopyField(row->goodsName, kTotal);
        CopyField(row->unit, kTotalUnit);
    }
    ++outlet.outletItemCount;
    return 0;
}

int32_t CRaportSprzPapierosow::IsDateInRange(const char *date, const char *first, const char *last) {
    if (date[0] == '\0') return 0;
    if (host::VeldarCompareDates(first, date) > 0) return 0;
    if (host::VeldarCompareDates(last, date) < 0) return 0;
    return 1;
}

int32_t CRaportSprzPapierosow::CollectItems() {
    int16_t *warehouse = host::VeldarCurrentWarehouse();
    for (*warehouse = 0; *warehouse < kListedWarehouses; ++*warehouse) {
        HostBlock key;
        // The host fills the slot; a host that cannot must not leave the previous
        // warehouse's table behind to be walked again.
        goodsTable = nullptr;
        host::VeldarPrepareKey(kTableKindGoods, &goodsTable, key.bytes, 0);
        if (goodsTable == nullptr) continue;
        WalkCursor(goodsTable, kTableKindGoods, key, [this] {
            goodsRecord = goodsTable->record;
            if (GroupSelected(options, Goods(goodsRecord).goodsGroup)) AddItem(goodsRecord);
            return true;
        });
    }
    return 0;
}

int32_t CRaportSprzPapierosow::CollectOutlets(int16_t documentKind) {
    DocumentKey documents(documentKind);
    WalkMonthDocuments(*this, documentKind, documents.key, [&](const TsprRecord &document) {
        if (document.customerNo == 0 || OutletPosition(*this, document.customerNo) >= 0) return;
        WalkLines(*this, documents.lineKind, document.documentId, [&] {
            if (!GroupSelected(options, Line(lineRecord).goodsGroup)) return true;
            AddOutlet(documentRecord);
            return false;
        });
    });
    return 0;
}

int32_t CRaportSprzPapierosow::CollectSales(int16_t documentKind) {
    DocumentKey documents(documentKind);
    // Every outlet's running total and whether a line of it was itemised, in the
    // plug-in's memory, so that the documents are read once. Without that memory they
    // are read once per outlet, to the same rows.
    struct Sums {
        int32_t total;
        bool matched;
    };
    const std::size_t sumsBytes = static_cast<std::size_t>(outletCount > 0 ? outletCount : 1) * sizeof(Sums);
    auto *sums = static_cast<Sums *>(ResizeIndexMemory(nullptr, 0, sumsBytes));
    if (sums != nullptr) std::memset(static_cast<void *>(sums), 0, sumsBytes);
    Sums one{};  // the outlet of the walk, without that memory

    for (int32_t walk = 0; walk == 0 || (sums == nullptr && walk < outletCount); ++walk) {
        WalkMonthDocuments(*this, documentKind, documents.key, [&](const TsprRecord &document) {
            // The document's outlet; -1 for a receipt without a customer (first walk only).
            const int16_t customerNo = document.customerNo;
            int32_t o = -1;
            if (customerNo != 0)
                o = sums != nullptr ? OutletPosition(*this, customerNo)
                    : walk < outletCount && outletList[walk].customerNo == customerNo ? walk : -1;
            if (o < 0 && (customerNo != 0 || documentKind != kDocumentKindReceipt || walk != 0)) return;
            Sums &sum = sums != nullptr && o >= 0 ? sums[o] : one;
            WalkLines(*this, documents.lineKind, document.documentId, [&] {
                const TsprDokRecord &line = Line(lineRecord);
                if (o >= 0) sum.total = AddQuantity(sum.total, line.quantity);
                if (GroupSelected(options, line.goodsGroup))
                    ForEachItemOfLine(*this, [&](ItemRow &item) {
                        item.sold = 1;
                        if (o < 0) {
                            item.receiptsQuantity = AddQuantity(item.receiptsQuantity, line.quantity);
                            return;
                        }
                        sum.matched = true;
                        AddOutletItem(lineRecord, o, sum.total);
                    });
                return true;
            });
        });
        if (sums == nullptr && walk < outletCount && one.matched) AddOutletItem(nullptr, walk, one.total);
        one = {};
    }

    for (int32_t o = 0; sums != nullptr && o < outletCount; ++o)
        if (sums[o].matched) AddOutletItem(nullptr, o, sums[o].total);
    FreeIndexMemory(sums, sumsBytes);
    return 0;
}

void ReleaseLists(CRaportSprzPapierosow &report) {
    if (report.itemList != nullptr) host::VeldarFreeBlock(report.itemList);
    for (int32_t o = 0; o < report.outletCount; ++o)
        if (report.outletList[o].outletItems != nullptr) host::VeldarFreeBlock(report.outletList[o].outletItems);
    if (report.outletList != nullptr) host::VeldarFreeBlock(report.outletList);
    report.itemList = nullptr;
    report.outletList = nullptr;
    report.itemCount = report.itemCapacity = report.outletCount = report.outletCapacity = 0;
    report.lostRows = 0;
    if (report.indexes != nullptr) {
        report.indexes->~CollectIndexes();
        FreeIndexMemory(report.indexes, sizeof(CollectIndexes));
        report.indexes = nullptr;
    }
}

}  // namespace pim
