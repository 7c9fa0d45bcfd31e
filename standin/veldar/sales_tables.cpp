// Keys and cursors over the stand-in's sales tables.
//
// A key block holds what the key selects (table kind, key value, warehouse); a
// cursor's state lives here, keyed by the address of the plug-in's cursor block, so
// the stand-in notices a cursor that is fetched or closed without being open, closed
// twice, or left open. Such misuse is counted and said on the console: the real host
// would misbehave in its own way.
#include <cstdio>
#include <cstring>

#include "exports.h"
#include "sales.h"

namespace standin {
namespace {

constexpr uint32_t kKeyMagic = 0x5945484B;  // "KHEY"

struct Key {
    uint32_t magic;
    int32_t tableKind;
    int32_t keyValue;
    int16_t warehouse;
};
static_assert(sizeof(Key) <= kKeyBlockBytes);

enum class Source { Documents, Lines, Goods };

// The headers of one document kind, in table order, packed for walking: each header
// as its runs of non-zero bytes ([offset][length][bytes].., then a zero length). A
// header is mostly the host's private zeros, so a walk reads a small part of the
// bytes it delivers, and the record buffer still receives the header exactly.
struct PackedHeaders {
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> starts;  // where each header begins in bytes
};

struct Cursor {
    Source source;
    HostTable *table;
    int32_t tableKind;
    const PackedHeaders *headers;   // of a document walk
    const SalesDocument *document;  // of a line walk
    const GoodsTable *goods;        // of a goods walk
    std::size_t next;               // position of the next record to look at
    bool empty;                     // a walk of nothing
};

struct Walks {
    SalesTables tables;
    TsprRecord documentBuffer{};
    TsprDokRecord lineBuffer{};
    std::map<int32_t, PackedHeaders> headers;  // by document kind
    std::map<const void *, Cursor> open;
    StandinCursorStats stats{};
};

Walks &walks() {
    static Walks w;
    return w;
}

void Misuse(const char *what, const void *block) {
    ++walks().stats.misuses;
    std::fprintf(stderr, "stand-in: cursor misuse: %s (block %p)\n", what, block);
}

int16_t LineKindOf(int32_t documentKind) {
    return documentKind == kDocumentKindInvoice   ? kLineKindInvoice
           : documentKind == kDocumentKindReceipt ? kLineKindReceipt
                                                  : 0;
}

bool IsDocumentKind(int32_t kind) { return LineKindOf(kind) != 0; }
bool IsLineKind(int32_t kind) { return kind == kLineKindInvoice || kind == kLineKindReceipt; }

HostTable *TableObject(int32_t number) { return &state().tables[number].table; }

void PackRecord(const uint8_t *record, std::size_t size, std::vector<uint8_t> &out) {
    auto put16 = [&out](std::size_t value) {
        out.push_back(static_cast<uint8_t>(value));
        out.push_back(static_cast<uint8_t>(value >> 8));
    };
    for (std::size_t at = 0; at < size;) {
        if (record[at] == 0) {
            ++at;
            continue;
        }
        // A run goes on over gaps of fewer than four zeros, which cost less than a new run.
        std::size_t end = at + 1;
        for (std::size_t zeros = 0; end < size && zeros < 4; ++end) zeros = record[end] == 0 ? zeros + 1 : 0;
        while (record[end - 1] == 0) --end;
        put16(at);
        put16(end - at);
        out.insert(out.end(), record + at, record + end);
        at = end;
    }
    put16(0);
    put16(0);
}

void UnpackRecord(const uint8_t *packed, uint8_t *record, std::size_t size) {
    std::memset(record, 0, size);
    for (;;) {
        const std::size_t offset = packed[0] | packed[1] << 8, length = packed[2] | packed[3] << 8;
        if (length == 0) return;
        std::memcpy(record + offset, packed + 4, length);
        packed += 4 + length;
    }
}

// Packs every header again, after the headers changed.
void PackHeaders(Walks &w) {
    w.headers.clear();
    for (const SalesDocument &d : w.tables.documents) {
        PackedHeaders &packed = w.headers[d.kind];
        packed.starts.push_back(static_cast<uint32_t>(packed.bytes.size()));
        PackRecord(reinterpret_cast<const uint8_t *>(&d.header), sizeof d.header, packed.bytes);
    }
}

// Bytes of a line or goods record (documents travel packed).
std::size_t RecordBytes(Source source) { return source == Source::Lines ? sizeof(TsprDokRecord) : sizeof(GoodsRecord); }

// The next record of the walk (packed, for documents), or null at the end.
const void *NextRecord(Cursor &c) {
    if (c.empty) return nullptr;
    switch (c.source) {
        case Source::Documents:
            return c.next < c.headers->starts.size() ? &c.headers->bytes[c.headers->starts[c.next++]] : nullptr;
        case Source::Lines:
            return c.next < c.document->lines.size() ? &c.document->lines[c.next++] : nullptr;
        case Source::Goods:
            return c.next < c.goods->goods.size() ? &c.goods->goods[c.next++] : nullptr;
    }
    return nullptr;
}

// Sets up the walk a key selects on a table; false when the table or kind does not
// fit the key.
bool StartWalk(Cursor &c, const Key &key) {
    SalesTables &t = walks().tables;
    if (IsDocumentKind(c.tableKind)) {
        c.source = Source::Documents;
        auto found = walks().headers.find(c.tableKind);
        if (found != walks().headers.end())
            c.headers = &found->second;
        else
            c.empty = true;
        return c.table == TableObject(kTableTspr);
    }
    if (IsLineKind(c.tableKind)) {
        c.source = Source::Lines;
        auto found = t.documentById.find(key.keyValue);
        // No such document, or one whose lines are of another kind: no lines.
        if (found != t.documentById.end() && LineKindOf(t.documents[found->second].kind) == c.tableKind)
            c.document = &t.documents[found->second];
        else
            c.empty = true;
        return c.table == TableObject(kTableTsprDok);
    }
    if (c.tableKind == kTableKindGoods) {
        c.source = Source::Goods;
        c.goods = &GoodsTableOf(t, key.warehouse);
        return c.table == &c.goods->table;
    }
    return false;
}

}  // namespace

SalesTables &salesTables() { return walks().tables; }

GoodsTable &GoodsTableOf(SalesTables &tables, int16_t warehouse) {
    auto [at, added] = tables.warehouses.try_emplace(warehouse);
    GoodsTable &goods = at->second;
    if (added) {
        goods.table.recordSize = static_cast<int16_t>(sizeof(GoodsRecord));
        goods.table.record = reinterpret_cast<uint8_t *>(&goods.buffer);
    }
    return goods;
}

void InstallSalesTables(SalesTables &&tables) {
    Walks &w = walks();
    w.tables = std::move(tables);
    // Map nodes moved with the map, but each table's record pointer must name its own buffer.
    for (auto &[number, goods] : w.tables.warehouses) goods.table.record = reinterpret_cast<uint8_t *>(&goods.buffer);
    w.open.clear();
    PackHeaders(w);
}

void ResetSalesTables() {
    Walks &w = walks();
    w = Walks{};
    TableObject(kTableTspr)->record = reinterpret_cast<uint8_t *>(&w.documentBuffer);
    TableObject(kTableTsprDok)->record = reinterpret_cast<uint8_t *>(&w.lineBuffer);
}

}  // namespace standin

using namespace standin;

STANDIN_API void StandinGetCursorStats(StandinCursorStats *stats) {
    *stats = walks().stats;
    stats->openNow = static_cast<int32_t>(walks().open.size());
}

STANDIN_API int32_t StandinPatchRecord(int32_t table, int32_t key, int32_t index, uint32_t offset, const void *bytes,
                                       uint32_t length) {
    SalesTables &t = walks().tables;
    uint8_t *record = nullptr;
    std::size_t size = 0;
    if (table == kTableTspr || table == kTableTsprDok) {
        auto found = t.documentById.find(key);
        if (found == t.documentById.end()) return 0;
        SalesDocument &d = t.documents[found->second];
        if (table == kTableTspr) {
            record = reinterpret_cast<uint8_t *>(&d.header);
            size = sizeof d.header;
        } else if (index >= 0 && static_cast<std::size_t>(index) < d.lines.size()) {
            record = reinterpret_cast<uint8_t *>(&d.lines[static_cast<std::size_t>(index)]);
            size = sizeof(TsprDokRecord);
        }
    } else if (table == kTableKindGoods) {
        auto found = t.warehouses.find(static_cast<int16_t>(key));
        if (found != t.warehouses.end() && index >= 0 && static_cast<std::size_t>(index) < found->second.goods.size()) {
            record = reinterpret_cast<uint8_t *>(&found->second.goods[static_cast<std::size_t>(index)]);
            size = sizeof(GoodsRecord);
        }
    }
    if (record == nullptr || offset > size || length > size - offset) return 0;
    std::memcpy(record + offset, bytes, length);
    if (table == kTableTspr) PackHeaders(walks());
    return 1;
}

int32_t HOST_CONV_STDCALL VeldarPrepareKey(int32_t tableKind, HostTable **slot, void *keyBlock, int32_t keyValue) {
    Called(kOrd_VeldarPrepareKey, Number(tableKind), Address(slot), Address(keyBlock), Number(keyValue));
    CheckBlock(keyBlock, "a key block", "VeldarPrepareKey");
    Key key{kKeyMagic, tableKind, keyValue, StandinCurrentWarehouse()};
    if (IsLineKind(tableKind) && slot != nullptr) *slot = TableObject(kTableTsprDok);
    if (tableKind == kTableKindGoods) {
        if (slot == nullptr) {
            Misuse("goods key without a table slot", keyBlock);
            key.magic = 0;
        } else {
            *slot = &GoodsTableOf(walks().tables, key.warehouse).table;
        }
    } else if (!IsDocumentKind(tableKind) && !IsLineKind(tableKind)) {
        Misuse("key of an unknown table kind", keyBlock);
        key.magic = 0;
    }
    std::memcpy(keyBlock, &key, sizeof key);
    return key.magic == kKeyMagic ? 1 : 0;
}

int16_t HOST_CONV_STDCALL VeldarLineKindOf(int32_t documentKind) {
    Called(kOrd_VeldarLineKindOf, Number(documentKind));
    return LineKindOf(documentKind);
}

int32_t HOST_CONV_STDCALL VeldarOpenCursor(void *cursorBlock, HostTable *table, int32_t tableKind, void *keyBlock,
                                           int32_t zero1, int32_t zero2) {
    Called(kOrd_VeldarOpenCursor, Address(cursorBlock), Address(table), Number(tableKind), Address(keyBlock),
           Number(zero1), Number(zero2));
    CheckBlock(cursorBlock, "a cursor block", "VeldarOpenCursor");
    CheckBlock(keyBlock, "a key block", "VeldarOpenCursor");
    Walks &w = walks();
    if (w.open.count(cursorBlock) != 0) Misuse("opened again while open", cursorBlock);
    ++w.stats.opened;
    Key key{};
    std::memcpy(&key, keyBlock, sizeof key);
    // The cursor counts as open whatever the result: the caller closes it either way.
    Cursor &c = w.open[cursorBlock] = Cursor{Source::Documents, table, tableKind, nullptr, nullptr, nullptr, 0, false};
    if (w.open.size() > static_cast<std::size_t>(w.stats.mostOpen)) w.stats.mostOpen = static_cast<int32_t>(w.open.size());
    bool fits = key.magic == kKeyMagic && key.tableKind == tableKind && StartWalk(c, key);
    if (!fits) {
        Misuse("table, kind and key do not fit together", cursorBlock);
        c.empty = true;
        return 0;
    }
    Cursor probe = c;
    return NextRecord(probe) != nullptr ? 1 : 0;
}

int32_t HOST_CONV_STDCALL VeldarFetchNext(void *cursorBlock) {
    Called(kOrd_VeldarFetchNext, Address(cursorBlock));
    CheckBlock(cursorBlock, "a cursor block", "VeldarFetchNext");
    Walks &w = walks();
    ++w.stats.fetched;
    auto found = w.open.find(cursorBlock);
    if (found == w.open.end()) {
        Misuse("fetch on a cursor that is not open", cursorBlock);
        return 0;
    }
    Cursor &c = found->second;
    const void *record = NextRecord(c);
    if (record == nullptr) return 0;
    if (c.table->record == nullptr) {
        Misuse("table without a record buffer", cursorBlock);
        return 0;
    }
    if (c.source == Source::Documents)
        UnpackRecord(static_cast<const uint8_t *>(record), c.table->record, sizeof(TsprRecord));
    else
        std::memcpy(c.table->record, record, RecordBytes(c.source));
    return 1;
}

int32_t HOST_CONV_STDCALL VeldarCloseCursor(void *cursorBlock) {
    Called(kOrd_VeldarCloseCursor, Address(cursorBlock));
    CheckBlock(cursorBlock, "a cursor block", "VeldarCloseCursor");
    Walks &w = walks();
    ++w.stats.closed;
    if (w.open.erase(cursorBlock) == 0) {
        Misuse("close of a cursor that is not open", cursorBlock);
        return 0;
    }
    return 1;
}
