#include "month_pass.h"

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
    HostTable *documents = host::VeldarGetTable(kTableTspr);
    HostTable *lines = host::VeldarGetTable(kTableTsprDok);
    for (int16_t kind : {kDocumentKindInvoice, kDocumentKindReceipt}) {
        const int16_t lineKind = host::VeldarLineKindOf(kind);
        Block key, cursor;
        host::VeldarPrepareKey(kind, nullptr, key.bytes, 0);
        if (host::VeldarOpenCursor(cursor.bytes, documents, kind, key.bytes, 0, 0) != 0)
            while (host::VeldarFetchNext(cursor.bytes) == 1) {
                ++counts.documents;
                Block lineKey;
                host::VeldarPrepareKey(lineKind, &lines, lineKey.bytes,
                                       reinterpret_cast<const TsprRecord *>(documents->record)->documentId);
                counts.lines += Walk(lines, lineKind, lineKey);
            }
        host::VeldarCloseCursor(cursor.bytes);
    }
    return counts;
}

}  // namespace genmonth
