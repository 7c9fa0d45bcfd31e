// Keys and cursors over the stand-in's sales tables.
//
// A key block holds what the key selects (table kind, key value, warehouse); a
// cursor's state lives here, found by the address of the plug-in's cursor block, so
// the stand-in notices a cursor that is fetched or closed without being open, closed
// twice, or left open. Such misuse is counted and said on the console: the real host
// would misbehave in its own way.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <immintrin.h>

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
// as its 16-byte pieces that are not all zeros ([count], then [offset][16 bytes]
// each). A header is mostly the host's private zeros, so a walk reads a small part
// of the bytes it delivers, and the record buffer still receives the header exactly.
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

// A cursor open on a plug-in's cursor block.
struct OpenCursor {
    const void *block;
    Cursor cursor;
};

// The open cursors, by block address. A caller keeps very few open at a time (the
// report: two), so a short list searched from its most recent cursor costs less per
// fetch than any map; a caller that leaves cursors open only makes it longer.
class OpenCursors {
public:
    Cursor *Find(const void *block) {
        for (std::size_t i = list_.size(); i-- > 0;)
            if (list_[i].block == block) return &list_[i].cursor;
        return nullptr;
    }
    Cursor &Add(const void *block, const Cursor &cursor) {
        list_.push_back({block, cursor});
        return list_.back().cursor;
    }
    bool Remove(const void *block) {
        for (std::size_t i = list_.size(); i-- > 0;)
            if (list_[i].block == block) {
                list_.erase(list_.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        return false;
    }
    std::size_t size() const { return list_.size(); }
    void clear() { list_.clear(); }

private:
    std::vector<OpenCursor> list_;  // in the order opened
};

struct Walks {
    SalesTables tables;
    TsprRecord documentBuffer{};
    TsprDokRecord lineBuffer{};
    std::map<int32_t, PackedHeaders> headers;  // by document kind
    OpenCursors open;
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

constexpr std::size_t kPiece = 16;
constexpr std::size_t kPieces = (sizeof(TsprRecord) + kPiece - 1) / kPiece;
static_assert(sizeof(TsprRecord) >= kPiece && kPieces < 256);

// Where piece k starts: every 16 bytes, the last one ending with the header (so it
// may overlap the one before, with the same bytes).
std::size_t PieceOffset(std::size_t k) { return k + 1 < kPieces ? k * kPiece : sizeof(TsprRecord) - kPiece; }

void PackHeader(const TsprRecord &header, std::vector<uint8_t> &out) {
    const auto *record = reinterpret_cast<const uint8_t *>(&header);
    const std::size_t countAt = out.size();
    out.push_back(0);
    for (std::size_t k = 0; k < kPieces; ++k) {
        const uint8_t *piece = record + PieceOffset(k);
        bool zero = true;
        for (std::size_t i = 0; i < kPiece; ++i) zero = zero && piece[i] == 0;
        if (zero) continue;
        ++out[countAt];
        out.push_back(static_cast<uint8_t>(PieceOffset(k)));
        out.push_back(static_cast<uint8_t>(PieceOffset(k) >> 8));
        out.insert(out.end(), piece, piece + kPiece);
    }
}

// Clears the buffer with the widest stores the processor has and copies the pieces
// in: no calls, no byte loops. Clearing is most of a fetch's work (the header is
// mostly zeros, and every byte of the buffer is written on every fetch). The loops
// are kept loops, not turned back into memset calls.
#define STANDIN_FILL_LOOPS __attribute__((optimize("no-tree-loop-distribute-patterns")))

inline void CopyPieces(const uint8_t *packed, uint8_t *record) {
    const std::size_t count = *packed++;
    for (std::size_t i = 0; i < count; ++i, packed += 2 + kPiece) {
        const std::size_t offset = packed[0] | packed[1] << 8;
        _mm_storeu_si128(reinterpret_cast<__m128i *>(record + offset),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(packed + 2)));
    }
}

STANDIN_FILL_LOOPS void UnpackHeaderSse2(const uint8_t *packed, uint8_t *record) {
    constexpr std::size_t w = 16, n = sizeof(TsprRecord) / w;
    const __m128i zero = _mm_setzero_si128();
    for (std::size_t k = 0; k < n; ++k) _mm_storeu_si128(reinterpret_cast<__m128i *>(record + k * w), zero);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(record + sizeof(TsprRecord) - w), zero);
    CopyPieces(packed, record);
}

__attribute__((target("avx2"))) STANDIN_FILL_LOOPS void UnpackHeaderAvx2(const uint8_t *packed, uint8_t *record) {
    constexpr std::size_t w = 32, n = sizeof(TsprRecord) / w;
    const __m256i zero = _mm256_setzero_si256();
    for (std::size_t k = 0; k < n; ++k) _mm256_storeu_si256(reinterpret_cast<__m256i *>(record + k * w), zero);
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(record + sizeof(TsprRecord) - w), zero);
    CopyPieces(packed, record);
}

__attribute__((target("avx512f"))) STANDIN_FILL_LOOPS void UnpackHeaderAvx512(const uint8_t *packed, uint8_t *record) {
    constexpr std::size_t w = 64, n = sizeof(TsprRecord) / w;
    const __m512i zero = _mm512_setzero_si512();
    for (std::size_t k = 0; k < n; ++k) _mm512_storeu_si512(record + k * w, zero);
    _mm512_storeu_si512(record + sizeof(TsprRecord) - w, zero);
    CopyPieces(packed, record);
}

// Copies a line or goods record whole, 16 bytes at a time (the last piece may overlap
// the one before, with the same bytes).
template <std::size_t Bytes>
STANDIN_FILL_LOOPS void CopyRecord(uint8_t *to, const void *record) {
    static_assert(Bytes >= 16);
    const auto *from = static_cast<const uint8_t *>(record);
    for (std::size_t at = 0; at + 16 <= Bytes; at += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + at), _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + at)));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(to + Bytes - 16),
                     _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + Bytes - 16)));
}

// The fill for this processor, chosen once. STANDIN_UNPACK_SSE2 set in the
// environment takes the 16-byte one anyway (its tests; a processor's worst case).
using UnpackHeaderFn = void (*)(const uint8_t *, uint8_t *);
UnpackHeaderFn ChooseUnpackHeader() {
    __builtin_cpu_init();
    if (std::getenv("STANDIN_UNPACK_SSE2") != nullptr) return UnpackHeaderSse2;
    if (__builtin_cpu_supports("avx512f")) return UnpackHeaderAvx512;
    if (__builtin_cpu_supports("avx2")) return UnpackHeaderAvx2;
    return UnpackHeaderSse2;
}
const UnpackHeaderFn UnpackHeader = ChooseUnpackHeader();

// Packs every header again, after the headers changed.
void PackHeaders(Walks &w) {
    w.headers.clear();
    for (const SalesDocument &d : w.tables.documents) {
        PackedHeaders &packed = w.headers[d.kind];
        packed.starts.push_back(static_cast<uint32_t>(packed.bytes.size()));
        PackHeader(d.header, packed.bytes);
    }
}

// The next record of the walk (packed, for documents), or null at the end.
__attribute__((always_inline)) inline const void *NextRecord(Cursor &c) {
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
        if (state().goodsTablesOnlyStocked) {
            for (auto &[number, goods] : t.warehouses)
                if (c.table == &goods.table) c.goods = &goods;
            return c.goods != nullptr;
        }
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
        } else if (!state().goodsTablesOnlyStocked) {
            *slot = &GoodsTableOf(walks().tables, key.warehouse).table;
        } else if (auto &stocked = walks().tables.warehouses; stocked.count(key.warehouse) != 0) {
            *slot = &stocked.at(key.warehouse).table;
        }
    } else if (!IsDocumentKind(tableKind) && !IsLineKind(tableKind)) {
        Misuse("key of an unknown table kind", keyBlock);
        key.magic = 0;
    }
    std::memcpy(keyBlock, &key, sizeof key);
    return key.magic == kKeyMagic ? 1 : 0;
}

STANDIN_API void StandinSetGoodsTablesOnlyStocked(int32_t on) { state().goodsTablesOnlyStocked = on != 0; }

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
    ++w.stats.opened;
    Key key{};
    std::memcpy(&key, keyBlock, sizeof key);
    // The cursor counts as open whatever the result: the caller closes it either way.
    const Cursor fresh{Source::Documents, table, tableKind, nullptr, nullptr, nullptr, 0, false};
    Cursor *open = w.open.Find(cursorBlock);
    if (open != nullptr) {
        Misuse("opened again while open", cursorBlock);
        *open = fresh;
    } else {
        open = &w.open.Add(cursorBlock, fresh);
    }
    Cursor &c = *open;
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
    Cursor *found = w.open.Find(cursorBlock);
    if (found == nullptr) {
        Misuse("fetch on a cursor that is not open", cursorBlock);
        return 0;
    }
    Cursor &c = *found;
    const void *record = NextRecord(c);
    if (record == nullptr) return 0;
    if (c.table->record == nullptr) {
        Misuse("table without a record buffer", cursorBlock);
        return 0;
    }
    if (c.source == Source::Documents)
        UnpackHeader(static_cast<const uint8_t *>(record), c.table->record);
    else if (c.source == Source::Lines)
        CopyRecord<sizeof(TsprDokRecord)>(c.table->record, record);
    else
        CopyRecord<sizeof(GoodsRecord)>(c.table->record, record);
    return 1;
}

int32_t HOST_CONV_STDCALL VeldarCloseCursor(void *cursorBlock) {
    Called(kOrd_VeldarCloseCursor, Address(cursorBlock));
    CheckBlock(cursorBlock, "a cursor block", "VeldarCloseCursor");
    Walks &w = walks();
    ++w.stats.closed;
    if (!w.open.Remove(cursorBlock)) {
        Misuse("close of a cursor that is not open", cursorBlock);
        return 0;
    }
    return 1;
}
