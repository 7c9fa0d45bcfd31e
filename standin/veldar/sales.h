// The stand-in's sales tables: document headers (table 44), their lines (table 45)
// and the goods of each warehouse (table kind 4), as the data-set loader builds them
// and the cursors walk them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "host_api.h"
#include "host_records.h"
#include "state.h"

namespace standin {

// The stand-in's own table kinds of document lines; a host's line kinds are its own.
constexpr int16_t kLineKindInvoice = 61;
constexpr int16_t kLineKindReceipt = 62;

struct SalesDocument {
    int16_t kind;  // 811 or 24
    TsprRecord header;
    std::vector<TsprDokRecord> lines;
};

struct GoodsTable {
    HostTable table{};
    std::vector<GoodsRecord> goods;  // in the order the cursor delivers them
    GoodsRecord buffer{};
};

struct SalesTables {
    std::vector<SalesDocument> documents;                  // table 44's order
    std::unordered_map<int32_t, std::size_t> documentById;  // position in documents
    std::map<int16_t, GoodsTable> warehouses;              // goods tables, by warehouse
};

// The tables the host's functions walk now.
SalesTables &salesTables();

// A warehouse's goods table, created empty on first use; its handle stays valid
// until the tables are replaced.
GoodsTable &GoodsTableOf(SalesTables &tables, int16_t warehouse);

// Replaces the tables (and forgets open cursors, whose records are gone).
void InstallSalesTables(SalesTables &&tables);

}  // namespace standin
