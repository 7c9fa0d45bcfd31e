#include "month_pass.h"

#include <algorithm>
#include <initializer_list>

#include "host_imports.h"
#include "host_records.h"

namespace genmonth {
namespace {

struct alignas(8) Block {
    uint8_t bytes[kKeyBlockBytes > kCursorBlockBytes ? kKeyBlockBytes : kCursorBlockBytes] = {};
};

uint32_t Walk(HostTable *table, int32_t kind, Block &key) {
    Block cursor;
    uint32_t records = 0;
    if (host::VeldarOpenCursor(cursor.bytes, table, kind, key.bytes, 0, 0) != 0)
        while (host::VeldarFetchNext(cursor.bytes) == 1) ++records;
    host::VeldarCloseCursor(cursor.bytes);
    return records;
}

// Reads the documents of one kind once, and the lines of each that counted(document)
// accepts.
template <class Counted>
void DocumentPass(int16_t kind, PassCounts &counts, Counted counted) {
    HostTable *documents = host::VeldarGetTable(kTableTspr);
    HostTable *lines = host::VeldarGetTable(kTableTsprDok);
    const int16_t lineKind = host::VeldarLineKindOf(kind);
    Block key, cursor;
    host::VeldarPrepareKey(kind, nullptr, key.bytes, 0);
    if (host::VeldarOpenCursor(cursor.bytes, documents, kind, key.bytes, 0, 0) != 0)
        while (host::VeldarFetchNext(cursor.bytes) == 1) {
            ++counts.documents;
            const auto &document = *reinterpret_cast<const TsprRecord *>(documents->record);
            if (!counted(document)) continue;
            Block lineKey;
            host::VeldarPrepareKey(lineKind, &lines, lineKey.bytes, document.documentId);
            counts.lines += Walk(lines, lineKind, lineKey);
        }
    host::VeldarCloseCursor(cursor.bytes);
}

}  // namespace

PassCounts OnePass() {
    PassCounts counts;
    int16_t *warehouse = host::VeldarCurrentWarehouse();
    for (*warehouse = 0; *warehouse < 100; ++*warehouse) {
        Block key;
        HostTable *goods = nullptr;
        host::VeldarPrepareKey(kTableKindGoods, &goods, key.bytes, 0);
        if (goods != nullptr) counts.goods += Walk(goods, kTableKindGoods, key);
    }
    for (int16_t kind : {kDocumentKindInvoice, kDocumentKindReceipt})
        DocumentPass(kind, counts, [](const TsprRecord &) { return true; });
    return counts;
}

PassCounts CountedPass(int16_t kind, const char *first, const char *last, std::vector<int16_t> customers) {
    std::sort(customers.begin(), customers.end());
    PassCounts counts;
    DocumentPass(kind, counts, [&](const TsprRecord &document) {
        const char *date = document.documentDate;
        if (date[0] == '\0' || host::VeldarCompareDates(first, date) > 0 || host::VeldarCompareDates(last, date) < 0)
            return false;
        return document.customerNo == 0
                   ? kind == kDocumentKindReceipt
                   : std::binary_search(customers.begin(), customers.end(), document.customerNo);
    });
    return counts;
}

}  // namespace genmonth
